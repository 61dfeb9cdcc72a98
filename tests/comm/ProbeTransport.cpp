// Test transport library: serves as both COM.so and CAN.so, records every call it gets and can
// make its factories fail. The tests reach its state through the Probe* exports.

#include "comm/TransportApi.h"

#include <cstring>
#include <string>

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct ProbeState
{
    bool failCreate = false;
    std::string log;
    unsigned char openBlock[48] = {};
    uint32_t canSettings[7] = {};
    std::string canDevice;
};

ProbeState& State()
{
    static ProbeState state;
    return state;
}

void Log(const char* call)
{
    State().log += call;
    State().log += ' ';
}

class CProbeSerial final : public ISerialTransport
{
public:
    int Open(const SerialOpenBlock* block) override
    {
        Log("S.Open");
        std::memcpy(State().openBlock, block, sizeof(State().openBlock));
        return 0;
    }
    int Send(const uint8_t*, int length) override
    {
        Log(length == 10 ? "S.Send10" : "S.Send");
        return 0;
    }
    int Receive(uint8_t* bytes, int* length) override
    {
        Log("S.Receive");
        std::memset(bytes, 0x5A, 10);
        *length = 10;
        return 0;
    }
    int Reserved3() override { return 0; }
    void Close() override { Log("S.Close"); }
    void Release() override
    {
        Log("S.Release");
        delete this;
    }

private:
    ~CProbeSerial() = default;
};

class CProbeCan final : public ICanTransport
{
public:
    int Open(const uint32_t* settings) override
    {
        Log("C.Open");
        std::memcpy(State().canSettings, settings, sizeof(State().canSettings));
        return 7; // handed back unchanged
    }
    int Send(const uint8_t*) override
    {
        Log("C.Send");
        return 0;
    }
    int Receive(uint8_t* frame) override
    {
        Log("C.Receive");
        std::memset(frame, 0xA5, 16);
        return 0;
    }
    int GetVersion(char* buffer) override
    {
        Log("C.GetVersion");
        std::strcpy(buffer, "probe: 1.0");
        return 1;
    }
    void Reserved4() override {}
    void Close() override { Log("C.Close"); }
    void Release() override
    {
        Log("C.Release");
        delete this;
    }

private:
    ~CProbeCan() = default;
};

} // namespace

PROBE_EXPORT void CreateObject(ISerialTransport** out)
{
    *out = State().failCreate ? nullptr : new CProbeSerial;
}

PROBE_EXPORT void CreateCanObject(ICanTransport** out)
{
    *out = State().failCreate ? nullptr : new CProbeCan;
}

PROBE_EXPORT void SetCanDevice(const char* plugin, const char* interfaceName)
{
    State().canDevice = std::string(plugin) + '|' + interfaceName;
}

PROBE_EXPORT void ProbeReset(int failCreate)
{
    State() = ProbeState();
    State().failCreate = failCreate != 0;
}

PROBE_EXPORT const char* ProbeLog()
{
    return State().log.c_str();
}

PROBE_EXPORT const unsigned char* ProbeOpenBlock()
{
    return State().openBlock;
}

PROBE_EXPORT const uint32_t* ProbeCanSettings()
{
    return State().canSettings;
}

PROBE_EXPORT const char* ProbeCanDevice()
{
    return State().canDevice.c_str();
}
