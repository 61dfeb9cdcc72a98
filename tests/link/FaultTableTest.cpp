// Every operation of the link against a drive whose replies go wrong, over the pseudo-terminal
// and the virtual CAN bus: late, for another object, echoed, damaged, lost, a drive that goes
// silent and comes back, uploads cut off. Whatever happens, no value is delivered for another
// object, no write frame reaches the drive twice, and every failure reaches the requester.
#include "LinkTestSupport.h"

#include <map>

using namespace LinkTest;

namespace {

constexpr int kUnder = int(kReplyTimeoutMs) - 20; // a reply delay just inside the timeout
constexpr int kOver = int(kReplyTimeoutMs) + 30;  // and just past it
const QByteArray kText = "Velmor VX-2000 drive";  // three segments: 7, 7, 6

// What the drive holds before each case: distinct, so a value of another object shows.
const std::map<uint32_t, uint32_t> kValues = {
    {kObject8, 0x5A}, {kObject16, 0xBEEF}, {kObject32, 0x12345678}, {kReadOnly16, 0x0237}};

using Arm = std::function<void(CSimFaults&)>;

struct Case
{
    const char* name;
    Arm arm;
    bool failsConnection; // the drive never answers: the main frame closes the connection
};

// The faults that a retry or a read-back gets past, and the ones it cannot.
const Case kRecoverable[] = {
    {"no fault", [](CSimFaults&) {}, false},
    {"delay just under the timeout", [](CSimFaults& f) { f.DelayReplies(kUnder); }, false},
    {"delay just over the timeout", [](CSimFaults& f) { f.DelayReplies(kOver); }, false},
    {"reply for another object", [](CSimFaults& f) { f.MisaddressNext(1); }, false},
    {"echoing port", [](CSimFaults& f) { f.EchoNext(1); }, false},
    {"damaged reply", [](CSimFaults& f) { f.CorruptNext(1); }, false},
    {"dropped reply", [](CSimFaults& f) { f.DropNext(1); }, false},
    {"silent for a while", [](CSimFaults& f) { f.SilentFor(int(kReplyTimeoutMs) * 5 / 2); }, false},
};
const Case kFatal[] = {
    {"echoing port throughout", [](CSimFaults& f) { f.EchoNext(100); }, true},
    {"damaged replies throughout", [](CSimFaults& f) { f.CorruptNext(100); }, true},
    {"silent drive", [](CSimFaults& f) { f.SetSilent(true); }, true},
};

class FaultTable : public ::testing::TestWithParam<Transport>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bench.Start());
        bench.Connect();
    }

    // Before a case: the drive's values as in kValues, no fault planned, no frame counted.
    void Reset()
    {
        bench.drive.faults().Clear();
        // Replies still on their way from the last case (answers to repeated requests of a late
        // drive) come in now, not during the next one: a segment carries no object to tell it
        // apart, only its toggle bit and length.
        TestSupport::Pump(2 * kOver);
        for (const auto& [key, value] : kValues)
            bench.drive.SetValue(key, value);
        bench.drive.SetStringValue(kTextObject, kText);
        bench.drive.ResetFrameCounts();
        bench.mainFrame.messages.clear();
        bench.page.messages.clear();
    }

    // After a case: a failure was reported as one (and the connection opened again), and no
    // write frame went out twice.
    void Check(const Case& c)
    {
        EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), c.failsConnection ? 1 : 0);
        EXPECT_LE(bench.drive.MaxWriteFrameCount(), 1);
        bench.drive.faults().Clear();
        // Reopened whatever happened, so that one failing case does not fail the rest.
        if (bench.flags.connected.load() != 1) {
            ASSERT_TRUE(bench.Reconnect());
        }
    }

    // Every value the page got belongs to the object it names.
    void ExpectOwnValues(const std::map<uint32_t, uint32_t>& values)
    {
        for (const Message& m : bench.page.messages) {
            if (m.message == WM_SDO_VALUE && values.count(m.lParam)) {
                EXPECT_EQ(m.wParam, values.at(m.lParam)) << std::hex << "key " << m.lParam;
            }
        }
    }

    CLinkBench bench{GetParam()};
};

TEST_P(FaultTable, Read)
{
    for (const Case& c : kRecoverable) {
        SCOPED_TRACE(c.name);
        Reset();
        c.arm(bench.drive.faults());
        EXPECT_EQ(bench.AskAll(kRead, kObject16), Outcomes{Value(0xBEEF)});
        Check(c);
    }
    for (const Case& c : kFatal) {
        SCOPED_TRACE(c.name);
        Reset();
        c.arm(bench.drive.faults());
        EXPECT_EQ(bench.AskAll(kRead, kObject16), Outcomes{Failed(kSdoNoAnswer)});
        Check(c);
    }
}

// A write goes out once; when its confirmation is missing the window gets what the drive holds,
// which tells whether the write took effect (never the value just sent, taken on trust).
TEST_P(FaultTable, Write)
{
    constexpr uint32_t kOld = 0xBEEF;
    constexpr uint32_t kNew = 0x4321;
    // Whether the drive took the write before its reply went wrong.
    const std::map<std::string, uint32_t> held = {
        {"echoing port", kOld}, {"dropped reply", kOld}, {"silent for a while", kOld}};
    for (const Case& c : kRecoverable) {
        SCOPED_TRACE(c.name);
        Reset();
        c.arm(bench.drive.faults());
        const uint32_t expected = held.count(c.name) ? held.at(c.name) : kNew;
        EXPECT_EQ(bench.AskAll(kWrite2, kObject16, kNew), Outcomes{Value(expected)});
        EXPECT_EQ(bench.drive.Value(kObject16), expected);
        const auto frame = SdoFrame::BuildSdo(kWrite2, kObject16, kNew);
        EXPECT_EQ(bench.drive.FrameCount(frame.data()), 1);
        Check(c);
    }
    for (const Case& c : kFatal) {
        SCOPED_TRACE(c.name);
        Reset();
        c.arm(bench.drive.faults());
        EXPECT_EQ(bench.AskAll(kWrite2, kObject16, kNew), Outcomes{Failed(kSdoNoAnswer)});
        Check(c);
    }
}

