#pragma once

// A control link connected through a real transport (pseudo-terminal or virtual CAN bus) to the
// virtual drive, and window stand-ins that record what the link sends them.

#include "../comm/CommTestUtil.h"
#include "SimCanServer.h"
#include "SimSerialServer.h"
#include "TestSupport.h"
#include "VirtualDrive.h"
#include "comm/CtrlLink.h"
#include "comm/MessageLayer.h"
#include "comm/SdoFrame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace LinkTest {

using namespace SdoFrame;

// Plain objects of the shipped dictionary, without behaviour of their own in the drive.
constexpr uint32_t kObject8 = 0x100D00;    // U8, read and write
constexpr uint32_t kObject16 = 0x100C00;   // U16, read and write
constexpr uint32_t kObject32 = 0x100600;   // U32, read and write
constexpr uint32_t kReadOnly16 = 0x200006; // U16, read only
constexpr uint32_t kTextObject = 0x100800; // VISIBLE STRING, read by segments
constexpr uint32_t kNodeId = 1;
constexpr uint32_t kReplyTimeoutMs = 100;
constexpr int kWaitMs = 10000; // only guards against a hang

inline QString DataDir()
{
    return TestSupport::DistDir() + QStringLiteral("/data");
}

// Processes events until the condition holds; the limit only ends a hang.
inline bool Until(const std::function<bool()>& condition)
{
    return TestSupport::WaitFor(condition, kWaitMs);
}

struct Message
{
    unsigned message = 0;
    uint32_t wParam = 0;
    uint32_t lParam = 0;
};

using Outcome = std::pair<unsigned, uint32_t>;
inline const auto Value = [](uint32_t value) { return Outcome(WM_SDO_VALUE, value); };
inline const auto Abort = [](uint32_t code) { return Outcome(WM_SDO_ABORT, code); };
inline const auto Failed = [](SdoFailure reason) { return Outcome(WM_SDO_FAILED, reason); };
inline const auto Uploaded = [](int length) { return Outcome(WM_SDO_UPLOAD, uint32_t(length)); };

using Outcomes = std::vector<Outcome>;

// Every message that ends (or reports on) an exchange the window asked for.
inline bool IsResult(const Message& m)
{
    return m.message == WM_SDO_VALUE || m.message == WM_SDO_SEGMENT || m.message == WM_SDO_ABORT ||
           m.message == WM_SDO_FAILED || m.message == WM_SDO_UPLOAD || m.message == WM_SDO_WRITTEN;
}

// A window on the test's main thread: records every message and can act while the worker is
// blocked delivering one (onMessage).
class CProbe : public CMessageReceiver
{
public:
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override
    {
        messages.push_back({message, wParam, lParam});
        if (onMessage)
            onMessage(messages.back());
    }
    HWND hwnd() const { return m_handle.hwnd(); }

    // Every result (value, segment, abort or failure) for the key so far.
    Outcomes Results(uint32_t key) const
    {
        Outcomes out;
        for (const Message& m : messages) {
            if (m.lParam == key && IsResult(m))
                out.emplace_back(m.message, m.wParam);
        }
        return out;
    }
    // The first result for the key, once it came.
    std::optional<Outcome> WaitFor(uint32_t key)
    {
        if (!Until([&] { return !Results(key).empty(); }))
            return std::nullopt;
        return Results(key).front();
    }
    std::vector<uint32_t> ResultKeys() const
    {
        std::vector<uint32_t> keys;
        for (const Message& m : messages) {
            if (IsResult(m))
                keys.push_back(m.lParam);
        }
        return keys;
    }
    long Count(unsigned message) const
    {
        return std::count_if(messages.begin(), messages.end(),
                             [message](const Message& m) { return m.message == message; });
    }
    // Runs the action once, from inside the delivery of the first result for the key: the worker
    // is blocked in that send, so whatever the action asks for is queued before it looks again.
    void OnFirstResult(uint32_t key, std::function<void()> action)
    {
        onMessage = [key, action = std::move(action), done = false](const Message& m) mutable {
            if (m.lParam == key && !std::exchange(done, true))
                action();
        };
    }

    std::vector<Message> messages;
    std::function<void(const Message&)> onMessage;

private:
    CWindowHandle m_handle{this}; // last: unregistered before the record goes
};

enum class Transport
{
    Serial,
    Can
};

