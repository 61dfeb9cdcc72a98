#include "TestSupport.h"

#include "comm/BlockingCall.h"
#include "comm/MessageLayer.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// A message, its two parameters and the thread it was handled on.
using Recorded = std::tuple<unsigned, uint32_t, uint32_t, QThread*>;

class Probe : public CMessageReceiver
{
public:
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override
    {
        received.push_back({message, wParam, lParam, QThread::currentThread()});
    }
    std::vector<Recorded> received;
};

// Waits, without running this thread's event loop, until that many senders block on it.
bool SenderWaits(int count)
{
    QElapsedTimer timer;
    timer.start();
    while (CMessageLayer::Instance().WaitingSenders() != count) {
        if (timer.elapsed() > 5000)
            return false;
        std::this_thread::yield();
    }
    return true;
}

class MessageLayerTest : public ::testing::Test
{
protected:
    void TearDown() override { CMessageLayer::Instance().ResetForTests(); }
};

} // namespace

TEST_F(MessageLayerTest, SendFromWorkerBlocksUntilTheReceiverThreadHandledIt)
{
    Probe probe;
    CWindowHandle handle(&probe);
    std::atomic<bool> sent{false}, handled{false};
    std::thread worker([&] {
        handled = SendMessage(handle, WM_SDO_VALUE, 0x1234, 0x604100);
        sent = true;
        for (uint32_t i = 0; i < 50; ++i)
            SendMessage(handle, WM_SDO_VALUE, i, 1);
    });
    // Nothing is delivered while the receiver's thread does not process events.
    ASSERT_TRUE(SenderWaits(1));
    EXPECT_FALSE(sent.load());
    EXPECT_TRUE(probe.received.empty());
    ASSERT_TRUE(TestSupport::WaitFor([&] { return probe.received.size() == 51; }));
    worker.join();
    EXPECT_TRUE(handled.load());
    EXPECT_EQ(probe.received[0],
              Recorded(WM_SDO_VALUE, 0x1234u, 0x604100u, QThread::currentThread()));
    for (uint32_t i = 0; i < 50; ++i) // in the order sent
        EXPECT_EQ(std::get<1>(probe.received[i + 1]), i);
    // On the receiver's own thread the call happens at once.
    EXPECT_TRUE(SendMessage(handle, WM_SDO_ABORT, 7, 2));
    EXPECT_EQ(std::get<0>(probe.received.back()), WM_SDO_ABORT);
}

// A sender blocked on the receiver's thread is released when the window closes, and without
// that thread running events (a GUI thread that is closing) by its cancel flag or shutdown.
// Nothing is delivered.
TEST_F(MessageLayerTest, BlockedSenderIsReleasedAndNothingDelivered)
{
    enum Release
    {
        CloseWindow,
        Cancel,
        Shutdown
    };
    for (const Release release : {CloseWindow, Cancel, Shutdown}) {
        SCOPED_TRACE(int(release));
        CMessageLayer::Instance().ResetForTests();
        auto probe = std::make_unique<Probe>();
        auto handle = std::make_unique<CWindowHandle>(probe.get());
        const HWND hwnd = *handle;
        std::atomic<int> cancel{0};
        std::atomic<bool> returned{false}, result{true};
        std::thread worker([&] {
            result = SendMessage(hwnd, WM_SDO_VALUE, 1, 1, &cancel);
            returned = true;
        });
        ASSERT_TRUE(SenderWaits(1));
        EXPECT_FALSE(returned.load());
        if (release == CloseWindow) { // the queued message is dropped when events run
            handle.reset();
            probe.reset();
            ASSERT_TRUE(TestSupport::WaitFor([&] { return returned.load(); }));
        } else if (release == Cancel) {
            cancel = 1;
        } else {
            CMessageLayer::Instance().Shutdown();
        }
        worker.join();
        EXPECT_FALSE(result.load());
        EXPECT_EQ(CMessageLayer::Instance().IsWindow(hwnd), release != CloseWindow);
        // A closed window and a layer shut down take nothing more, not even what was queued.
        EXPECT_TRUE(release == Cancel || !SendMessage(hwnd, WM_SDO_VALUE, 3, 3));
        TestSupport::Pump(30);
        EXPECT_TRUE(!probe || probe->received.empty());
    }
    EXPECT_FALSE(SendMessage(kNoWindow, WM_SDO_VALUE, 1, 1));
}

TEST_F(MessageLayerTest, ReceiverOnAnotherThreadGetsItsMessagesThere)
{
    QThread thread;
    thread.start();
    Probe probe;
    HWND hwnd = kNoWindow;
    QObject context;
    context.moveToThread(&thread);
    ASSERT_EQ(
        BlockingCall::Run(&context, [&] { hwnd = CMessageLayer::Instance().Register(&probe); }),
        BlockingCall::Result::Ran);
    EXPECT_TRUE(SendMessage(hwnd, WM_PAGE_CONTROL, 2, 0));
    ASSERT_EQ(probe.received.size(), 1u);
    EXPECT_EQ(std::get<3>(probe.received[0]), &thread);
    BlockingCall::Run(&context, [&] { CMessageLayer::Instance().Unregister(hwnd); });
    thread.quit();
    thread.wait();
}
