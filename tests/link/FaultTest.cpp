// A drive that goes away, refused sends, closing during a transfer and shutting down while the
// worker waits for a window, over a pseudo-terminal against the virtual drive.
#include "LinkTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>

using namespace LinkTest;

namespace {

class Faults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bench.Start());
        bench.Connect();
    }

    CLinkBench bench{Transport::Serial};
};

TEST_F(Faults, DriveThatGoesAwayFailsTheConnection)
{
    bench.drive.SetValue(kObject16, 0x2222);
    ASSERT_EQ(bench.AskAll(kRead, kObject16), Outcomes{Value(0x2222)});
    bench.StopServer();
    // Around a restart the drive may not take the request: while retry is off a refused send is
    // not a failed connection, but the window learns that nothing went out.
    bench.flags.retryOnSendFailure.store(0);
    EXPECT_EQ(bench.AskAll(kWrite2, kObject16, 0x3333), Outcomes{Failed(kSdoNotSent)});
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);

    bench.flags.retryOnSendFailure.store(1);
    EXPECT_EQ(bench.AskAll(kRead, kObject32), Outcomes{Failed(kSdoNoAnswer)});
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 1);
    EXPECT_EQ(bench.flags.connected.load(), 2);
    // Closed: further requests are not queued, and say so.
    EXPECT_EQ(bench.link->Request(bench.page.hwnd(), kRead, kObject8, 0),
              CCtrlLink::kRequestNotConnected);
}

// Closing the connection does not wait behind the retries of a silent drive: the running
// transfer ends after the exchange in progress, as closed, and sends nothing more.
TEST_F(Faults, CloseEndsATransferBetweenExchanges)
{
    bench.drive.faults().SetSilent(true);
    const auto frame = SdoFrame::BuildSdo(kRead, kObject16, 0);
    bench.link->Request(bench.page.hwnd(), kRead, kObject16, 0);
    ASSERT_TRUE(
        TestSupport::WaitFor([&] { return bench.drive.FrameCount(frame.data()) >= 1; }, kWaitMs));
    bench.flags.connected.store(2);
    bench.link->Close();
    const auto result = bench.page.WaitFor(kObject16);
    ASSERT_TRUE(result);
    EXPECT_EQ(std::pair(result->message, result->wParam), Failed(kSdoClosed));
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
TEST_F(Faults, DestructionReleasesAWorkerBlockedInASend)
{
    qint64 destroyMs = -1;
    CBeforeDelivery hook([&] {
        QElapsedTimer timer;
        timer.start();
        bench.link.reset();
        destroyMs = timer.elapsed();
    });
    bench.link->Request(bench.page.hwnd(), kRead, kObject16, 0);
    ASSERT_TRUE(TestSupport::WaitFor([&] { return destroyMs >= 0; }, kWaitMs));
    EXPECT_LT(destroyMs, kWaitMs);
    TestSupport::Pump(50);
    EXPECT_TRUE(bench.page.messages.empty());
}

// The closing main frame sets stopThreads and no longer handles messages.
TEST_F(Faults, StopThreadsEndsAWorkerWhoseWindowNoLongerHandlesMessages)
{
    const int before = bench.drive.RequestCount();
    bench.link->Request(bench.page.hwnd(), kRead, kObject16, 0);
    // From here on this thread processes no events, so the result cannot be delivered.
    QElapsedTimer timer;
    timer.start();
    while (bench.drive.RequestCount() == before && timer.elapsed() < kWaitMs)
        QThread::msleep(1);
    ASSERT_GT(bench.drive.RequestCount(), before);
    bench.flags.stopThreads.store(1);
    timer.restart();
    bench.link.reset();
    EXPECT_LT(timer.elapsed(), kWaitMs);
    EXPECT_TRUE(bench.page.messages.empty());
}

TEST(LinkWithoutPort, EveryRequestFailsTheConnection)
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
    ASSERT_TRUE(mainFrame.WaitFor(0, WM_COMM_FAILED));
    const auto result = page.WaitFor(kObject16);
    ASSERT_TRUE(result);
    EXPECT_EQ(std::pair(result->message, result->wParam), Failed(kSdoNoAnswer));
    EXPECT_EQ(link.GetCanVersion(nullptr), 0);
}

} // namespace
