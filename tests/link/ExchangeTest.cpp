// Request and reply commands over both transports, against the virtual drive.
#include "LinkTestSupport.h"

using namespace LinkTest;

namespace {

class Exchange : public ::testing::TestWithParam<Transport>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bench.Start());
        bench.Connect();
    }

    // Reads the text object segment by segment as pages do, one request per WM_SDO_SEGMENT; a
    // segment shorter than 7 bytes is the last. Returns the message that ended the upload.
    Message Upload(QByteArray& text, std::vector<int>& lengths)
    {
        Message last;
        bool done = false;
        uint8_t next = SdoFrame::kSegment0;
        CCtrlLink& link = *bench.link;
        bench.page.onMessage = [&](const Message& m) {
            last = m;
            if (m.message == WM_SDO_SEGMENT) {
                const uint8_t* data = nullptr;
                int length = 0;
                link.GetSegment(data, length);
                lengths.push_back(length);
                text.append(reinterpret_cast<const char*>(data), length);
                done = length != 7;
            } else {
                done = m.message != WM_SDO_VALUE;
            }
            if (!done) {
                link.Request(bench.page.hwnd(), next, kTextObject, 0);
                next ^= SdoFrame::kSegment0 ^ SdoFrame::kSegment1;
            }
        };
        link.Request(bench.page.hwnd(), kRead, kTextObject, 0);
        EXPECT_TRUE(TestSupport::WaitFor([&] { return done; }, kWaitMs));
        bench.page.onMessage = nullptr;
        return last;
    }

    CLinkBench bench{GetParam()};
};

TEST_P(Exchange, ReadsAndWritesOfEveryWidth)
{
    struct Case
    {
        uint8_t command;
        uint32_t key;
        uint32_t value;    // set in the drive before a read; sent by a write
        uint32_t expected; // answered and then held by the drive
    };
    const Case cases[] = {
        {kRead, kObject8, 0x5A, 0x5A},
        {kRead, kObject16, 0xBEEF, 0xBEEF},
        {kRead, kObject32, 0x12345678, 0x12345678},
        // Writes are confirmed with what the drive holds, which is only as wide as the command.
        {kWrite1, kObject8, 0x1A5, 0xA5},
        {kWrite2, kObject16, 0x4321, 0x4321},
        {kWrite4, kObject32, 0x0BADCAFE, 0x0BADCAFE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.command) << " " << c.key);
        if (c.command == kRead)
            bench.drive.SetValue(c.key, c.value);
        EXPECT_EQ(bench.Ask(c.command, c.key, c.value), Value(c.expected));
        EXPECT_EQ(bench.drive.Value(c.key), c.expected);
    }
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

TEST_P(Exchange, AbortsAndRefusedWrites)
{
    EXPECT_EQ(bench.Ask(kRead, kMissingObject), Abort(CVirtualDrive::kAbortNoObject));
    bench.drive.faults().AbortNext(1, 0x08000020);
    EXPECT_EQ(bench.Ask(kRead, kObject16), Abort(0x08000020));

    // A refused write is answered with the value the drive holds, read back...
    bench.drive.SetValue(kReadOnly16, 0x0237);
    EXPECT_EQ(bench.Ask(kWrite2, kReadOnly16, 0x1111), Value(0x0237));
    EXPECT_EQ(bench.drive.Value(kReadOnly16), 0x0237u);
    // ...unless the read-back is refused as well.
    bench.drive.faults().AbortNext(2, 0x08000021);
    EXPECT_EQ(bench.Ask(kWrite4, kObject32, 7), Abort(0x08000021));
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

TEST_P(Exchange, SegmentedUploadDeliversTheWholeText)
{
    // A full last segment looks like any other, so the window asks once more and the drive,
    // having nothing left, refuses: the text is complete and the upload ends with the abort.
    struct Case
    {
        QByteArray text;
        std::vector<int> lengths;
        unsigned lastMessage;
    };
    const Case cases[] = {{"FW 1.06.03", {7, 3}, WM_SDO_SEGMENT},
                          {"Velmor VX-2000", {7, 7}, WM_SDO_ABORT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.constData());
        bench.drive.SetStringValue(kTextObject, c.text);
        QByteArray text;
        std::vector<int> lengths;
        const Message last = Upload(text, lengths);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(lengths, c.lengths);
        EXPECT_EQ(last.message, c.lastMessage);
        if (c.lastMessage == WM_SDO_ABORT) {
            EXPECT_EQ(last.wParam, CVirtualDrive::kAbortCommand);
        }
    }
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

TEST_P(Exchange, SilentDriveFailsTheConnection)
{
    ASSERT_EQ(bench.Ask(kRead, kObject16).first, WM_SDO_VALUE);
    bench.drive.faults().SetSilent(true);
    bench.link->Request(bench.page.hwnd(), kRead, kObject32, 0);
    // Four reply timeouts.
    ASSERT_TRUE(bench.mainFrame.WaitFor(0, WM_COMM_FAILED));
    EXPECT_EQ(bench.flags.connected.load(), 2);
    EXPECT_FALSE(bench.page.Find(kObject32));
}

std::string TransportName(const ::testing::TestParamInfo<Transport>& param)
{
    return param.param == Transport::Serial ? "Serial" : "Can";
}

#ifdef DRIVARA_SIM_CAN
INSTANTIATE_TEST_SUITE_P(Link, Exchange, ::testing::Values(Transport::Serial, Transport::Can),
                         TransportName);
#else
// Built without CAN support: the serial line only.
INSTANTIATE_TEST_SUITE_P(Link, Exchange, ::testing::Values(Transport::Serial), TransportName);
#endif

} // namespace
