// Every operation of the link over the pseudo-terminal and the virtual CAN bus: reads and writes
// of every width, aborts and segmented uploads, first against a drive that behaves, then against
// one whose replies go wrong: late, for another object, echoed, damaged, lost, a drive that goes
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

struct Case
{
    const char* name;
    Arm arm;
    bool writeTaken;             // the drive took a write before its reply went wrong
    bool failsConnection;        // the drive never answers: the main frame closes the connection
    bool writeConfirmed = false; // the write's own reply came through
};

// The faults that a retry or a read-back gets past, then ones it cannot. Each changes an outcome
// when the virtual drive really injects it (endless echoes count against the same limit as
// damage and silence).
const Case kCases[] = {
    {"no fault", [](CSimFaults&) {}, true, false, true},
    {"delay just under the timeout", [](CSimFaults& f) { f.DelayReplies(kUnder); }, true, false,
     true},
    {"delay just over the timeout", [](CSimFaults& f) { f.DelayReplies(kOver); }, true, false},
    {"reply for another object", [](CSimFaults& f) { f.MisaddressNext(1); }, true, false},
    {"echoing port", [](CSimFaults& f) { f.EchoNext(1); }, false, false},
    {"damaged reply", [](CSimFaults& f) { f.CorruptNext(1); }, true, false},
    {"lost request", [](CSimFaults& f) { f.DropNext(1); }, false, false},
    {"silent for a while", [](CSimFaults& f) { f.SilentFor(int(kReplyTimeoutMs) * 5 / 2); }, false,
     false},
    {"damaged replies throughout", [](CSimFaults& f) { f.CorruptNext(100); }, true, true},
    {"silent drive", [](CSimFaults& f) { f.SetSilent(true); }, false, true},
};

class Link : public ::testing::TestWithParam<Transport>
{
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(bench.Start()); }

    // Before a case: the drive's values as in kValues, the fault armed, no frame counted.
    void Reset(const Arm& arm = {})
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
        if (arm)
            arm(bench.drive.faults());
    }

    // After a case: a failure was reported as one (and the connection opened again), and no
    // write frame went out twice.
    void Check(const Case& c)
    {
        EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), c.failsConnection ? 1 : 0);
        EXPECT_LE(bench.drive.MaxWriteFrameCount(), 1);
        // Reopened whatever happened, so that one failing case does not fail the rest.
        if (bench.flags.connected.load() != 1) {
            ASSERT_TRUE(bench.Reconnect());
        }
    }

    CLinkBench bench{GetParam()};
};

// Reads of each width decode as SdoFrameTest checks; writes and aborts here.
TEST_P(Link, WritesOfEveryWidthAndAborts)
{
    Reset();
    // Writes are confirmed with what the drive holds, which is only as wide as the command.
    EXPECT_EQ(bench.AskAll(kWrite1, kObject8, 0x1A5), Outcomes{Value(0xA5)});
    EXPECT_EQ(bench.drive.Value(kObject8), 0xA5u);
    EXPECT_EQ(bench.AskAll(kWrite4, kObject32, 0x0BADCAFE), Outcomes{Value(0x0BADCAFE)});
    EXPECT_EQ(bench.drive.Value(kObject32), 0x0BADCAFEu);

    EXPECT_EQ(bench.AskAll(kRead, kMissingObject), Outcomes{Abort(CVirtualDrive::kAbortNoObject)});

    // A refused write is reported as refused, then the value the drive holds follows...
    EXPECT_EQ(bench.AskAll(kWrite2, kReadOnly16, 0x1111),
              (Outcomes{Abort(CVirtualDrive::kAbortReadOnly), Value(0x0237)}));
    // ...or the refusal of the read-back.
    bench.drive.faults().AbortNext(2, 0x08000021);
    EXPECT_EQ(bench.AskAll(kWrite4, kObject32, 7),
              (Outcomes{Abort(0x08000021), Abort(0x08000021)}));
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

// A write goes out once; when its confirmation is missing the window gets what the drive holds,
// which tells whether the write took effect (never the value just sent, taken on trust).
TEST_P(Link, ReadAndWriteUnderFaults)
{
    constexpr uint32_t kOld = 0xBEEF;
    constexpr uint32_t kNew = 0x4321;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Reset(c.arm);
        EXPECT_EQ(bench.AskAll(kRead, kObject16),
                  Outcomes{c.failsConnection ? Failed(kSdoNoAnswer) : Value(kOld)});
        Check(c);

        Reset(c.arm);
        const uint32_t held = c.writeTaken ? kNew : kOld;
        // An unconfirmed write says so before the read-back tells what the drive holds.
        const Outcome readBack = c.failsConnection ? Failed(kSdoNoAnswer) : Value(held);
        const Outcomes expected =
            c.writeConfirmed ? Outcomes{readBack} : Outcomes{Failed(kSdoUnconfirmed), readBack};
        EXPECT_EQ(bench.AskAll(kWrite2, kObject16, kNew), expected);
        EXPECT_EQ(bench.drive.Value(kObject16), held);
        Check(c);
    }
}

