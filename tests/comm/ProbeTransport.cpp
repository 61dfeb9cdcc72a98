// Test transport library: stands in for both COM.so and CAN.so; its state (ProbeState.h) is
// open to the test. Replies carry a marker byte per kind (serial 0x5A, CAN 0xA5) so the test sees
// which instance answered.

#include "ProbeState.h"

#include <cstring>

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

// A variable of the global namespace: its symbol name is not mangled.
__attribute__((visibility("default")))
ProbeState probeState{false, kTransportInterfaceVersion, 0, {}, 0, {}};

namespace {

// One class for both kinds: the overloads and the shared Close and Release fill both tables.
class CProbe final : public ISerialTransport, public ICanTransport
{
public:
    CProbe() { ++probeState.live; }
    int Open(const SerialOpenBlock* block) override
    {
        std::memcpy(probeState.openBlock, block, sizeof(probeState.openBlock));
        return 0;
    }
    int OpenPort(const char* name, const SerialOpenBlock* block) override
    {
        std::strncpy(probeState.portName, name, sizeof(probeState.portName) - 1);
        return Open(block);
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
    void CancelReceive() override { ++probeState.cancels; }
    void Close() override {}
    void Release() override
    {
        --probeState.live;
        delete this;
    }
};

} // namespace

PROBE_EXPORT void CreateObject(ISerialTransport** out)
{
    *out = probeState.failCreate ? nullptr : new CProbe;
}

PROBE_EXPORT void CreateCanObject(ICanTransport** out)
{
    *out = probeState.failCreate ? nullptr : new CProbe;
}

PROBE_EXPORT uint32_t TransportInterfaceVersion()
{
    return probeState.version;
}