// The drive behind its server, the link and a main frame that closes the link on
// WM_COMM_FAILED as the real one does.
class CLinkBench
{
public:
    explicit CLinkBench(Transport transport) : m_transport(transport)
    {
        flags.mainFrameWnd.store(mainFrame.hwnd());
        mainFrame.onMessage = [this](const Message& m) {
            if (m.message == WM_COMM_FAILED && m.wParam == 0) {
                flags.connected.store(2);
                link->Close();
            }
        };
    }

    // Loads the drive, starts its server, opens the link and lets the worker take requests.
    void Start(uint32_t replyTimeoutMs = kReplyTimeoutMs)
    {
        QString error;
        ASSERT_TRUE(drive.Load(DataDir(), &error)) << error.toStdString();
        link = std::make_unique<CCtrlLink>(flags, DataDir());
        if (m_transport == Transport::Serial) {
            ASSERT_TRUE(serialServer.Start(kNodeId, 0)) << serialServer.ErrorString().toStdString();
            ASSERT_EQ(link->SetMode(CCommPort::ModeSerial), 1);
            m_settings =
                CommTest::SerialSettings(serialServer.PortName(), 0, replyTimeoutMs, kNodeId);
        } else {
            const QString plugin = QStringLiteral("virtualcan"), url = CommTest::BusUrl();
            ASSERT_TRUE(canServer.Start(kNodeId, plugin, url))
                << canServer.ErrorString().toStdString();
            ASSERT_EQ(link->SetMode(CCommPort::ModeCan), 1);
            link->SetCanDevice(plugin, url);
            m_settings = CanOpenSettings(kNodeId, 0x001C, replyTimeoutMs);
        }
        link->SetNodeId(kNodeId);
        ASSERT_EQ(link->Open(m_settings.data()), 0);
        flags.connected.store(1);
    }
    // Opens the link again after the main frame closed it, as the connect button does; with a
    // reply timeout, that one from now on.
    bool Reconnect(uint32_t replyTimeoutMs = 0)
    {
        if (replyTimeoutMs != 0)
            m_settings[6] = replyTimeoutMs;
        const bool opened = link->Open(m_settings.data()) == 0;
        flags.connected.store(1);
        return opened;
    }
    // One request and every result it brought, once the link has delivered them all.
    Outcomes AskAll(uint8_t command, uint32_t key, uint32_t value = 0)
    {
        page.messages.clear();
        if (link->Request(page.hwnd(), command, key, value) != CCtrlLink::kRequestQueued)
            return {};
        Until([&] { return !link->HasPendingRequests(); });
        return page.Results(key);
    }

    CVirtualDrive drive;
    CSimSerialServer serialServer{drive};
    CSimCanServer canServer{drive};
    CLinkFlags flags;
    CProbe mainFrame;
    CProbe page;
    std::unique_ptr<CCtrlLink> link; // last: goes before the servers and windows it answers

private:
    Transport m_transport;
    OpenSettings m_settings{};
};

using Arm = std::function<void(CSimFaults&)>;

// What an upload brought: the message that ended it, the text, and the byte counts of its
// progress messages.
struct UploadResult
{
    Outcome last;
    QByteArray text;
    std::vector<uint32_t> progress;
};

// Reads a text object with the link's upload job, progress included. The faults armed before it
// hit the first reply (the length); afterFirstSegment arms them again once a segment is in.
inline UploadResult Upload(CLinkBench& bench, uint32_t key, const Arm& afterFirstSegment = {})
{
    UploadResult r;
    bool done = false;
    bench.page.onMessage = [&](const Message& m) {
        if (m.lParam != key)
            return;
        if (m.message == WM_SDO_SEGMENT) {
            r.progress.push_back(m.wParam);
            if (afterFirstSegment && r.progress.size() == 1)
                afterFirstSegment(bench.drive.faults());
            return;
        }
        r.last = {m.message, m.wParam};
        if (m.message == WM_SDO_UPLOAD) {
            EXPECT_TRUE(bench.link->TakeUpload(bench.page.hwnd(), key, r.text));
        }
        done = true;
    };
    EXPECT_EQ(bench.link->RequestUpload(bench.page.hwnd(), key, true), CCtrlLink::kRequestQueued);
    EXPECT_TRUE(Until([&] { return done; }));
    bench.page.onMessage = nullptr;
    return r;
}

} // namespace LinkTest
