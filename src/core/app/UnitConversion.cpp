#include "app/SysData.h"
#include "base/TextNumbers.h"
#include "comm/SdoFrame.h"
#include "units/ConstantArrival.h"
#include "units/FormatKeywords.h"
#include "units/FormulaText.h"

#include <algorithm>
#include <cmath>

namespace {

// Format keywords need no formula: FormatValue shows the raw value itself.
bool IsFormatKeyword(const QString& unit)
{
    return unit.isEmpty() || FormatKeyword::Is(unit);
}
} // namespace

bool CSysData::ConvertForDisplay(HWND window, uint32_t key, const QString& unit, double* value,
                                 QString& formula, bool& done)
{
    if (value == nullptr || key == 0)
        return false;
    // When this object is itself a formula constant, its cache follows the newest reading.
    evaluator.SetConst(key, CFormulaEvaluator::TruncateToInt32(*value));
    if (IsFormatKeyword(unit)) {
        done = true;
        return true;
    }

    const QVector<CUnitRecord>* records = unitTable.LookupUnits(key);
    if (records == nullptr || records->isEmpty())
        return false;
    for (const CUnitRecord& record : *records) {
        if (!record.label.isEmpty()) {
            if (record.label != unit)
                continue;
            double result = 0.0;
            if (evaluator.EvaluateToDouble(window, record.formula, *value, result)) {
                *value = result;
                formula = record.formula;
                done = true;
                return true;
            }
            // A constant is being read; its arrival reads this object again, which redraws
            // the row with the constant known.
            evaluator.ParkRequest(key, SdoFrame::kRead, 0.0, record.formula);
        } else if (record.name == unit) {
            // A unit without a label is shown as the raw value.
            formula = record.formula;
            done = true;
            return true;
        }
    }
    return false;
}

void OnConstantArrived(CFormulaEvaluator& evaluator, uint32_t key, uint32_t value)
{
    if (evaluator.ConstExists(key))
        return;
    evaluator.AddConst(key, static_cast<int32_t>(value));
    evaluator.CompleteParkedRequest();
}

namespace {
QString Quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// A value in a unit as the value cell would show it.
QString UnitValueText(double value, const QString& displayFormula)
{
    if (displayFormula == QLatin1String("N*1"))
        return QString::number(static_cast<qint64>(value));
    return ThreeDecimals(value);
}
} // namespace

CRawWrite CSysData::PrepareWrite(HWND window, uint32_t key, const QString& unit,
                                 const QString& dataType, const QString& text, bool park)
{
    CRawWrite write;
    const TypeWidth width = TypeWidthOf(dataType);
    write.command = WriteCommandForType(dataType);
    if (!width.valid()) {
        write.error = QStringLiteral("objects of type %1 cannot be written this way").arg(dataType);
        return write;
    }

    if (unit == FormatKeyword::kAscii) {
        bool oneByte = text.size() == width.bytes();
        uint32_t raw = 0;
        for (int i = 0; oneByte && i < text.size(); ++i) {
            oneByte = text.at(i).unicode() <= 0xFF;
            raw |= uint32_t(text.at(i).unicode() & 0xFF) << (8 * i);
        }
        if (!oneByte) {
            write.error = QStringLiteral("%1: ASCII takes exactly %2 character(s) of one byte each")
                              .arg(Quoted(text))
                              .arg(width.bytes());
            return write;
        }
        write.raw = raw;
    } else if (unit.isEmpty() || unit == FormatKeyword::kDec) {
        int64_t value = 0;
        if (!ParseTypedInteger(text, value) || !width.fits(value)) {
            write.error =
                QStringLiteral("%1 is not a whole number from %2 (decimal, or hexadecimal "
                               "with 0x)")
                    .arg(Quoted(text), width.rangeText());
            return write;
        }
        write.raw = static_cast<uint32_t>(value);
    } else if (unit == FormatKeyword::kHex) {
        uint64_t value = 0;
        if (!ParseTypedHex(text, value) || value > width.mask(0xFFFFFFFFu)) {
            write.error = QStringLiteral("%1 is not a hexadecimal number from 0 to %2")
                              .arg(Quoted(text), QString::number(width.mask(0xFFFFFFFFu), 16));
            return write;
        }
        write.raw = static_cast<uint32_t>(value);
    } else {
        const QVector<CUnitRecord>* records = unitTable.LookupUnits(key);
        const QVector<CUnitChoice> choices =
            records ? CUnitTable::UnitChoices(*records) : QVector<CUnitChoice>();
        const auto choice = std::find_if(choices.cbegin(), choices.cend(),
                                         [&](const CUnitChoice& c) { return c.name == unit; });
        if (choice == choices.cend() || !choice->writable()) {
            QStringList writable;
            for (const CUnitChoice& c : choices)
                if (c.writable())
                    writable.append(c.name);
            writable << QString(FormatKeyword::kDec) << QString(FormatKeyword::kHex);
            write.error = QStringLiteral("unit %1 cannot be written; it can be written in %2")
                              .arg(unit, writable.join(QStringLiteral(", ")));
            return write;
        }
        double typed = 0.0;
        double raw = 0.0;
        const bool number = ParseTypedNumber(text, typed);
        if (number && !evaluator.EvaluateToDouble(window, choice->writeFormula, typed, raw)) {
            if (park)
                evaluator.ParkWrite(key, write.command, typed, choice->writeFormula, width.min(),
                                    width.max());
            write.outcome = CRawWrite::WaitsForConstant;
            return write;
        }
        raw = std::round(raw);
        if (!number || !std::isfinite(raw) || raw < double(width.min()) ||
            raw > double(width.max())) {
            // The accepted range in the chosen unit: the type's ends seen through the display
            // formula (raw ends when a constant is still missing).
            double low = 0.0, high = 0.0;
            QString range;
            if (evaluator.EvaluateToDouble(window, choice->displayFormula, double(width.min()),
                                           low) &&
                evaluator.EvaluateToDouble(window, choice->displayFormula, double(width.max()),
                                           high)) {
                if (low > high)
                    std::swap(low, high);
                if (choice->displayFormula != QLatin1String("N*1")) {
                    // Rounded inward, so that both ends shown can be typed back.
                    low = std::ceil(low * 1000.0) / 1000.0;
                    high = std::floor(high * 1000.0) / 1000.0;
                }
                range = QStringLiteral("%1 to %2 %3")
                            .arg(UnitValueText(low, choice->displayFormula),
                                 UnitValueText(high, choice->displayFormula), unit);
            } else {
                range = QStringLiteral("raw %1").arg(width.rangeText());
            }
            write.error = QStringLiteral("%1 is not a number from %2").arg(Quoted(text), range);
            return write;
        }
        write.raw = static_cast<uint32_t>(static_cast<int64_t>(raw));
    }
    // One bit pattern per value: signed types sign-extended, whichever unit it was typed in.
    write.raw = static_cast<uint32_t>(width.value(write.raw));
    write.outcome = CRawWrite::Ready;
    return write;
}
