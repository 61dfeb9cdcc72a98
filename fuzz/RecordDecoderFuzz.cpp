// Input: one byte of slot choices and signs, then a record as a drive might send it. The decoder
// never reads past the record, every channel gets whole samples only, and the samples of a field
// stay inside the range of its width and sign.

#include "scope/RecordDecoder.h"

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
    if (size < 2)
        return 0;
    ScopeSlots recorder;
    std::array<bool, kScopeChannels> checked{}, isSigned{};
    for (int slot = 1; slot <= kScopeSlots; ++slot)
        recorder.setValue(slot, (data[0] >> (slot - 1)) & 1 ? 0x60FF0020u : 0u);
    recorder.slot5IsChannel1 = (data[0] & 0x40) != 0;
    recorder.slot6IsChannel3 = (data[0] & 0x80) != 0;
    for (size_t c = 0; c < size_t(kScopeChannels); ++c) {
        checked[c] = (data[1] >> c) & 1;
        isSigned[c] = (data[1] >> (c + 4)) & 1;
    }
    const RecordLayout layout = MakeRecordLayout(recorder, checked, isSigned);
    const ScopeRecord record = DecodeRecord(data + 2, size - 2, layout);
    const size_t samples = layout.sampleBytes > 0 ? (size - 2) / size_t(layout.sampleBytes) : 0;
    size_t total = 0;
    for (const auto& channel : record.samples) {
        total += channel.size();
        for (const double value : channel)
            Check(value >= -2147483648.0 && value <= 4294967295.0);
    }
    Check(total == samples * layout.fields.size());
    Check(layout.sampleBytes == 0 ||
          size_t(record.leftoverBytes) == (size - 2) % size_t(layout.sampleBytes));
    return 0;
}
