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

    // Reads the text object as a page does; see LinkTest::Upload.
    Message ReadText(QByteArray& text, std::vector<int>& lengths, bool& complete)
    {
        return Upload(bench, kTextObject, text, lengths, complete);
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
    EXPECT_EQ(bench.AskAll(kRead, kMissingObject), Outcomes{Abort(CVirtualDrive::kAbortNoObject)});
    bench.drive.faults().AbortNext(1, 0x08000020);
    EXPECT_EQ(bench.AskAll(kRead, kObject16), Outcomes{Abort(0x08000020)});

    // A refused write is reported as refused, then the value the drive holds follows...
    bench.drive.SetValue(kReadOnly16, 0x0237);
    EXPECT_EQ(bench.AskAll(kWrite2, kReadOnly16, 0x1111),
              (Outcomes{Abort(CVirtualDrive::kAbortReadOnly), Value(0x0237)}));
    EXPECT_EQ(bench.drive.Value(kReadOnly16), 0x0237u);
    // ...or the refusal of the read-back.
    bench.drive.faults().AbortNext(2, 0x08000021);
    EXPECT_EQ(bench.AskAll(kWrite4, kObject32, 7),
              (Outcomes{Abort(0x08000021), Abort(0x08000021)}));
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

TEST_P(Exchange, SegmentedUploadDeliversTheWholeText)
{
    // A full last segment looks like any other to a page, which asks once more: the link answers
    // that itself with an empty last segment instead of passing on the drive's refusal.
    struct Case
    {
        QByteArray text;
        std::vector<int> lengths;
    };
    const Case cases[] = {{"FW 1.06.03", {7, 3}}, {"Velmor VX-2000", {7, 7, 0}}, {"", {0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.constData());
        bench.drive.SetStringValue(kTextObject, c.text);
        QByteArray text;
        std::vector<int> lengths;
        bool complete = false;
        const Message last = ReadText(text, lengths, complete);
        EXPECT_EQ(last.message, WM_SDO_SEGMENT);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(lengths, c.lengths);
        EXPECT_TRUE(complete);
    }
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
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
