#include "DataFiles.h"

#include "app/TextNumbers.h"

#include <QStringDecoder>

#include <cmath>

namespace DataFiles {

namespace {

bool IsUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool HexField(const QByteArray& field, quint32& out)
{
    for (char c : field) {
        if (!IsUpperHex(c))
            return false;
    }
    bool ok = false;
    out = field.toUInt(&ok, 16);
    return ok;
}

// A text field ends at its first NUL; one must be there, so the text never fills the width.
bool TextField(const QByteArray& field, QString& out)
{
    const int end = field.indexOf('\0');
    if (end < 0)
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    out = decoder.decode(field.left(end));
    return !decoder.hasError();
}

} // namespace

bool ParseDatabase(const QByteArray& bytes, QVector<DatRecord>& out, QString& error)
{
    static const int widths[] = {4, 2, 64, 64, 16, 8, 2048, 2048, 256, 4};
    if (bytes.size() % kRecordSize != 0) {
        error =
            QStringLiteral("size %1 is not a multiple of %2").arg(bytes.size()).arg(kRecordSize);
        return false;
    }
    for (int at = 0; at < bytes.size(); at += kRecordSize) {
        QByteArray fields[10];
        int offset = at;
        for (int f = 0; f < 10; ++f) {
            fields[f] = bytes.mid(offset, widths[f]);
            offset += widths[f];
        }
        const QString where = QStringLiteral("record %1: ").arg(at / kRecordSize);
        DatRecord record;
        quint32 index = 0;
        quint32 sub = 0;
        if (!HexField(fields[0], index) || index == 0 || !HexField(fields[1], sub) ||
            !HexField(fields[9], record.modbus)) {
            error = where + QStringLiteral("index, subindex or Modbus field is not hex text");
            return false;
        }
        record.key = (index << 8) | sub;
        if (!TextField(fields[2], record.nameZh) || !TextField(fields[3], record.nameEn) ||
            !TextField(fields[4], record.type) || !TextField(fields[5], record.attr) ||
            !TextField(fields[6], record.helpZh) || !TextField(fields[7], record.helpEn) ||
            !TextField(fields[8], record.unit)) {
            error = where + QStringLiteral("a text field is unterminated or not UTF-8");
            return false;
        }
        out.append(record);
    }
    return true;
}

bool ParseDefaults(const QByteArray& bytes, QVector<QPair<quint32, DefaultValue>>& out,
                   QString& error)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (int i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        quint32 key = 0;
        if (fields.size() != 4 || fields[0].size() != 6 || !HexField(fields[0], key)) {
            error = QStringLiteral("line %1 is not KEY TYPE ATTR VALUE").arg(i + 1);
            return false;
        }
        DefaultValue value;
        value.type = QString::fromUtf8(fields[1]);
        value.attr = QString::fromUtf8(fields[2]);
        const QString raw = QString::fromUtf8(fields[3]);
        for (int c = 0; c < raw.size(); ++c) {
            if (raw.at(c) == QLatin1Char('\\') && c + 1 < raw.size()) {
                const QChar next = raw.at(++c);
                value.value.append(next == QLatin1Char('n')   ? QChar('\n')
                                   : next == QLatin1Char('t') ? QChar('\t')
                                                              : next);
            } else {
                value.value.append(raw.at(c));
            }
        }
        out.append({key, value});
    }
    return true;
}

QVector<UnitRecord> ParseUnitText(QString text)
{
    static const QString formulaChars = QStringLiteral("0123456789ABCDEF.N*/+-[]sqrt()");
    QVector<UnitRecord> records;
    while (text.contains(QLatin1Char('['))) {
        const int open = text.indexOf(QLatin1Char('['));
        const int close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            break;
        const QString inner = close > open ? text.mid(open + 1, close - open - 1) : QString();
        UnitRecord record;
        const int space = inner.indexOf(QLatin1Char(' '));
        record.name = space < 0 ? inner : inner.left(space);
        record.label = space < 0 ? QString() : inner.mid(space + 1);
        text.remove(0, close + 1);
        int length = 0;
        while (length < text.size() && formulaChars.contains(text.at(length)))
            ++length;
        record.formula = text.left(length);
        text.remove(0, length);
        if (!text.isEmpty())
            text.remove(0, 1);
        records.append(record);
    }
    return records;
}

