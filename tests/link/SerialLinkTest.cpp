// Request order, link owners and polling; a drive that goes away, refused sends, closing during
// a transfer and shutting down while the worker waits for a window: over a pseudo-terminal
// against the virtual drive.
#include "LinkTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>

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
    bench.flags.exclusiveOwner.store(page.hwnd());
    bench.flags.exclusiveMode.store(1);
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

TEST_F(SerialLink, DeferredRequestsWaitUntilOthersAreReleased)
{
    CProbe scope;
    bench.flags.deferOwner.store(scope.hwnd());
    bench.flags.othersReleased.store(0);
    EXPECT_EQ(Ask(page, kObject16), CCtrlLink::kRequestDeferred);
    EXPECT_EQ(Ask(page, kObject32), CCtrlLink::kRequestDeferred);

    // The owner's own requests still run; the others stay held.
    EXPECT_EQ(Ask(scope, kObject8), CCtrlLink::kRequestQueued);
    ASSERT_TRUE(scope.WaitFor(kObject8));
    EXPECT_FALSE(bench.link->IsDeferredQueueEmpty());

    bench.flags.othersReleased.store(1);
    ASSERT_TRUE(Until([&] { return page.ResultKeys().size() >= 2; }));
    EXPECT_EQ(page.ResultKeys(), (Keys{kObject16, kObject32}));
}

// A group 2 item is read only after a group 1 step that found something; a group 1 walk that
// runs off the end finds nothing once and starts again at the head.
TEST_F(SerialLink, PollingAlternatesGroupsWithTheirOwnCursors)
{
    bench.flags.pollingEnabled.store(0);
    // A disabled item is skipped like one of the other group.
    ASSERT_TRUE(bench.link->AddLoop(other.hwnd(), kReadOnly16, 1));
    ASSERT_TRUE(bench.link->DisableLoop(other.hwnd()));
    ASSERT_TRUE(bench.link->AddLoop(page.hwnd(), kObject8, 1));
    ASSERT_TRUE(bench.link->AddLoop(page.hwnd(), kObject16, 2));
    ASSERT_TRUE(bench.link->AddLoop(page.hwnd(), kObject32, 2));

    // Stopped from inside the eighth delivery, so nothing is in flight afterwards.
    page.onMessage = [&](const Message&) {
        if (page.ResultKeys().size() == 8)
            bench.link->DisableLoop(page.hwnd());
    };
    bench.flags.pollingEnabled.store(1);
    ASSERT_TRUE(Until([&] { return page.ResultKeys().size() >= 8; }));
    EXPECT_EQ(page.ResultKeys(), (Keys{kObject8, kObject16, kObject8, kObject32, kObject8,
                                       kObject16, kObject8, kObject32}));
    EXPECT_TRUE(other.messages.empty());

    // Only the other window's item is enabled now: its answer comes after nothing more of page's.
    page.onMessage = nullptr;
    ASSERT_TRUE(bench.link->EnableLoop(other.hwnd()));
    ASSERT_TRUE(other.WaitFor(kReadOnly16));
    EXPECT_EQ(page.ResultKeys().size(), 8u);
}

// A list holding only writable (group 2) objects is polled too, one item a step.
TEST_F(SerialLink, PollingReachesAListOfGroupTwoAlone)
{
    ASSERT_TRUE(bench.link->AddLoop(page.hwnd(), kObject16, 2));
    ASSERT_TRUE(bench.link->AddLoop(page.hwnd(), kObject32, 2));
    page.onMessage = [&](const Message&) {
        if (page.ResultKeys().size() == 4)
            bench.link->DisableLoop(page.hwnd());
    };
    ASSERT_TRUE(Until([&] { return page.ResultKeys().size() >= 4; }));
    EXPECT_EQ(page.ResultKeys(), (Keys{kObject16, kObject32, kObject16, kObject32}));
}

TEST_F(SerialLink, RequestsGoBeforePolling)
{
    ASSERT_TRUE(bench.link->AddLoop(other.hwnd(), kObject8, 1));
    ASSERT_TRUE(other.WaitFor(kObject8));
    // Asked from inside a poll result: the pass ends and the request runs next.
    size_t pollsAtRequest = 0;
    size_t pollsAtAnswer = 0;
    other.OnFirstResult(kObject8, [&] {
        pollsAtRequest = other.ResultKeys().size();
        Ask(page, kObject32);
    });
    page.onMessage = [&](const Message&) { pollsAtAnswer = other.ResultKeys().size(); };
    ASSERT_TRUE(page.WaitFor(kObject32));
    EXPECT_GT(pollsAtRequest, 0u);
    EXPECT_EQ(pollsAtAnswer, pollsAtRequest);
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

// Closing the connection does not wait behind the retries of a silent drive: the running
// transfer ends after the exchange in progress, as closed, and sends nothing more.
TEST_F(SerialLink, CloseEndsATransferBetweenExchanges)
{
    bench.drive.faults().SetSilent(true);
    const auto frame = SdoFrame::BuildSdo(kRead, kObject16, 0);
    Ask(page, kObject16);
    ASSERT_TRUE(Until([&] { return bench.drive.FrameCount(frame.data()) >= 1; }));
    bench.flags.connected.store(2);
    bench.link->Close();
    EXPECT_EQ(page.WaitFor(kObject16), Failed(kSdoClosed));
    EXPECT_LE(bench.drive.FrameCount(frame.data()), 2);
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
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
