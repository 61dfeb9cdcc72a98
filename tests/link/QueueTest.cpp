// Request order, link owners and polling, over a pseudo-terminal against the virtual drive.
#include "LinkTestSupport.h"

#include "app/Report.h"
#include "comm/SdoFrame.h"

#include <gtest/gtest.h>

using namespace LinkTest;

namespace {

class Queue : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(bench.Start()); }

    CCtrlLink& link() { return *bench.link; }

    // Keys of the results a probe got, in arrival order.
    static std::vector<uint32_t> ResultKeys(const CProbe& probe)
    {
        std::vector<uint32_t> keys;
        for (const Message& m : probe.messages) {
            if (m.message == WM_SDO_VALUE || m.message == WM_SDO_ABORT)
                keys.push_back(m.lParam);
        }
        return keys;
    }

    static bool HasResult(const CProbe& probe, uint32_t key)
    {
        return probe.Find(WM_SDO_VALUE, key) || probe.Find(WM_SDO_ABORT, key);
    }

    CProbe page;
    CProbe other;
    CLinkBench bench{Transport::Serial}; // last: the link goes before the windows it answers
};

// The three follow-up requests are made while the worker is blocked delivering the first
// result, so all three are queued before it looks again.
TEST_F(Queue, RequestsQueuedTogetherRunNewestFirstThenInOrder)
{
    bench.Connect();
    bool issued = false;
    page.onMessage = [&](const Message& m) {
        if (m.lParam == kObject8 && !issued) {
            issued = true;
            link().Request(page.hwnd(), SdoFrame::kRead, kObject16, 0);
            link().Request(page.hwnd(), SdoFrame::kRead, kObject32, 0);
            link().Request(page.hwnd(), SdoFrame::kRead, kReadOnly16, 0);
        }
    };
    link().Request(page.hwnd(), SdoFrame::kRead, kObject8, 0);
    ASSERT_TRUE(TestSupport::WaitFor([&] { return ResultKeys(page).size() >= 4; }, 10000));
    EXPECT_EQ(ResultKeys(page),
              (std::vector<uint32_t>{kObject8, kReadOnly16, kObject16, kObject32}));
}

TEST_F(Queue, ExclusiveOwnerReplacesItsPendingRequestAndOthersAreDropped)
{
    bench.Connect();
    bench.flags.exclusiveOwner.store(page.hwnd());
    bench.flags.exclusiveMode.store(1);

    EXPECT_EQ(link().Request(other.hwnd(), SdoFrame::kRead, kObject8, 0), 0);
    bool issued = false;
    page.onMessage = [&](const Message& m) {
        if (m.lParam == kObject16 && !issued) {
            issued = true;
            link().Request(page.hwnd(), SdoFrame::kRead, kObject32, 0);
            link().Request(other.hwnd(), SdoFrame::kRead, kObject8, 0);
            link().Request(page.hwnd(), SdoFrame::kRead, kReadOnly16, 0);
        }
    };
    link().Request(page.hwnd(), SdoFrame::kRead, kObject16, 0);
    ASSERT_TRUE(page.WaitFor(WM_SDO_VALUE, kReadOnly16));
    TestSupport::Pump(300);
    EXPECT_EQ(ResultKeys(page), (std::vector<uint32_t>{kObject16, kReadOnly16}));
    EXPECT_TRUE(other.messages.empty());

    // Without an owner the mode still replaces, whoever asks.
    bench.flags.exclusiveOwner.store(kNoWindow);
    page.messages.clear();
    issued = false;
    page.onMessage = [&](const Message& m) {
        if (m.lParam == kObject16 && !issued) {
            issued = true;
            link().Request(page.hwnd(), SdoFrame::kRead, kObject32, 0);
            link().Request(other.hwnd(), SdoFrame::kRead, kObject8, 0);
        }
    };
    link().Request(page.hwnd(), SdoFrame::kRead, kObject16, 0);
    ASSERT_TRUE(other.WaitFor(WM_SDO_VALUE, kObject8));
    TestSupport::Pump(300);
    EXPECT_FALSE(HasResult(page, kObject32));
}

TEST_F(Queue, DeferredRequestsWaitUntilOthersAreReleased)
{
    bench.Connect();
    CProbe scope;
    bench.flags.deferOwner.store(scope.hwnd());
    bench.flags.othersReleased.store(0);

    EXPECT_TRUE(link().IsDeferredQueueEmpty());
    EXPECT_EQ(link().Request(page.hwnd(), SdoFrame::kRead, kObject16, 0), 1);
    EXPECT_EQ(link().Request(page.hwnd(), SdoFrame::kRead, kObject32, 0), 1);
    EXPECT_FALSE(link().IsDeferredQueueEmpty());

    // The owner's own requests still run.
    EXPECT_EQ(link().Request(scope.hwnd(), SdoFrame::kRead, kObject8, 0), 0);
    ASSERT_TRUE(scope.WaitFor(WM_SDO_VALUE, kObject8));
    TestSupport::Pump(200);
    EXPECT_TRUE(page.messages.empty());

    bench.flags.othersReleased.store(1);
    ASSERT_TRUE(TestSupport::WaitFor([&] { return ResultKeys(page).size() >= 2; }, 10000));
    EXPECT_EQ(ResultKeys(page), (std::vector<uint32_t>{kObject16, kObject32}));
    EXPECT_TRUE(link().IsDeferredQueueEmpty());
}

