#pragma once

// The interface between the program and its transport libraries (data/COM.so for the serial
// line, data/CAN.so for CAN). Each library exports one factory that stores a new instance in the
// given pointer (null on failure). The virtual operations keep their slot order: a replacement
// library only has to provide the same slots and the frames the link exchanges.

#include <algorithm>
#include <cstdint>

// The layout and behaviour of this boundary. A library exports it as TransportInterfaceVersion;
// the loader refuses a library of another version (its slots or frames may differ). Raised when
// the slots, the frames or the meaning of a settings word change.
// Version 3 gives the reserved slots a meaning: CancelReceive (serial slot 3, CAN slot 4). A
// version 2 library is still taken; it only cannot have a waiting Receive cut short.
// Version 4 adds OpenPort (serial slot 6), which takes the port's whole name: the open block holds
// seven characters, too few for "ttyUSB10" or "/dev/serial/by-id/usb-FTDI_...-if00-port0".
constexpr uint32_t kTransportInterfaceVersion = 4;
constexpr uint32_t kOldestTransportInterfaceVersion = 2;
constexpr uint32_t kCancelReceiveSinceVersion = 3;
constexpr uint32_t kOpenPortSinceVersion = 4;
// The longest port name the open block itself carries.
constexpr int kBlockPortChars = 7;

// The reply timeout (settings word 6): how long Receive waits for the drive's answer.
constexpr uint32_t kDefaultReplyTimeoutMs = 500;
constexpr uint32_t kMinReplyTimeoutMs = 10;
constexpr uint32_t kMaxReplyTimeoutMs = 10000;

// The timeout a settings word asks for: the default for 0, else kept within the range.
inline uint32_t EffectiveReplyTimeout(uint32_t settingsWord)
{
    return settingsWord == 0 ? kDefaultReplyTimeoutMs
                             : std::clamp(settingsWord, kMinReplyTimeoutMs, kMaxReplyTimeoutMs);
}

// 48-byte serial open block.
struct SerialOpenBlock
{
    char16_t portName[8];    // bytes 0-15: port name, NUL-padded ("ttyUSB0", "pts/3"); empty
                             // when it is longer (OpenPort carries it)
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

// Send discards whatever input is already waiting before it sends, so that a reply that came too
// late for the previous request is not read as the answer to this one.
// CancelReceive is the one operation that may be called from another thread while Send or Receive
// run: the Receive that is waiting returns at once with nothing, and so does every Receive after
// it until the next Send (which forgets the cancel, as a new exchange starts). A connection change
// uses it so as not to wait out the reply timeout of a drive that stays silent.
class ISerialTransport
{
public:
    virtual int Open(const SerialOpenBlock* block) = 0;     // 0: 0 success
    virtual int Send(const uint8_t* bytes, int length) = 0; // 1: 0 sent
    virtual int Receive(uint8_t* bytes, int* length) = 0;   // 2: fills up to 10 bytes
    virtual void CancelReceive() = 0;                       // 3: since version 3
    virtual void Close() = 0;                               // 4
    virtual void Release() = 0;                             // 5: deletes the instance
    // 6, since version 4: Open with the port named by name (UTF-8, any length: "ttyS9", "pts/3",
    // "serial/by-id/...", or an absolute path taken as it is) instead of the block's name.
    virtual int OpenPort(const char* name, const SerialOpenBlock* block) = 0;

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
    virtual void CancelReceive() = 0;               // 4: since version 3
    virtual void Close() = 0;                       // 5
    virtual void Release() = 0;                     // 6: deletes the instance

protected:
    ~ICanTransport() = default;
};

extern "C" {
using CreateObjectFn = void (*)(ISerialTransport** out);
using CreateCanObjectFn = void (*)(ICanTransport** out);
// Required export of both libraries: kTransportInterfaceVersion of the headers it was built with.
using TransportInterfaceVersionFn = uint32_t (*)();
// Optional export: the operator's text of the library's last failure (an open that failed and
// why, a bus that went off); writes at most size bytes including the NUL, returns the length.
using TransportLastErrorFn = int (*)(char* buffer, int size);
// Optional export of the serial library: the folder in which a port name that is not a system
// device is looked up as a link (the virtual drive's dev/ttySIM0), normally the base folder.
using SetDeviceFolderFn = void (*)(const char* folder);
// Optional export of the CAN library: chooses the QtSerialBus plugin ("socketcan", "peakcan",
// "virtualcan") and interface ("can0", "usb0", "tcp://127.0.0.1:35468/can0") for the next Open.
using SetCanDeviceFn = void (*)(const char* plugin, const char* interfaceName);
// Optional export of the CAN library: takes the oldest heartbeat or emergency frame received
// (16 bytes, the reply layout) into frame; 1 when there was one, 0 when none.
using TakeBusFrameFn = int (*)(uint8_t* frame);
}

// CAN settings words: 0-3 unused (0), 4 node id, 5 bit-rate code, 6 reply timeout in ms.
