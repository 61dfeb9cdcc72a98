// The device description reader on any bytes: it never crashes, and it gives either a whole
// device (objects sorted, each key once, defaults within type and limits) or errors and nothing.
#include "base/TextNumbers.h"
#include "eds/EdsReader.h"
#include "eds/ObjectMeanings.h"

#include <cstddef>
#include <cstdint>

namespace {
void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const CEdsDevice device = Eds::Read(bytes);
    Check(device.ok() != device.objects.isEmpty());
    for (const CEdsProblem& error : device.errors)
        Check(error.line >= 1 && !error.reason.isEmpty());
    const bool drive = ObjectMeanings::IsDriveProfile(device);
    for (int i = 0; i < device.objects.size(); ++i) {
        const CEdsObject& object = device.objects[i];
        Check(i == 0 || device.objects[i - 1].key() < object.key());
        Check(!object.name.isEmpty() && !object.AttributeLetters().isEmpty());
        if (object.numeric()) {
            Check(TypeWidthOf(object.dataType).fits(object.value));
            Check(!object.hasLow || object.value >= object.low);
            Check(!object.hasHigh || object.value <= object.high);
        }
        ObjectMeanings::UnitText(object, drive);
        ObjectMeanings::Help(object, drive);
    }
    return 0;
}
