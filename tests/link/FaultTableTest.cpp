// Every operation of the link over the pseudo-terminal and the virtual CAN bus: reads and writes
// of every width, aborts and segmented uploads, first against a drive that behaves, then against
// one whose replies go wrong: late, for another object, echoed, damaged, lost, a drive that goes
// silent and comes back, uploads cut off. Whatever happens, no value is delivered for another
// object, no write frame reaches the drive twice, and every failure reaches the requester.
#include "LinkTestSupport.h"
#include "comm/AbortCodes.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <tuple>

using namespace LinkTest;

namespace {

constexpr int kOver = int(kReplyTimeoutMs) + 30; // a reply delay just past the timeout
const QByteArray kText = "Velmor VX-2000 drive"; // three segments: 7, 7, 6

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
// when the virtual drive really injects it. One reply late, for another object, echoed, damaged
// or lost is FaultMatrixTest's, through drivactl over both transports; here every reply late, so
// that a retry takes the late reply to the request before it.
const Case kCases[] = {
    {"no fault", [](CSimFaults&) {}, true, false, true},
    {"delay just over the timeout", [](CSimFaults& f) { f.DelayReplies(kOver); }, true, false},
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

    // A refused write is reported as refused, then the value the drive holds follows. (A refused
    // read, and a refused write whose read-back is refused too, are FaultMatrixTest's "aborted"
    // cells.)
    EXPECT_EQ(bench.AskAll(kWrite2, kReadOnly16, 0x1111),
              (Outcomes{Abort(CVirtualDrive::kAbortReadOnly), Value(0x0237)}));
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

    // An upload cut off by the drive or ending short of the length announced is FaultMatrixTest's
    // ("aborted" and "last segment too early" of upload and info, over both transports).
}

// An ordered batch of writes: each goes out once, the batch stops at the first write that the
// drive refuses or the link cannot vouch for, and one message says how far it got and why.
TEST_P(Link, WriteBatchStopsAtTheFirstRefusalOrFailure)
{
    constexpr uint32_t kTag = 77;
    // total, confirmed, the write that ended it, refused, abort code, failure
    using Result = std::tuple<int, int, uint32_t, bool, uint32_t, uint32_t>;
    const std::vector<SdoWrite> three = {
        {kObject8, kWrite1, 0x11}, {kObject16, kWrite2, 0x2222}, {kObject32, kWrite4, 0x33333333}};
    const std::vector<SdoWrite> refusedSecond = {three[0], {kReadOnly16, kWrite2, 1}, three[2]};
    struct BatchCase
    {
        const char* name;
        Arm arm;
        std::vector<SdoWrite> writes;
        Result expected;
        bool failsConnection;
    };
    // clang-format off
    const BatchCase cases[] = {
        {"all confirmed", {}, three, {3, 3, 0, false, 0, 0}, false},
        {"refused in the middle", {}, refusedSecond,
         {3, 1, kReadOnly16, true, CVirtualDrive::kAbortReadOnly, 0}, false},
        {"first write lost", [](CSimFaults& f) { f.DropNext(1); }, three,
         {3, 0, kObject8, false, 0, kSdoUnconfirmed}, false},
        {"silent drive", [](CSimFaults& f) { f.SetSilent(true); }, three,
         {3, 0, kObject8, false, 0, kSdoNoAnswer}, true},
        {"empty", {}, {}, {0, 0, 0, false, 0, 0}, false},
    };
    // clang-format on
    for (const BatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        Reset(c.arm);
        std::optional<Result> got;
        bench.page.onMessage = [&](const Message& m) {
            SdoWriteResult r;
            if (m.message == WM_SDO_WRITTEN && m.lParam == kTag &&
                bench.link->TakeWrites(bench.page.hwnd(), kTag, r)) {
                EXPECT_EQ(m.wParam, uint32_t(r.confirmed));
                got = Result{r.total, r.confirmed, r.key, r.refused, r.abortCode, r.failure};
            }
        };
        ASSERT_EQ(bench.link->RequestWrites(bench.page.hwnd(), c.writes, kTag),
                  CCtrlLink::kRequestQueued);
        ASSERT_TRUE(Until([&] { return got.has_value() && !bench.link->HasPendingRequests(); }));
        bench.page.onMessage = nullptr;
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(bench.page.messages.size(), 1u); // nothing per write
        // The confirmed writes took effect; those after the one that ended it never went out.
        const int confirmed = std::get<1>(c.expected);
        for (int i = 0; i < int(c.writes.size()); ++i) {
            const SdoWrite& w = c.writes[size_t(i)];
            if (i < confirmed) {
                EXPECT_EQ(bench.drive.Value(w.key), w.value);
            }
            if (i > confirmed) {
                EXPECT_EQ(bench.drive.FrameCount(BuildSdo(w.command, w.key, w.value).data()), 0);
            }
        }
        Check({c.name, c.arm, false, c.failsConnection});
    }
    // A batch holds writes only.
    EXPECT_EQ(bench.link->RequestWrites(bench.page.hwnd(), {{kObject8, kRead, 0}}, kTag),
              CCtrlLink::kRequestInvalid);
}

// A connection change does not wait for the reply of a drive that stays silent, however long
// the reply timeout: the exchange waiting for it is cut short and ends as closed.
TEST_P(Link, ConnectionChangesCutASilentExchangeShort)
{
    constexpr uint32_t kLongTimeoutMs = 10000;
    constexpr double kBoundMs = 200; // asked for: 50 ms; the rest is room for a loaded machine
    const int mode = GetParam() == Transport::Serial ? CCommPort::ModeSerial : CCommPort::ModeCan;
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"Close", [&] { bench.link->Close(); }},
        {"Open", [&] { bench.Reconnect(); }},
        {"SetMode", [&] { bench.link->SetMode(mode); }},
        {"SetNodeId", [&] { bench.link->SetNodeId(kNodeId); }},
    };
    const auto frame = BuildSdo(kRead, kObject16, 0);
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        Reset([](CSimFaults& f) { f.SetSilent(true); });
        ASSERT_TRUE(bench.Reconnect(kLongTimeoutMs));
        ASSERT_EQ(bench.link->Request(bench.page.hwnd(), kRead, kObject16, 0),
                  CCtrlLink::kRequestQueued);
        ASSERT_TRUE(Until([&] { return bench.drive.FrameCount(frame.data()) >= 1; }));
        const auto start = std::chrono::steady_clock::now();
        operation();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        std::printf("%s while the drive is silent (reply timeout %u ms): %.1f ms\n", name,
                    kLongTimeoutMs, took.count());
        EXPECT_LT(took.count(), kBoundMs);
        EXPECT_EQ(bench.page.WaitFor(kObject16), Failed(kSdoClosed));
        EXPECT_EQ(bench.drive.FrameCount(frame.data()), 1);
        EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
    }
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
// The canopen profile against the virtual drive serving a CANopen device's SDO protocol: every
// width read and written (confirmed with a bare 0x60, so the value shown is the one read back),
// against a device that states reply sizes and one that does not (0x42, junk past the value),
// over the shipped dictionary and over an EDS; texts written by one expedited write or by
// segments and read back; refusals named as CiA 301 names them.
class CanOpenLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(bench.Start());
        bench.link->SetProfile(LinkProfile::CanOpen);
        // The dictionary's widths, as drivara and drivactl hand them over.
        bench.link->SetObjectWidths([this](uint32_t key) {
            const auto it = widths.find(key);
            return it == widths.end() ? 0 : it->second;
        });
    }

    // Writes a whole text and gives how the write ended.
    SdoWriteResult Download(uint32_t key, const QByteArray& text)
    {
        SdoWriteResult result;
        bool done = false;
        bench.page.onMessage = [&](const Message& m) {
            if (m.lParam != key || !IsResult(m))
                return;
            if (m.message == WM_SDO_WRITTEN) {
                EXPECT_TRUE(bench.link->TakeWrites(bench.page.hwnd(), key, result));
            } else {
                ADD_FAILURE() << "message " << m.message << " wParam " << m.wParam;
            }
            done = true;
        };
        EXPECT_EQ(bench.link->RequestDownload(bench.page.hwnd(), key, text),
                  CCtrlLink::kRequestQueued);
        EXPECT_TRUE(Until([&] { return done; }));
        bench.page.onMessage = nullptr;
        return result;
    }

    CLinkBench bench{Transport::Can};
    std::map<uint32_t, int> widths;
};