TEST_P(FaultTable, SegmentedUpload)
{
    // Faults armed on the first reply (the length) and again after the first segment.
    for (const Case& c : kRecoverable) {
        SCOPED_TRACE(c.name);
        Reset();
        c.arm(bench.drive.faults());
        QByteArray text;
        std::vector<int> lengths;
        bool complete = false;
        const Message last = Upload(bench, kTextObject, text, lengths, complete, [&](size_t n) {
            if (n == 1)
                c.arm(bench.drive.faults());
        });
        EXPECT_EQ(last.message, WM_SDO_SEGMENT);
        EXPECT_EQ(text, kText);
        EXPECT_TRUE(complete);
        Check(c);
    }

    // Cut off by the drive, or shorter than announced: an error with a code, never a text.
    const struct
    {
        const char* name;
        Arm atStart;
        Arm afterFirstSegment;
        uint32_t code;
    } cutOff[] = {
        {"abort after the first segment", [](CSimFaults&) {},
         [](CSimFaults& f) { f.AbortNext(1, 0x08000024); }, 0x08000024},
        {"fewer bytes than announced", [](CSimFaults& f) { f.ShortenNextUpload(3); },
         [](CSimFaults&) {}, 0x06070013},
    };
    for (const auto& c : cutOff) {
        SCOPED_TRACE(c.name);
        Reset();
        c.atStart(bench.drive.faults());
        QByteArray text;
        std::vector<int> lengths;
        bool complete = true;
        const Message last = Upload(bench, kTextObject, text, lengths, complete, [&](size_t n) {
            if (n == 1)
                c.afterFirstSegment(bench.drive.faults());
        });
        EXPECT_EQ(last.message, WM_SDO_ABORT);
        EXPECT_EQ(last.wParam, c.code);
        EXPECT_FALSE(complete);
        EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
    }
}

// The reported fault: reads asked one after another of a drive that answers late each get the
// value of their own object, never the previous object's late answer.
TEST_P(FaultTable, ReadsInARowAgainstALateDrive)
{
    const std::vector<uint32_t> keys = {kObject8, kObject16, kObject32, kReadOnly16, kObject16};
    for (const int delay : {kUnder, kOver}) {
        SCOPED_TRACE(delay);
        Reset();
        bench.drive.faults().DelayReplies(delay);
        size_t next = 1;
        bench.page.onMessage = [&](const Message&) {
            if (next < keys.size())
                bench.link->Request(bench.page.hwnd(), kRead, keys[next++], 0);
        };
        bench.link->Request(bench.page.hwnd(), kRead, keys[0], 0);
        ASSERT_TRUE(TestSupport::WaitFor(
            [&] { return bench.page.ResultKeys().size() >= keys.size(); }, kWaitMs));
        bench.page.onMessage = nullptr;
        EXPECT_EQ(bench.page.ResultKeys(), keys);
        EXPECT_EQ(bench.page.Count(WM_SDO_VALUE), long(keys.size()));
        ExpectOwnValues(kValues);
        EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
    }
}

TEST_P(FaultTable, Polling)
{
    Reset();
    ASSERT_TRUE(bench.link->AddLoop(bench.page.hwnd(), kObject16, 1));
    ASSERT_TRUE(bench.link->AddLoop(bench.page.hwnd(), kObject32, 2));
    for (const Case& c : kRecoverable) {
        SCOPED_TRACE(c.name);
        Reset();
        c.arm(bench.drive.faults());
        ASSERT_TRUE(
            TestSupport::WaitFor([&] { return bench.page.Count(WM_SDO_VALUE) >= 4; }, kWaitMs));
        ExpectOwnValues(kValues);
        Check(c);
    }

    // A drive that stops answering a poll fails the connection, and the poller hears of it.
    CSimFaults& faults = bench.drive.faults();
    Reset();
    faults.SetSilent(true);
    ASSERT_TRUE(bench.mainFrame.WaitFor(0, WM_COMM_FAILED));
    ASSERT_TRUE(
        TestSupport::WaitFor([&] { return bench.page.Count(WM_SDO_FAILED) == 1; }, kWaitMs));
    EXPECT_EQ(bench.flags.connected.load(), 2);

    // Back again after the connection is reopened.
    faults.Clear();
    bench.page.messages.clear();
    ASSERT_TRUE(bench.Reconnect());
    ASSERT_TRUE(TestSupport::WaitFor([&] { return bench.page.Count(WM_SDO_VALUE) >= 2; }, kWaitMs));
    ExpectOwnValues(kValues);
    ASSERT_TRUE(bench.link->RemoveLoop(bench.page.hwnd()));
}

std::string TransportName(const ::testing::TestParamInfo<Transport>& param)
{
    return param.param == Transport::Serial ? "Serial" : "Can";
}

#ifdef DRIVARA_SIM_CAN
INSTANTIATE_TEST_SUITE_P(Link, FaultTable, ::testing::Values(Transport::Serial, Transport::Can),
                         TransportName);
#else
INSTANTIATE_TEST_SUITE_P(Link, FaultTable, ::testing::Values(Transport::Serial), TransportName);
#endif

} // namespace