QVector<QPair<quint32, int>> FormulaConstants(const QString& formula)
{
    QVector<QPair<quint32, int>> constants;
    for (int at = formula.indexOf(QLatin1Char('[')); at >= 0;
         at = formula.indexOf(QLatin1Char('['), at + 1)) {
        const quint32 descriptor = quint32(HexTextToInt(formula.mid(at + 1, 9)));
        constants.append({descriptor >> 8, int(descriptor & 0xFF)});
    }
    return constants;
}

std::optional<double> Evaluate(const QString& formula, double n,
                               const QHash<quint32, qint64>& constants)
{
    struct Node
    {
        bool isOperator;
        double value;
        QChar op;
    };
    auto firstOperator = [](const QString& text) {
        for (const QChar op :
             {QLatin1Char('*'), QLatin1Char('/'), QLatin1Char('+'), QLatin1Char('-')}) {
            if (text.contains(op))
                return op;
        }
        return QChar();
    };

    QVector<Node> nodes;
    int i = 0;
    while (i < formula.size()) {
        const QChar c = formula.at(i);
        if (c == QLatin1Char('*') || c == QLatin1Char('/') || c == QLatin1Char('+') ||
            c == QLatin1Char('-')) {
            nodes.append({true, 0.0, c});
            ++i;
        } else if (c.isDigit()) {
            int end = i;
            while (end < formula.size() &&
                   (formula.at(end).isDigit() || formula.at(end) == QLatin1Char('.')))
                ++end;
            bool ok = false;
            const double value = formula.mid(i, end - i).toDouble(&ok);
            if (!ok)
                return std::nullopt;
            nodes.append({false, value, {}});
            i = end;
        } else if (c == QLatin1Char('N') || c == QLatin1Char('n')) {
            nodes.append({false, n, {}});
            ++i;
        } else if (c == QLatin1Char('s') || c == QLatin1Char('S')) {
            const int close = formula.indexOf(QLatin1Char(')'), i);
            if (close < 0)
                return std::nullopt;
            const QString argument = formula.mid(i, close - i);
            const QString rest = formula.mid(i);
            const double k = DecTextToInt(argument);
            double value = 0.0;
            if (!rest.contains(QLatin1Char('N')) && !rest.contains(QLatin1Char('n'))) {
                value = std::sqrt(k);
            } else {
                // The unit table looks for the operator up to the end of the formula; data
                // whose operator would be taken from behind the ")" is misread there.
                const QChar op = firstOperator(rest);
                if (op.isNull() || op != firstOperator(argument))
                    return std::nullopt;
                value = op == QLatin1Char('*')   ? std::sqrt(k * n)
                        : op == QLatin1Char('/') ? std::sqrt(n / k)
                        : op == QLatin1Char('+') ? std::sqrt(k + n)
                                                 : std::sqrt(n - k);
            }
            nodes.append({false, value, {}});
            i = close + 1;
        } else if (c == QLatin1Char('[')) {
            if (i + 9 >= formula.size() || formula.at(i + 9) != QLatin1Char(']'))
                return std::nullopt;
            const quint32 key = quint32(HexTextToInt(formula.mid(i + 1, 9))) >> 8;
            const auto found = constants.constFind(key);
            if (found == constants.constEnd())
                return std::nullopt;
            nodes.append({false, double(*found), {}});
            i += 10;
        } else {
            return std::nullopt;
        }
    }

    if (nodes.size() % 2 == 0)
        return std::nullopt;
    for (int j = 0; j < nodes.size(); ++j) {
        if (nodes[j].isOperator != (j % 2 == 1))
            return std::nullopt;
    }
    double accumulator = nodes[0].value;
    for (int j = 1; j < nodes.size(); j += 2) {
        const QChar op = nodes[j].op;
        const double operand = nodes[j + 1].value;
        if (op == QLatin1Char('*')) {
            accumulator *= operand;
        } else if (op == QLatin1Char('/')) {
            accumulator /= operand;
        } else {
            // One trailing addition or subtraction ends the evaluation; anything after it
            // would be dropped silently, which data must not rely on.
            if (j + 2 < nodes.size())
                return std::nullopt;
            accumulator = op == QLatin1Char('+') ? accumulator + operand : accumulator - operand;
        }
    }
    return accumulator;
}

} // namespace DataFiles
