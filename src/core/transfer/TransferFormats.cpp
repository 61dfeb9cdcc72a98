#include "TransferFormats.h"

#include "base/TextNumbers.h"
#include "dictionary/SdoDatabase.h"
#include "pages/ValueFormat.h"
#include "units/FormatKeywords.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

const QByteArray kLineEnd("\r\n");

// The file's lines without their ends (CR LF or LF); a last line without an end counts.
QList<QByteArray> Lines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

// A line cut into pieces of at most size characters, as a reader with a fixed buffer takes it.
QList<QByteArray> Pieces(const QByteArray& line, int size)
{
    QList<QByteArray> pieces;
    for (int at = 0; at < line.size(); at += size)
        pieces.append(line.mid(at, size));
    if (pieces.isEmpty())
        pieces.append(QByteArray());
    return pieces;
}

bool HasHexDigit(const QByteArray& text)
{
    for (const char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            return true;
    return false;
}

// "i" (or "m") after the first character: the test the result fields are read by.
bool MarksAfterFirst(const QString& text, QChar letter)
{
    return text.indexOf(letter, 1) > 0;
}

bool ReadWhole(const QString& path, QByteArray& bytes, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("File open failure! \n%1: %2").arg(path, file.errorString());
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("File open failure! \n%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

QString OutcomeText(TransferOutcome outcome)
{
    switch (outcome) {
    case TransferOutcome::True:
        return QStringLiteral("True");
    case TransferOutcome::Alarm:
        return QStringLiteral("Alarm");
    case TransferOutcome::Fail:
        return QStringLiteral("Fail");
    case TransferOutcome::None:
        break;
    }
    return QString();
}

QString DescriptorText(uint32_t descriptor)
{
    return QStringLiteral("%1").arg(descriptor, 8, 16, QLatin1Char('0')).toUpper();
}

QString ObjectNameOf(const CSdoDatabase& dictionary, uint32_t descriptor)
{
    CSdoRecord record;
    return dictionary.Lookup(DescriptorKey(descriptor), record) ? record.name
                                                                : QStringLiteral("? ? ? ?");
}

CTransferCounts CountOutcomes(const QVector<CTransferRow>& rows)
{
    CTransferCounts counts;
    counts.total = rows.size();
    for (const CTransferRow& row : rows) {
        const QString text = OutcomeText(row.outcome);
        if (MarksAfterFirst(text, QLatin1Char('i')))
            ++counts.errors;
        else if (MarksAfterFirst(text, QLatin1Char('m')))
            ++counts.alarms;
    }
    return counts;
}

QString ExportSummaryText(const CTransferCounts& counts)
{
    return QStringLiteral("Finish: Total:%1  Error:%2 ").arg(counts.total).arg(counts.errors);
}

QString ImportSummaryText(const CTransferCounts& counts)
{
    return QStringLiteral("Finish: Total:%1  Alarm:%2  Error:%3")
        .arg(counts.total)
        .arg(counts.alarms)
        .arg(counts.errors);
}

bool FormatTransferValue(const CSdoDatabase& dictionary, uint32_t descriptor, uint32_t raw,
                         QString& text)
{
    CSdoRecord record;
    if (dictionary.Lookup(DescriptorKey(descriptor), record)) {
        // The page's decimal formatting: the same number a parameter page shows in DEC.
        double value = 0;
        if (!RawToValue(record.dataType, raw, value))
            return false;
        text = FormatValue(FormatKeyword::kDec, record.dataType, QString(), value);
        return true;
    }
    const int width = DescriptorWidth(descriptor);
    if (width != 8 && width != 16 && width != 32)
        return false;
    text = QStringLiteral("0x%1").arg(raw & TypeWidth{width, false}.mask(0xFFFFFFFFu), width / 4,
                                      16, QLatin1Char('0'));
    return true;
}

bool ParseLoadValue(const QString& text, uint32_t& raw)
{
    if (text.trimmed().isEmpty())
        return false;
    raw =
        text.contains(QLatin1Char('x')) ? uint32_t(HexTextToInt(text)) : uint32_t(TextToLong(text));
    return true;
}

QString ExportFailureText(uint32_t code)
{
    return QStringLiteral("0x%1").arg(code, 8, 16, QLatin1Char('0'));
}

QString ImportFailureText(uint32_t code)
{
    return QStringLiteral("0x%1").arg(code, 0, 16);
}

QVector<uint32_t> ParseObjectList(const QByteArray& bytes)
{
    QVector<uint32_t> descriptors;
    for (const QByteArray& line : Lines(bytes))
        for (const QByteArray& piece : Pieces(line, kObjectListPiece))
            if (HasHexDigit(piece))
                descriptors.append(uint32_t(HexTextToInt(QString::fromLatin1(piece))));
    return descriptors;
}

QByteArray FormatObjectList(const QVector<uint32_t>& descriptors)
{
    QByteArray bytes;
    for (const uint32_t descriptor : descriptors)
        bytes += DescriptorText(descriptor).toLatin1() + kLineEnd;
    return bytes;
}

bool ReadObjectList(const QString& path, QVector<uint32_t>& descriptors, QString& error)
{
    QByteArray bytes;
    if (!ReadWhole(path, bytes, error))
        return false;
    descriptors = ParseObjectList(bytes);
    return true;
}

QVector<CTransferRow> ExportRows(const QVector<uint32_t>& descriptors,
                                 const CSdoDatabase& dictionary)
{
    QVector<CTransferRow> rows;
    rows.reserve(descriptors.size());
    for (const uint32_t descriptor : descriptors) {
        CTransferRow row;
        row.descriptor = descriptor;
        row.descriptorText = DescriptorText(descriptor);
        row.name = ObjectNameOf(dictionary, descriptor);
        rows.append(row);
    }
    return rows;
}

QVector<CConfigEntry> ParseConfiguration(const QByteArray& bytes)
{
    QVector<CConfigEntry> entries;
    for (const QByteArray& line : Lines(bytes)) {
        for (const QByteArray& piece : Pieces(line, kConfigurationPiece)) {
            const QString text = QString::fromLatin1(piece);
            if (MarksAfterFirst(text, QLatin1Char('i')))
                continue; // an object whose export failed
            const int comma = text.indexOf(QLatin1Char(','));
            if (comma <= 0)
                continue;
            CConfigEntry entry;
            entry.descriptorText = text.left(comma);
            entry.descriptor = uint32_t(HexTextToInt(entry.descriptorText));
            const QString rest = text.mid(comma + 1);
            entry.value = rest.left(rest.indexOf(QLatin1Char(',')));
            entries.append(entry);
        }
    }
    return entries;
}

bool ReadConfiguration(const QString& path, QVector<CConfigEntry>& entries, QString& error)
{
    QByteArray bytes;
    if (!ReadWhole(path, bytes, error))
        return false;
    entries = ParseConfiguration(bytes);
    return true;
}

QVector<CTransferRow> ImportRows(const QVector<CConfigEntry>& entries,
                                 const CSdoDatabase& dictionary)
{
    QVector<CTransferRow> rows;
    rows.reserve(entries.size());
    for (const CConfigEntry& entry : entries) {
        CTransferRow row;
        row.descriptor = entry.descriptor;
        row.descriptorText = entry.descriptorText;
        row.loadValue = entry.value;
        row.name = ObjectNameOf(dictionary, entry.descriptor);
        rows.append(row);
    }
    return rows;
}

QByteArray FormatConfiguration(const QVector<CTransferRow>& rows)
{
    QByteArray bytes;
    for (const CTransferRow& row : rows)
        bytes += QStringLiteral("%1,%2,%3")
                     .arg(row.descriptorText, row.value, OutcomeText(row.outcome))
                     .toLatin1() +
                 kLineEnd;
    return bytes;
}

QByteArray FormatImportLog(const QVector<CTransferRow>& rows)
{
    QByteArray bytes;
    for (const CTransferRow& row : rows)
        bytes += QStringList{row.descriptorText, row.loadValue, row.value, OutcomeText(row.outcome),
                             row.name}
                     .join(QLatin1Char(','))
                     .toLocal8Bit() +
                 kLineEnd;
    return bytes;
}

bool SaveWhole(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("File open failure! \n%1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool WriteConfiguration(const QString& path, const QVector<CTransferRow>& rows, QString& error)
{
    return SaveWhole(path, FormatConfiguration(rows), error);
}

bool WriteImportLog(const QString& path, const QVector<CTransferRow>& rows, QString& error)
{
    return SaveWhole(path, FormatImportLog(rows), error);
}

namespace {
QString WithoutExtension(const QString& path)
{
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const int slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return dot > slash ? path.left(dot) : path;
}
} // namespace

QString ConfigurationSavePath(const QString& chosen, const QString& dialogExtension)
{
    return WithoutExtension(chosen) + (dialogExtension == QLatin1String("cdi")
                                           ? QStringLiteral(".cdi")
                                           : QStringLiteral(".txt"));
}

QString ImportLogDefaultName(const QString& folder, const QDateTime& when)
{
    return QDir(folder).filePath(when.toString(QStringLiteral("yyyy-MM-dd HHmmss")));
}

QString ImportLogSavePath(const QString& chosen)
{
    return WithoutExtension(chosen) + QStringLiteral(".txt");
}
