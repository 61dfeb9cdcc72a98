#include "app/SysData.h"
#include "units/ConstantArrival.h"
#include "units/FormulaText.h"

namespace {
constexpr uint8_t kReadCommand = 0x40;

// Format keywords need no formula: FormatValue shows the raw value itself.
bool IsFormatKeyword(const QString& unit)
{
    return unit.isEmpty() || unit == QLatin1String("DEC") || unit == QLatin1String("ASCII") ||
           unit == QLatin1String("HEX");
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
            evaluator.ParkRequest(key, kReadCommand, 0.0, record.formula);
        } else if (record.name == unit) {
            // A unit without a label is shown as the raw value.
            formula = record.formula;
            done = true;
            return true;
        }
    }
    return false;
}

void CSysData::WriteThroughFormula(HWND window, uint32_t key, const QString& unit,
                                   const QString& dataType, const QString& text)
{
    const QVector<CUnitRecord>* records = unitTable.LookupUnits(key);
    if (records == nullptr)
        return;
    const uint8_t command = WriteCommandForType(dataType);
    // Only the name is compared: a unit shown by its label is not writable.
    for (const CUnitRecord& record : *records) {
        if (record.name != unit)
            continue;
        const double value = StandardTextToDouble(text);
        int32_t raw = 0;
        if (evaluator.EvaluateToInteger(window, record.formula, value, raw))
            evaluator.SendRequest(window, command, key, static_cast<uint32_t>(raw));
        else
            evaluator.ParkRequest(key, command, value, record.formula);
    }
}

void OnConstantArrived(CFormulaEvaluator& evaluator, uint32_t key, uint32_t value)
{
    if (evaluator.ConstExists(key))
        return;
    evaluator.AddConst(key, static_cast<int32_t>(value));
    evaluator.CompleteParkedRequest();
}
