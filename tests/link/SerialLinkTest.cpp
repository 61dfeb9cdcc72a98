// Request order, link owners and polling; a drive that goes away, refused sends and shutting down
// while the worker waits for a window: over a pseudo-terminal against the virtual drive. (Closing
// during a silent exchange is FaultTableTest's ConnectionChangesCutASilentExchangeShort.)
#include "LinkTestSupport.h"
#include "comm/LinkHold.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>

#include <tuple>

using namespace LinkTest;

namespace {

using Keys = std::vector<uint32_t>;

class SerialLink : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(bench.Start()); }

    int Ask(const CProbe& probe, uint32_t key)
    {
        return bench.link->Request(probe.hwnd(), kRead, key, 0);
    }

    CProbe other;
    CLinkBench bench{Transport::Serial}; // last: the link goes before the windows it answers
    CProbe& page = bench.page;
};

TEST_F(SerialLink, RequestsQueuedTogetherRunNewestFirstThenInOrder)
{
    page.OnFirstResult(kObject8, [&] {
        Ask(page, kObject16);
        Ask(page, kObject32);
        Ask(page, kReadOnly16);
    });
    Ask(page, kObject8);
    ASSERT_TRUE(Until([&] { return page.ResultKeys().size() >= 4; }));
    EXPECT_EQ(page.ResultKeys(), (Keys{kObject8, kReadOnly16, kObject16, kObject32}));
}

TEST_F(SerialLink, ExclusiveModeReplacesThePendingRequest)
{
    CLinkHold hold(bench.flags, page.hwnd());
    // Other windows are refused while an owner holds the link, and told so.
    EXPECT_EQ(Ask(other, kObject8), CCtrlLink::kRequestNotOwner);
    page.OnFirstResult(kObject16, [&] {
        Ask(page, kObject32);
        Ask(page, kReadOnly16);
    });
    Ask(page, kObject16);
    ASSERT_TRUE(page.WaitFor(kReadOnly16));
    ASSERT_TRUE(Until([&] { return !bench.link->HasPendingRequests(); }));
    // The replaced request is told it was replaced; it never reached the drive.
    EXPECT_EQ(page.ResultKeys(), (Keys{kObject16, kObject32, kReadOnly16}));
    EXPECT_EQ(page.WaitFor(kObject32), Failed(kSdoReplaced));
    EXPECT_TRUE(other.messages.empty());

    // Without an owner the mode takes anyone's request (into the same slot).
    bench.flags.exclusiveOwner.store(kNoWindow);
    EXPECT_EQ(Ask(other, kObject8), CCtrlLink::kRequestQueued);
}

// A hold gives back exactly the flags it found when it goes or is released early; a link that
// another window holds is not taken from it. (Left by an exception it goes the same way.)
TEST(LinkHold, GivesBackWhatItFoundOnEveryWayOut)
{
    constexpr HWND kOwner = 11, kOther = 12;
    // exclusiveMode, exclusiveOwner, pollingEnabled, retryOnSendFailure
    using Flags = std::tuple<int, HWND, int, int>;
    const auto read = [](const CLinkFlags& f) {
        return Flags{f.exclusiveMode.load(), f.exclusiveOwner.load(), f.pollingEnabled.load(),
                     f.retryOnSendFailure.load()};
    };
    const auto set = [](CLinkFlags& f, const Flags& v) {
        f.exclusiveMode.store(std::get<0>(v));
        f.exclusiveOwner.store(std::get<1>(v));
        f.pollingEnabled.store(std::get<2>(v));
        f.retryOnSendFailure.store(std::get<3>(v));
    };
    const unsigned quiet = CLinkHold::kPausePolling | CLinkHold::kNoRetries;
    // clang-format off
    const std::tuple<const char*, Flags, unsigned, Flags> cases[] = {
        // name, flags before, quiet, flags while held
        {"free link", {0, kNoWindow, 1, 1}, quiet, {1, kOwner, 0, 0}},
        {"polling kept", {0, kNoWindow, 1, 1}, CLinkHold::kKeepPolling, {1, kOwner, 1, 1}},
        {"polling already off", {0, kNoWindow, 0, 1}, CLinkHold::kNoRetries, {1, kOwner, 0, 0}},
        {"held by the owner already", {1, kOwner, 0, 0}, quiet, {1, kOwner, 0, 0}},
        {"held by another window", {1, kOther, 1, 1}, quiet, {1, kOther, 1, 1}},
    };
    // clang-format on
    for (const auto& [name, before, options, held] : cases) {
        SCOPED_TRACE(name);
        CLinkFlags flags;
        set(flags, before);
        {
            CLinkHold hold(flags, kOwner, options);
            EXPECT_EQ(hold.held(), std::get<1>(before) != kOther);
            EXPECT_EQ(read(flags), held);
        }
        EXPECT_EQ(read(flags), before);
        // Quiet ended early (a closing dialog), then given back early; the end adds nothing.
        {
            CLinkHold hold(flags, kOwner, options);
            hold.EndQuiet();
            EXPECT_EQ(std::get<2>(read(flags)), std::get<2>(before));
            EXPECT_EQ(std::get<3>(read(flags)), std::get<3>(before));
            hold.Release();
            EXPECT_EQ(read(flags), before);
            set(flags, {0, kOther, 1, 1}); // what someone did afterwards stays
        }
        EXPECT_EQ(read(flags), Flags(0, kOther, 1, 1));
    }
}

