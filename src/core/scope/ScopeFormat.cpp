#include "ScopeFormat.h"

#include "base/TextNumbers.h"
#include "comm/DriveObjects.h"
#include "comm/SdoFrame.h"
#include "dictionary/SdoDatabase.h"
#include "pages/PageHost.h"
#include "units/FormatKeywords.h"

#include <cmath>

namespace ScopeFormat {

namespace {

QString Printf(const char* format, double value)
{
    return QString::asprintf(format, value);
}

bool IsMantissa(QChar c)
{
    return c == QLatin1Char('1') || c == QLatin1Char('2') || c == QLatin1Char('5');
}

// Width and sign of an object as the dictionary gives them; 0 width when unknown.
struct ObjectType
{
    int width = 0;
    bool isSigned = false;
};

ObjectType TypeOf(const CSdoDatabase& dictionary, uint32_t key)
{
    ObjectType type;
    CSdoRecord record;
    if (!dictionary.Lookup(key, record))
        return type;
    type.width = DecTextToInt(record.dataType);
    type.isSigned = record.dataType.startsWith(QLatin1Char('I'), Qt::CaseInsensitive);
    return type;
}

QString FormatInteger(const ObjectType& type, uint32_t raw, bool allowUnsigned)
{
    const bool unsignedSize =
        !type.isSigned && (type.width == 8 || type.width == 16 || type.width == 32);
    if (unsignedSize && allowUnsigned)
        return QString::number(raw);
    return QString::number(int32_t(raw));
}

} // namespace

double ScaleFromText(const QString& text)
{
    if (text.size() < 3 || !IsMantissa(text.at(0)))
        return 1e-6;
    double value = text.at(0).digitValue();
    const int exponent = DecTextToInt(text.mid(2));
    for (int i = 0; i < exponent; ++i)
        value *= 10;
    for (int i = 0; i > exponent; --i)
        value *= 0.1;
    return value;
}

QString ScaleToText(double value)
{
    const QString text = Printf("%f", value);
    const int point = int(text.indexOf(QLatin1Char('.')));
    if (point != 1)
        return QStringLiteral("%1e%2").arg(text.at(0)).arg(point - 1);
    if (text.at(0) != QLatin1Char('0'))
        return QStringLiteral("%1e0").arg(text.at(0));
    for (int i = 2; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('0'))
            return QStringLiteral("%1e%2").arg(text.at(i)).arg(1 - i);
    }
    return QString();
}

QString StepScale(const QString& text, bool up, double& value)
{
    if (text.size() < 3 || !IsMantissa(text.at(0))) {
        value = ScaleFromText(text);
        return text;
    }
    const QChar mantissa = text.at(0);
    int exponent = DecTextToInt(text.mid(2));
    QChar next = mantissa;
    if (up) {
        next = mantissa == QLatin1Char('1')   ? QLatin1Char('2')
               : mantissa == QLatin1Char('2') ? QLatin1Char('5')
                                              : QLatin1Char('1');
        if (mantissa == QLatin1Char('5'))
            ++exponent;
    } else {
        if (mantissa == QLatin1Char('1') && exponent <= -6) {
            value = ScaleFromText(text);
            return text;
        }
        next = mantissa == QLatin1Char('5')   ? QLatin1Char('2')
               : mantissa == QLatin1Char('2') ? QLatin1Char('1')
                                              : QLatin1Char('5');
        if (mantissa == QLatin1Char('1'))
            --exponent;
    }
    const QString stepped = QStringLiteral("%1e%2").arg(next).arg(exponent);
    value = ScaleFromText(stepped);
    return stepped;
}

QString PeriodText(int32_t period)
{
    if (period < 0)
        return QString();
    const double t = period * 62.5;
    if (period < 16)
        return Printf("%0.1fus", t);
    if (period < 16000)
        return Printf("%0.2fms", t * 0.001);
    return Printf("%0.2fs", t * 0.000001);
}

bool SanitiseOffset(QString& text, double& value, bool atCaptureStart)
{
    if (text != QLatin1String("-0") && text != QLatin1String("-0.") && text.size() <= 10)
        return false;
    value = 0;
    text = Printf(atCaptureStart ? "%.f" : "%.3f", 0.0);
    return true;
}

QStringList UnitEntries(CPageHost& host, const CSdoDatabase& dictionary, uint32_t key)
{
    QStringList entries;
    CSdoRecord record;
    QString unused;
    if (dictionary.Lookup(key, record))
        host.Units().GetDefaultUnit(key, record.unitText, unused);
    bool dec = false;
    if (const QVector<CUnitRecord>* records = host.Units().LookupUnits(key)) {
        for (const CUnitRecord& unit : *records) {
            if (unit.label == FormatKeyword::kDec) {
                dec = true;
                continue;
            }
            entries.append(unit.DisplayName());
        }
    }
    if (dec || entries.isEmpty())
        entries.append(FormatKeyword::kDec);
    return entries;
}

QString FormatRaw(CPageHost& host, HWND window, const CSdoDatabase& dictionary, uint32_t key,
                  const QString& unit, uint32_t raw, bool allowUnsigned)
{
    const ObjectType type = TypeOf(dictionary, key);
    if (unit.isEmpty() || unit == FormatKeyword::kDec)
        return FormatInteger(type, raw, allowUnsigned);
    if (unit == FormatKeyword::kHex)
        return QString::number(raw, 16);
    double value = type.isSigned ? double(int32_t(raw)) : double(raw);
    QString formula;
    bool done = false;
    host.currentPageWnd = window;
    if (!host.ConvertForDisplay(window, key, unit, &value, formula, done) || !done)
        return QString();
    if (formula == QLatin1String("N*1"))
        return FormatInteger(type, raw, allowUnsigned);
    return Printf("%0.6f", value);
}

double UnitCoefficient(CPageHost& host, HWND window, const CSdoDatabase& dictionary, uint32_t key,
                       const QString& unit)
{
    return FormatRaw(host, window, dictionary, key, unit, 1, true).toDouble();
}

LevelWrite TriggerLevel(CPageHost& host, HWND window, uint32_t triggerKey, const QString& unit,
                        const QString& text)
{
    LevelWrite level;
    if (unit.isEmpty() || unit == FormatKeyword::kDec || unit == QLatin1String("N*1")) {
        level.outcome = LevelWrite::Ready;
        level.raw = uint32_t(DecTextToInt(text));
        return level;
    }
    if (unit == FormatKeyword::kHex) {
        level.outcome = LevelWrite::Ready;
        level.raw = uint32_t(HexTextToInt(text));
        return level;
    }
    const QVector<CUnitRecord>* records = host.Units().LookupUnits(triggerKey);
    if (records == nullptr)
        return level;
    bool ok = false;
    const double typed = text.toDouble(&ok);
    for (const CUnitRecord& record : *records) {
        if (record.name != unit)
            continue;
        int32_t raw = 0;
        if (host.Evaluator().EvaluateToInteger(window, record.formula, ok ? typed : 0.0, raw)) {
            level.outcome = LevelWrite::Ready;
            level.raw = uint32_t(raw);
        } else {
            // A constant is being read; its arrival sends the level.
            host.Evaluator().ParkRequest(DriveObject::kRecorderLevel, SdoFrame::kWrite4,
                                         ok ? typed : 0.0, record.formula);
            level.outcome = LevelWrite::Parked;
        }
        return level;
    }
    return level;
}

} // namespace ScopeFormat