TEST_F(CanOpenLink, EveryWidthReadAndWrittenWithAndWithoutSizeBits)
{
    struct Width
    {
        uint32_t key;
        int bytes;
        uint8_t write;
        uint32_t value; // what is written, then read
    };
    const QString eds = TestSupport::SourceDir() + QStringLiteral("/tests/data/Cia402Sample.eds");
    const struct
    {
        const char* name;
        QString eds; // empty: the shipped dictionary
        std::vector<Width> objects;
    } kDictionaries[] = {
        {"dictionary",
         {},
         {{kObject8, 1, kWrite1, 0xA7},
          {kObject16, 2, kWrite2, 0xBEEF},
          {kObject32, 4, kWrite4, 0x0BADCAFE}}},
        {"eds",
         eds,
         {{0x606000, 1, kWrite1, 0xFD},
          {0x604000, 2, kWrite2, 0x000F},
          {0x607A00, 4, kWrite4, 0xFFFE7960},
          {0x608100, 4, kWrite4, 250000}}},
    };
    for (const auto& d : kDictionaries) {
        if (!d.eds.isEmpty()) {
            QString error;
            ASSERT_TRUE(bench.drive.LoadEds(d.eds, int(kNodeId), &error)) << error.toStdString();
        }
        for (const bool unsized : {false, true}) {
            bench.drive.SetCanOpen(true, unsized);
            for (const Width& w : d.objects) {
                SCOPED_TRACE(testing::Message()
                             << d.name << (unsized ? " 0x42 " : " sized ") << std::hex << w.key);
                widths[w.key] = w.bytes;
                // Each pass writes a value the object does not hold yet.
                const uint32_t value = unsized ? w.value ^ 0x5 : w.value;
                EXPECT_EQ(bench.AskAll(w.write, w.key, value), Outcomes{Value(value)});
                EXPECT_EQ(bench.drive.Value(w.key) & (w.bytes == 4 ? ~0u : (1u << 8 * w.bytes) - 1),
                          value);
                EXPECT_EQ(bench.AskAll(kRead, w.key), Outcomes{Value(value)});
            }
        }
    }
    // A three-byte write is refused by an object of another width, and named so.
    EXPECT_EQ(bench.AskAll(kWrite3, 0x608100, 0x123456).front(),
              Abort(CVirtualDrive::kAbortLength));
    EXPECT_EQ(AbortCodeText(CVirtualDrive::kAbortLength),
              "Data type does not match, length of service parameter does not match");
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

TEST_F(CanOpenLink, TextsWrittenExpeditedOrBySegmentsAndReadBack)
{
    bench.drive.SetCanOpen(true);
    const uint32_t kLabel = CVirtualDrive::kDeviceLabel;
    // Up to four bytes in one write; more by segments: one short, one full, a last full one.
    for (const QByteArray& text : {QByteArray("X1"), QByteArray("Axis"), QByteArray("Axis 2"),
                                   QByteArray("Axis 12"), QByteArray("Left axis, gantry 12345")}) {
        SCOPED_TRACE(text.toStdString());
        const SdoWriteResult written = Download(kLabel, text);
        EXPECT_EQ(written.confirmed, 1);
        EXPECT_FALSE(written.refused);
        EXPECT_EQ(Upload(bench, kLabel).text, text);
    }
    // A long text by blocks (three of them, CRC checked) is the same as by segments, in far
    // fewer requests; a device without blocks gets segments.
    const QByteArray longText = QByteArray("0123456789abcdef").repeated(30) + "end";
    bench.drive.SetStringValue(kTextObject, longText);
    std::map<bool, int> requests;
    for (const bool blocks : {true, false}) {
        bench.drive.SetCanOpen(true, false, blocks);
        const int before = bench.drive.RequestCount();
        EXPECT_EQ(Upload(bench, kTextObject).text, longText) << blocks;
        requests[blocks] = bench.drive.RequestCount() - before;
    }
    EXPECT_LT(requests[true] * 4, requests[false]);
    bench.drive.SetCanOpen(true);
    // A read-only text is refused at the start and named.
    const SdoWriteResult refused = Download(kTextObject, "Renamed drive");
    EXPECT_TRUE(refused.refused);
    EXPECT_EQ(refused.abortCode, CVirtualDrive::kAbortReadOnly);
    EXPECT_EQ(AbortCodeText(refused.abortCode), "Attempt to write a read only object");
    EXPECT_EQ(bench.drive.MaxWriteFrameCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Link, Link, ::testing::Values(Transport::Serial, Transport::Can),
                         [](const auto& p) {
                             return p.param == Transport::Serial ? "Serial" : "Can";
                         });
#else
INSTANTIATE_TEST_SUITE_P(Link, Link, ::testing::Values(Transport::Serial));
#endif

} // namespace
