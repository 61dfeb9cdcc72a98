// Input: a unit text as it comes from the dictionary, and a raw value. Parses the units, then
// evaluates every formula for display and for writing, with constants answered at once, so that
// any text a database may carry is shown to end in a defined value without a crash or undefined
// behaviour.

#include "base/Report.h"
#include "units/FormulaEvaluator.h"
#include "units/UnitTable.h"

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool quiet = [] {
        SetMessageSink([](const QString&, MessageKind) {});
        return true;
    }();
    (void)quiet;
    if (size < 4)
        return 0;
    int32_t raw = 0;
    std::memcpy(&raw, data, sizeof raw);
    const QString unitText = QString::fromUtf8(reinterpret_cast<const char*>(data + 4),
                                               static_cast<qsizetype>(size - 4));

    CFormulaEvaluator evaluator;
    uint32_t constantKey = 0;
    bool constantAsked = false;
    evaluator.SetRequester(
        [&](HWND, uint8_t command, uint32_t key, uint32_t) {
            if (command == 0x40) {
                constantKey = key;
                constantAsked = true;
            }
            return 0;
        },
        [] { return HWND(1); });

    CUnitTable table;
    QString name;
    table.GetDefaultUnit(0x606C00, unitText, name);
    const QVector<CUnitRecord>* records = table.LookupUnits(0x606C00);
    if (!records)
        return 0;
    for (const CUnitRecord& record : *records) {
        // A formula may wait for several constants; each arrives as the drive would answer.
        for (int attempt = 0; attempt < 8; ++attempt) {
            double shown = 0;
            constantAsked = false;
            if (evaluator.EvaluateToDouble(2, record.formula, raw, shown))
                break;
            if (!constantAsked)
                break;
            evaluator.AddConst(constantKey, raw ^ 0x5A5A);
            evaluator.CompleteParkedRequest();
        }
        int32_t written = 0;
        evaluator.EvaluateToInteger(2, record.formula, raw, written);
    }
    return 0;
}
