// Input: one byte that picks the object's type and the unit, then the text an operator typed.
// Every text either becomes a raw value that is the object's type's own bit pattern, with the
// command of its width, or is refused with a message; the number parsers agree with each other.

#include "app/SysData.h"
#include "base/Report.h"
#include "base/TextNumbers.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace {
void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

constexpr uint32_t kKey = 0x60FF00;
const char* const kTypes[] = {"U8", "U16", "U32", "I8", "I16", "I32", "VISIBLE STRING", "U24"};
const char* const kUnits[] = {"", "DEC", "HEX", "ASCII", "rpm", "inc/s", "mH", "v", "x10"};

CSysData& Sys()
{
    static CSysData* sys = [] {
        SetMessageSink([](const QString&, MessageKind) {});
        auto* data = new CSysData(CSysDataOptions{QStringLiteral("/nonexistent"), 1033});
        QString unit;
        data->unitTable.GetDefaultUnit(
            kKey,
            QStringLiteral("[v rpm]N*60/4096,[rpm DEC]N*4096/60,[inc/s inc/s]N*1,[l mH]N/100,"
                           "[mH DEC]N*100,[x10]N*10"),
            unit);
        return data;
    }();
    return *sys;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QString type = QLatin1String(kTypes[data[0] % 8]);
    const QString unit = QLatin1String(kUnits[(data[0] / 8) % 9]);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                           static_cast<qsizetype>(size - 1));

    int64_t integer = 0;
    double number = 0.0;
    const bool isInteger = ParseTypedInteger(text, integer);
    const bool isNumber = ParseTypedNumber(text, number);
    // Every whole number is a number, with the same value; and reads back from its own text.
    Check(!isInteger || (isNumber && number == double(integer)));
    int64_t again = 0;
    Check(!isInteger || (ParseTypedInteger(QString::number(integer), again) && again == integer));

    const CRawWrite write = Sys().PrepareWrite(1, kKey, unit, type, text);
    const TypeWidth width = TypeWidthOf(type);
    Check(write.outcome != CRawWrite::WaitsForConstant); // no formula here needs a constant
    if (write.outcome == CRawWrite::Refused) {
        Check(!write.error.isEmpty());
        return 0;
    }
    Check(width.valid());
    Check(write.command == CSysData::WriteCommandForType(type));
    // The raw value is the type's bit pattern: sign-extended for signed types, cut to the width
    // for unsigned ones.
    Check(static_cast<uint32_t>(width.value(write.raw)) == write.raw);
    if (unit.isEmpty() || unit == QLatin1String("DEC"))
        Check(isInteger && width.value(write.raw) == integer);
    return 0;
}