TEST_F(Queue, RequestsWhileNotConnectedAreIgnored)
{
    EXPECT_EQ(link().Request(page.hwnd(), SdoFrame::kRead, kObject16, 0), 0);
    bench.flags.connected.store(2);
    EXPECT_EQ(link().Request(page.hwnd(), SdoFrame::kRead, kObject32, 0), 0);
    bench.Connect();
    link().Request(page.hwnd(), SdoFrame::kRead, kObject8, 0);
    ASSERT_TRUE(page.WaitFor(WM_SDO_VALUE, kObject8));
    TestSupport::Pump(200);
    EXPECT_EQ(ResultKeys(page), std::vector<uint32_t>{kObject8});
}

// A group 2 item is read only after a group 1 step that found something; a group 1 walk that
// runs off the end finds nothing once and starts again at the head.
TEST_F(Queue, PollingAlternatesGroupsWithTheirOwnCursors)
{
    bench.flags.pollingEnabled.store(0);
    // A disabled item is skipped like one of the other group.
    ASSERT_TRUE(link().AddLoop(other.hwnd(), kReadOnly16, 1));
    ASSERT_TRUE(link().DisableLoop(other.hwnd()));
    ASSERT_TRUE(link().AddLoop(page.hwnd(), kObject8, 1));
    ASSERT_TRUE(link().AddLoop(page.hwnd(), kObject16, 2));
    ASSERT_TRUE(link().AddLoop(page.hwnd(), kObject32, 2));
    bench.Connect();

    // Stopped from inside the eighth delivery, so nothing is in flight afterwards.
    page.onMessage = [&](const Message&) {
        if (ResultKeys(page).size() == 8)
            link().DisableLoop(page.hwnd());
    };
    bench.flags.pollingEnabled.store(1);
    ASSERT_TRUE(TestSupport::WaitFor([&] { return ResultKeys(page).size() >= 8; }, 10000));
    TestSupport::Pump(200);
    EXPECT_EQ(ResultKeys(page), (std::vector<uint32_t>{kObject8, kObject16, kObject8, kObject32,
                                                       kObject8, kObject16, kObject8, kObject32}));
    EXPECT_TRUE(other.messages.empty());

    // Only the other window's item is enabled now.
    page.onMessage = nullptr;
    ASSERT_TRUE(link().EnableLoop(other.hwnd()));
    ASSERT_TRUE(other.WaitFor(WM_SDO_VALUE, kReadOnly16));
    EXPECT_EQ(ResultKeys(page).size(), 8u);
}

TEST_F(Queue, RequestsGoBeforePolling)
{
    ASSERT_TRUE(link().AddLoop(other.hwnd(), kObject8, 1));
    bench.Connect();
    ASSERT_TRUE(other.WaitFor(WM_SDO_VALUE, kObject8));
    // Asked from inside a poll result: the pass ends and the request runs next.
    size_t pollsAtRequest = 0;
    other.onMessage = [&](const Message&) {
        if (pollsAtRequest == 0) {
            pollsAtRequest = ResultKeys(other).size();
            link().Request(page.hwnd(), SdoFrame::kRead, kObject32, 0);
        }
    };
    size_t pollsAtAnswer = 0;
    page.onMessage = [&](const Message&) { pollsAtAnswer = ResultKeys(other).size(); };
    ASSERT_TRUE(page.WaitFor(WM_SDO_VALUE, kObject32));
    EXPECT_GT(pollsAtRequest, 0u);
    EXPECT_EQ(pollsAtAnswer, pollsAtRequest);
}

TEST(LoopList, RegistersEachWindowAndKeyOnce)
{
    CLinkFlags flags;
    CCtrlLink link(flags, DataDir());
    EXPECT_FALSE(link.EnableLoop(5));
    EXPECT_FALSE(link.DisableLoop(5));
    EXPECT_FALSE(link.FindLoop(5, kObject8));

    EXPECT_TRUE(link.AddLoop(5, kObject8, 1));
    EXPECT_FALSE(link.AddLoop(5, kObject8, 2));
    EXPECT_TRUE(link.AddLoop(6, kObject8, 1));
    EXPECT_TRUE(link.FindLoop(5, kObject8));
    EXPECT_FALSE(link.FindLoop(5, kObject16));
    EXPECT_TRUE(link.DisableLoop(7)); // no item of that window: the list is not empty
}

TEST(LoopList, FullListRefusesWithTheMessage)
{
    CLinkFlags flags;
    CCtrlLink link(flags, DataDir());
    QStringList reported;
    const MessageSink previous =
        SetMessageSink([&](const QString& text, MessageKind) { reported << text; });
    int added = 0;
    while (added < 100000 && link.AddLoop(1, uint32_t(added), 1))
        ++added;
    SetMessageSink(previous);
    EXPECT_GT(added, 1000);
    EXPECT_LT(added, 100000);
    EXPECT_EQ(reported, QStringList{QStringLiteral("Loop: No Free Memory!!\n")});
    EXPECT_TRUE(link.FindLoop(1, uint32_t(added - 1)));
}

} // namespace
