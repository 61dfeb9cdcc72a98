// Test transport library: stands in for both COM.so and CAN.so, logs the calls it gets and can
// make its factories fail. Replies carry a marker byte per kind (serial 0x5A, CAN 0xA5) so the
// test sees which instance answered.

#include "comm/TransportApi.h"

#include <cstring>
#include <string>

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

bool g_failCreate = false;
std::string g_log;
unsigned char g_openBlock[sizeof(SerialOpenBlock)] = {};

int Log(const char* call, int result = 0)
{
    g_log += call;
    g_log += ' ';
    return result;
}

class CProbeSerial final : public ISerialTransport
{
public:
    int Open(const SerialOpenBlock* block) override
    {
        std::memcpy(g_openBlock, block, sizeof(g_openBlock));
        return Log("S.Open");
    }
    int Send(const uint8_t*, int length) override
    {
        return Log(length == 10 ? "S.Send10" : "S.Send");
    }
    int Receive(uint8_t* bytes, int* length) override
    {
        std::memset(bytes, 0x5A, 10);
        *length = 10;
        return Log("S.Receive");
    }
    int Reserved3() override { return Log("S.Reserved3"); }
    void Close() override { Log("S.Close"); }
    void Release() override
    {
        Log("S.Release");
        delete this;
    }
};

class CProbeCan final : public ICanTransport
{
public:
    int Open(const uint32_t*) override { return Log("C.Open", 7); } // handed back unchanged
    int Send(const uint8_t*) override { return Log("C.Send"); }
    int Receive(uint8_t* frame) override
    {
        std::memset(frame, 0xA5, 16);
        return Log("C.Receive");
    }
    int GetVersion(char* buffer) override
    {
        std::strcpy(buffer, "probe");
        return Log("C.GetVersion", 1);
    }
    void Reserved4() override { Log("C.Reserved4"); }
    void Close() override { Log("C.Close"); }
    void Release() override
    {
        Log("C.Release");
        delete this;
    }
};

} // namespace

PROBE_EXPORT void CreateObject(ISerialTransport** out)
{
    *out = g_failCreate ? nullptr : new CProbeSerial;
}

PROBE_EXPORT void CreateCanObject(ICanTransport** out)
{
    *out = g_failCreate ? nullptr : new CProbeCan;
}

PROBE_EXPORT void ProbeReset(int failCreate)
{
    g_failCreate = failCreate != 0;
    g_log.clear();
    std::memset(g_openBlock, 0, sizeof(g_openBlock));
}

PROBE_EXPORT const char* ProbeLog()
{
    return g_log.c_str();
}

PROBE_EXPORT const unsigned char* ProbeOpenBlock()
{
    return g_openBlock;
}
