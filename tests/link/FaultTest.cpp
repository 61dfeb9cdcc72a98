// Damaged replies, a drive that goes away, refused sends and shutting down while the worker
// waits for a window, over a pseudo-terminal against the virtual drive.
#include "LinkTestSupport.h"

#include "comm/SdoFrame.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>

#include <functional>
#include <utility>

using namespace LinkTest;

namespace {

// Generous bound for a worker that must come free; it only guards against a hang.
constexpr int kReleaseBoundMs = 10000;

class Faults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bench.Start());
        bench.Connect();
    }

    std::optional<Message> Ask(uint8_t command, uint32_t key, uint32_t value = 0)
    {
        page.messages.clear();
        bench.link->Request(page.hwnd(), command, key, value);
        return page.WaitForResult(key);
    }

    bool HasResult(uint32_t key) const
    {
        return page.Find(WM_SDO_VALUE, key) || page.Find(WM_SDO_ABORT, key);
    }

    CProbe page;
    CLinkBench bench{Transport::Serial}; // last: the link goes before the windows it answers
};

TEST_F(Faults, DamagedOrMissingRepliesAreRetriedUpToTheFourth)
{
    bench.drive.SetValue(kObject16, 0x1234);
    bench.drive.faults().CorruptNext(3);
    auto result = Ask(SdoFrame::kRead, kObject16);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->message, WM_SDO_VALUE);
    EXPECT_EQ(result->wParam, 0x1234u);

    bench.drive.faults().DropNext(3);
    result = Ask(SdoFrame::kWrite2, kObject16, 0x4321);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, 0x4321u);
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);

    bench.drive.faults().CorruptNext(4);
    bench.link->Request(page.hwnd(), SdoFrame::kRead, kObject32, 0);
    ASSERT_TRUE(bench.mainFrame.WaitFor(WM_COMM_FAILED, 0, kReleaseBoundMs));
    EXPECT_FALSE(HasResult(kObject32));
    EXPECT_EQ(bench.flags.connected.load(), 2);
}

TEST_F(Faults, DriveThatGoesAwayFailsTheConnection)
{
    ASSERT_TRUE(Ask(SdoFrame::kRead, kObject16));
    bench.StopServer();
    bench.link->Request(page.hwnd(), SdoFrame::kRead, kObject32, 0);
    ASSERT_TRUE(bench.mainFrame.WaitFor(WM_COMM_FAILED, 0, kReleaseBoundMs));
    EXPECT_FALSE(HasResult(kObject32));
    EXPECT_EQ(bench.flags.connected.load(), 2);
    // Closed: further requests are ignored.
    EXPECT_EQ(bench.link->Request(page.hwnd(), SdoFrame::kRead, kObject8, 0), 0);
    TestSupport::Pump(200);
    EXPECT_FALSE(HasResult(kObject8));
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 1);
}

// Around a restart the drive may not take the request: the refused send is not an error then,
// and the window gets the (empty) reply instead of a stale one.
TEST_F(Faults, RefusedSendIsAcceptedWhileRetryIsOff)
{
    bench.drive.SetValue(kObject16, 0x2222);
    ASSERT_TRUE(Ask(SdoFrame::kRead, kObject16));
    bench.StopServer();
    bench.flags.retryOnSendFailure.store(0);
    const auto result = Ask(SdoFrame::kWrite2, kObject16, 0x3333);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->message, WM_SDO_VALUE);
    EXPECT_EQ(result->wParam, 0u);
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);

    bench.flags.retryOnSendFailure.store(1);
    bench.link->Request(page.hwnd(), SdoFrame::kRead, kObject32, 0);
    ASSERT_TRUE(bench.mainFrame.WaitFor(WM_COMM_FAILED, 0, kReleaseBoundMs));
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
    bench.link->Request(page.hwnd(), SdoFrame::kRead, kObject16, 0);
    ASSERT_TRUE(TestSupport::WaitFor([&] { return destroyMs >= 0; }, kReleaseBoundMs));
    EXPECT_LT(destroyMs, kReleaseBoundMs);
    TestSupport::Pump(50);
    EXPECT_TRUE(page.messages.empty());
}

// The closing main frame sets stopThreads and no longer handles messages.
TEST_F(Faults, StopThreadsEndsAWorkerWhoseWindowNoLongerHandlesMessages)
{
    const int before = bench.drive.RequestCount();
    bench.link->Request(page.hwnd(), SdoFrame::kRead, kObject16, 0);
    // From here on this thread processes no events, so the result cannot be delivered.
    QElapsedTimer timer;
    timer.start();
    while (bench.drive.RequestCount() == before && timer.elapsed() < kReleaseBoundMs)
        QThread::msleep(1);
    ASSERT_GT(bench.drive.RequestCount(), before);
    bench.flags.stopThreads.store(1);
    timer.restart();
    bench.link.reset();
    EXPECT_LT(timer.elapsed(), kReleaseBoundMs);
    EXPECT_TRUE(page.messages.empty());
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
    link.Request(page.hwnd(), SdoFrame::kRead, kObject16, 0);
    ASSERT_TRUE(mainFrame.WaitFor(WM_COMM_FAILED, 0));
    TestSupport::Pump(100);
    EXPECT_TRUE(page.messages.empty());
    EXPECT_EQ(link.GetCanVersion(nullptr), 0);
}

} // namespace