// The upload job: every segment on the worker, one message at the end, progress between.
TEST_P(Link, SegmentedUpload)
{
    // The drive marks its last segment, also a full one; an empty text still takes one segment.
    const std::pair<QByteArray, std::vector<uint32_t>> texts[] = {
        {"FW 1.06.03", {7}}, {"Velmor VX-2000", {7}}, {"", {}}};
    for (const auto& [text, progress] : texts) {
        SCOPED_TRACE(text.constData());
        bench.drive.SetStringValue(kTextObject, text);
        const UploadResult r = Upload(bench, kTextObject);
        EXPECT_EQ(r.last, Uploaded(text.size()));
        EXPECT_EQ(r.text, text);
        EXPECT_EQ(r.progress, progress);
    }

    // Faults armed on the first reply (the length) and again after the first segment.
    for (const Case& c : kCases) {
        if (c.failsConnection)
            continue;
        SCOPED_TRACE(c.name);
        Reset(c.arm);
        const UploadResult r = Upload(bench, kTextObject, c.arm);
        EXPECT_EQ(r.last, Uploaded(kText.size()));
        EXPECT_EQ(r.text, kText);
        Check(c);
    }

    // Cut off by the drive (its abort code), or ending short of the length announced (the
    // link's own finding): never a text.
    Reset();
    UploadResult r = Upload(bench, kTextObject, [](CSimFaults& f) { f.AbortNext(1, 0x08000024); });
    EXPECT_EQ(r.last, Abort(0x08000024));
    EXPECT_TRUE(r.text.isEmpty());
    Reset([](CSimFaults& f) { f.ShortenNextUpload(3); });
    r = Upload(bench, kTextObject);
    EXPECT_EQ(r.last, Failed(kSdoLengthMismatch));
    EXPECT_TRUE(r.text.isEmpty());
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

// A poll runs the exchange of a read (its faults are ReadAndWriteUnderFaults' cases): here only
// what is its own.
TEST_P(Link, PollingFailsTheConnectionAndResumesOnceReopened)
{
    ASSERT_TRUE(bench.link->AddLoop(bench.page.hwnd(), kObject16, 1));
    ASSERT_TRUE(bench.link->AddLoop(bench.page.hwnd(), kObject32, 2));
    // A drive that stops answering a poll fails the connection, and the poller hears of it.
    Reset([](CSimFaults& f) { f.SetSilent(true); });
    ASSERT_TRUE(Until([&] { return bench.page.Count(WM_SDO_FAILED) == 1; }));
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 1);

    // Back again after the connection is reopened.
    bench.drive.faults().Clear();
    bench.page.messages.clear();
    ASSERT_TRUE(bench.Reconnect());
    EXPECT_EQ(bench.page.WaitFor(kObject16), Value(0xBEEF));
    EXPECT_EQ(bench.page.WaitFor(kObject32), Value(0x12345678));
    ASSERT_TRUE(bench.link->RemoveLoop(bench.page.hwnd()));
}

#ifdef DRIVARA_SIM_CAN
INSTANTIATE_TEST_SUITE_P(Link, Link, ::testing::Values(Transport::Serial, Transport::Can),
                         [](const auto& p) {
                             return p.param == Transport::Serial ? "Serial" : "Can";
                         });
#else
INSTANTIATE_TEST_SUITE_P(Link, Link, ::testing::Values(Transport::Serial));
#endif

} // namespace
