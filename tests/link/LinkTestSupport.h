#pragma once

#include "TestSupport.h"
#include "VirtualDrive.h"
#include "comm/CtrlLink.h"
#include "comm/MessageLayer.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace LinkTest {

struct Message
{
    unsigned message = 0;
    uint32_t wParam = 0;
    uint32_t lParam = 0;
};

// A window stand-in on the test's main thread: records every message it is sent and can act
// while the worker is blocked delivering one (onMessage).
class CProbe : public CMessageReceiver
{
public:
    CProbe() : m_handle(this) {}

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override
    {
        const Message received{message, wParam, lParam};
        messages.push_back(received);
        if (onMessage)
            onMessage(received);
    }

    HWND hwnd() const { return m_handle.hwnd(); }
    int Count(unsigned message) const;
    // The first recorded message with this number and key (lParam).
    std::optional<Message> Find(unsigned message, uint32_t key) const;
    // Waits (pumping events) for a message with this number and key.
    std::optional<Message> WaitFor(unsigned message, uint32_t key, int timeoutMs = 5000);
    // Waits for the first result (value, segment or abort) for the key.
    std::optional<Message> WaitForResult(uint32_t key, int timeoutMs = 5000);

    std::vector<Message> messages;
    std::function<void(const Message&)> onMessage;

private:
    CWindowHandle m_handle; // last: unregistered before the record goes
};

enum class Transport
{
    Serial,
    Can
};

// Plain objects of the shipped dictionary, without behaviour of their own in the drive.
constexpr uint32_t kObject8 = 0x100D00;    // U8, read and write
constexpr uint32_t kObject16 = 0x100C00;   // U16, read and write
constexpr uint32_t kObject32 = 0x100600;   // U32, read and write
constexpr uint32_t kReadOnly16 = 0x200006; // U16, read only
constexpr uint32_t kTextObject = 0x100800; // VISIBLE STRING, read by segments
constexpr uint32_t kMissingObject = 0x5FFF00;

constexpr uint32_t kNodeId = 1;
constexpr uint32_t kReplyTimeoutMs = 100;

QString DataDir();

// The seven open settings words for a serial port name such as "pts/7".
void SerialSettings(const QString& portName, uint32_t baud, uint32_t settings[7]);
// Bus address of this process's virtual CAN bus, so that parallel test binaries never share one.
QString VirtualCanUrl();

// A virtual drive behind a real transport (pseudo-terminal or virtual CAN bus) and a control
// link connected to it, with a main-frame probe that closes the link on WM_COMM_FAILED as the
// main frame does.
class CLinkBench
{
public:
    explicit CLinkBench(Transport transport, uint32_t baud = 0);
    ~CLinkBench();

    // Loads the drive, starts its server and opens the link; false (with a gtest failure) when
    // any of it does not work.
    bool Start();
    // connected = 1: the worker starts taking requests.
    void Connect() { flags.connected.store(1); }
    // Stops the drive's server: the drive is gone from the line.
    void StopServer();

    CVirtualDrive drive;
    CLinkFlags flags;
    CProbe mainFrame;
    std::unique_ptr<CCtrlLink> link;

private:
    struct Servers;
    Transport m_transport;
    uint32_t m_baud;
    std::unique_ptr<Servers> m_servers;
};

} // namespace LinkTest