// Raw segment requests pass through one at a time; each segment's bytes are copied into the
// window's buffer while it handles the message.
TEST_F(SerialLink, RawSegmentsAreCopiedOut)
{
    bench.drive.SetStringValue(kTextObject, "Velmor VX-2000 drive");
    std::vector<std::pair<QByteArray, bool>> segments;
    page.onMessage = [&](const Message& m) {
        if (m.message != WM_SDO_SEGMENT)
            return;
        uint8_t data[7] = {};
        int length = 0;
        const bool last = bench.link->GetSegment(data, length);
        segments.emplace_back(QByteArray(reinterpret_cast<const char*>(data), length), last);
    };
    EXPECT_EQ(bench.AskAll(kRead, kTextObject).size(), 1u);
    for (uint8_t toggle : {kSegment0, kSegment1, kSegment0})
        EXPECT_EQ(bench.AskAll(toggle, kTextObject).size(), 1u);
    EXPECT_EQ(segments, (std::vector<std::pair<QByteArray, bool>>{
                            {"Velmor ", false}, {"VX-2000", false}, {" drive", true}}));
}

// Without a port every request fails the connection (checked first); a list of polled items
// holds each window and key once, up to its limit.
TEST(LinkWithoutPort, RequestsFailTheConnectionAndLoopItemsAreKeptOnce)
{
    CLinkFlags flags;
    CProbe mainFrame;
    CProbe page;
    flags.mainFrameWnd.store(mainFrame.hwnd());
    CCtrlLink link(flags, DataDir());
    uint32_t settings[7] = {};
    EXPECT_EQ(link.Open(settings), -1);
    flags.connected.store(1);
    link.Request(page.hwnd(), kRead, kObject16, 0);
    EXPECT_EQ(page.WaitFor(kObject16), Failed(kSdoNoAnswer));
    EXPECT_EQ(mainFrame.Count(WM_COMM_FAILED), 1);
    flags.connected.store(0); // no polling of the items below

    EXPECT_FALSE(link.EnableLoop(5)); // an empty list
    EXPECT_TRUE(link.AddLoop(5, kObject8, 1));
    EXPECT_FALSE(link.AddLoop(5, kObject8, 2));
    EXPECT_TRUE(link.AddLoop(6, kObject8, 1));
    EXPECT_TRUE(link.AddLoop(5, kObject16, 2));

    // A window that goes takes its items along; the others stay.
    EXPECT_TRUE(link.RemoveLoop(5));
    EXPECT_FALSE(link.RemoveLoop(5));
    EXPECT_EQ(link.LoopCount(), 1);
    EXPECT_TRUE(link.FindLoop(6, kObject8));
    EXPECT_TRUE(link.RemoveLoop(6));

    TestSupport::MessageRecorder messages;
    int added = 0;
    while (added < 100000 && link.AddLoop(1, uint32_t(added), 1))
        ++added;
    EXPECT_GT(added, 1000);
    EXPECT_LT(added, 100000);
    EXPECT_EQ(messages.Take(), QStringList{QStringLiteral("Loop: No Free Memory!!\n")});
    EXPECT_TRUE(link.FindLoop(1, uint32_t(added - 1)));
}

TEST_F(SerialLink, DriveThatGoesAwayFailsTheConnection)
{
    bench.serialServer.Stop();
    // Around a restart the drive may not take the request: while retry is off a refused send is
    // not a failed connection, but the window learns that nothing went out.
    bench.flags.retryOnSendFailure.store(0);
    EXPECT_EQ(bench.AskAll(kWrite2, kObject16, 0x3333), Outcomes{Failed(kSdoNotSent)});
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);

    bench.flags.retryOnSendFailure.store(1);
    EXPECT_EQ(bench.AskAll(kRead, kObject32), Outcomes{Failed(kSdoNoAnswer)});
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 1);
    // Closed: further requests are not queued, and say so.
    EXPECT_EQ(Ask(page, kObject8), CCtrlLink::kRequestNotConnected);
}

// Runs an action on this thread just before the next queued call is delivered here, that is
// while the sender of that call still waits for it to start.
class CBeforeDelivery : public QObject
{
public:
    explicit CBeforeDelivery(std::function<void()> action) : m_action(std::move(action))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~CBeforeDelivery() override { QCoreApplication::instance()->removeEventFilter(this); }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (m_action && event->type() == QEvent::MetaCall)
            std::exchange(m_action, nullptr)();
        return false;
    }

private:
    std::function<void()> m_action;
};

// The link goes away while its worker waits for a window whose thread has not taken the result
// yet: the worker withdraws the result instead of waiting.
TEST_F(SerialLink, DestructionReleasesAWorkerBlockedInASend)
{
    qint64 destroyMs = -1;
    CBeforeDelivery hook([&] {
        QElapsedTimer timer;
        timer.start();
        bench.link.reset();
        destroyMs = timer.elapsed();
    });
    Ask(page, kObject16);
    ASSERT_TRUE(Until([&] { return destroyMs >= 0; }));
    EXPECT_LT(destroyMs, kWaitMs);
    TestSupport::Pump(50);
    EXPECT_TRUE(page.messages.empty());
}

} // namespace
