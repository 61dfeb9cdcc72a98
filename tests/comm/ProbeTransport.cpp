// Test transport library: stands in for both COM.so and CAN.so, keeps the serial open block,
// counts its live instances, can make its factories fail and can claim another interface
// version. Replies carry a marker byte per kind (serial 0x5A, CAN 0xA5) so the test sees which
// instance answered.

#include "comm/TransportApi.h"

#include <cstring>

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

bool g_failCreate = false;
uint32_t g_version = kTransportInterfaceVersion;
int g_live = 0;
unsigned char g_openBlock[sizeof(SerialOpenBlock)] = {};

// One class for both kinds: the overloads and the shared Close and Release fill both tables.
class CProbe final : public ISerialTransport, public ICanTransport
{
public:
    CProbe() { ++g_live; }
    int Open(const SerialOpenBlock* block) override
    {
        std::memcpy(g_openBlock, block, sizeof(g_openBlock));
        return 0;
    }
    int Open(const uint32_t*) override { return 7; } // handed back unchanged
    int Send(const uint8_t*, int length) override { return length == 10 ? 0 : 1; }
    int Send(const uint8_t*) override { return 0; }
    int Receive(uint8_t* bytes, int* length) override
    {
        std::memset(bytes, 0x5A, 10);
        *length = 10;
        return 0;
    }
    int Receive(uint8_t* frame) override
    {
        std::memset(frame, 0xA5, 16);
        return 0;
    }
    int GetVersion(char* buffer) override
    {
        std::strcpy(buffer, "probe");
        return 1;
    }
    int Reserved3() override { return 0; }
    void Reserved4() override {}
    void Close() override {}
    void Release() override
    {
        --g_live;
        delete this;
    }
};

} // namespace

PROBE_EXPORT void CreateObject(ISerialTransport** out)
{
    *out = g_failCreate ? nullptr : new CProbe;
}

PROBE_EXPORT void CreateCanObject(ICanTransport** out)
{
    *out = g_failCreate ? nullptr : new CProbe;
}

PROBE_EXPORT uint32_t TransportInterfaceVersion()
{
    return g_version;
}

PROBE_EXPORT void ProbeReset(int failCreate, uint32_t version)
{
    g_failCreate = failCreate != 0;
    g_version = version;
    std::memset(g_openBlock, 0, sizeof(g_openBlock));
}

PROBE_EXPORT int ProbeLiveInstances()
{
    return g_live;
}

PROBE_EXPORT const unsigned char* ProbeOpenBlock()
{
    return g_openBlock;
}
