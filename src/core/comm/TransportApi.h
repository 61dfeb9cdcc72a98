#pragma once

// The interface between the program and its transport libraries (data/COM.so for the serial
// line, data/CAN.so for CAN). Each library exports one factory that stores a new instance in the
// given pointer (null on failure). The virtual operations keep their slot order: a replacement
// library only has to provide the same slots and the frames the link exchanges.

#include <cstdint>

// 48-byte serial open block.
struct SerialOpenBlock
{
    char16_t portName[8];    // bytes 0-15: port name, NUL-padded ("ttyUSB0", "pts/3")
    uint32_t dcbLength;      // 16: always 28
    uint32_t baudRate;       // 20: settings word 5
    uint8_t byteSize;        // 24: 8
    uint8_t parity;          // 25: 0 none
    uint8_t stopBits;        // 26: 0 one stop bit
    uint8_t dtrControl;      // 27: 0 disabled
    uint8_t rtsControl;      // 28: 0 disabled
    uint8_t reserved[15];    // 29-43
    uint32_t replyTimeoutMs; // 44-47: settings word 6
};
static_assert(sizeof(SerialOpenBlock) == 48, "serial open block is 48 bytes");

class ISerialTransport
{
public:
    virtual int Open(const SerialOpenBlock* block) = 0;     // 0: 0 success
    virtual int Send(const uint8_t* bytes, int length) = 0; // 1: 0 sent
    virtual int Receive(uint8_t* bytes, int* length) = 0;   // 2: fills up to 10 bytes
    virtual int Reserved3() = 0;                            // 3: not used
    virtual void Close() = 0;                               // 4
    virtual void Release() = 0;                             // 5: deletes the instance

protected:
    ~ISerialTransport() = default;
};

class ICanTransport
{
public:
    virtual int Open(const uint32_t* settings) = 0; // 0: seven words; result handed back
    virtual int Send(const uint8_t* frame) = 0;     // 1: 16-byte frame, 0 sent
    virtual int Receive(uint8_t* frame) = 0;        // 2: fills the 16-byte reply, 0 received
    virtual int GetVersion(char* buffer) = 0;       // 3: 256 bytes, nonzero on success
    virtual void Reserved4() = 0;                   // 4: not used
    virtual void Close() = 0;                       // 5
    virtual void Release() = 0;                     // 6: deletes the instance

protected:
    ~ICanTransport() = default;
};

extern "C" {
using CreateObjectFn = void (*)(ISerialTransport** out);
using CreateCanObjectFn = void (*)(ICanTransport** out);
// Optional export of the CAN library: chooses the QtSerialBus plugin ("socketcan", "peakcan",
// "virtualcan") and interface ("can0", "usb0", "tcp://127.0.0.1:35468/can0") for the next Open.
using SetCanDeviceFn = void (*)(const char* plugin, const char* interfaceName);
}

// CAN settings words: 0-3 unused (0), 4 node id, 5 bit-rate code, 6 reply timeout in ms.
