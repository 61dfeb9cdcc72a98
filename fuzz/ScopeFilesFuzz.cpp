// Input: the bytes of a capture TXT file as an operator might load it. Whatever it holds, loading
// never crashes, a loaded channel has exactly "number" samples, and what loads writes back into
// a file that loads to the same samples.

#include "scope/ScopeFiles.h"

#include <QByteArray>

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
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    ScopeSettings settings;
    ScopeRecord record;
    if (!ScopeFiles::ParseTxt(bytes, settings, record)) {
        Check(size % 2 != 0);
        return 0;
    }
    for (int n = 0; n < kScopeChannels; ++n) {
        const size_t expected = settings.channels[size_t(n)].enabled
                                    ? std::min<size_t>(settings.sampleCount, 65536)
                                    : 0;
        Check(record.samples[size_t(n)].size() == expected);
    }
    ScopeSettings again;
    ScopeRecord reloaded;
    Check(ScopeFiles::ParseTxt(ScopeFiles::TxtBytes(settings, record), again, reloaded));
    Check(reloaded.samples == record.samples || settings.sampleCount > 65536);
    return 0;
}
