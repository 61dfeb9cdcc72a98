// Request and reply commands over both transports, against the virtual drive.
#include "LinkTestSupport.h"

#include "comm/SdoFrame.h"

#include <gtest/gtest.h>

#include <QByteArray>

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

    CCtrlLink& link() { return *bench.link; }

    // One request and its first result.
    std::optional<Message> Ask(uint8_t command, uint32_t key, uint32_t value = 0)
    {
        page.messages.clear();
        link().Request(page.hwnd(), command, key, value);
        return page.WaitForResult(key);
    }

    // Reads a text object segment by segment, one request per WM_SDO_SEGMENT, as pages do:
    // a segment shorter than 7 bytes is the last. Returns the message that ended the upload.
    Message Upload(uint32_t key, QByteArray& text, std::vector<int>& lengths)
    {
        Message last;
        bool done = false;
        uint8_t toggle = SdoFrame::kSegment0;
        page.onMessage = [&](const Message& m) {
            if (m.lParam != key)
                return;
            last = m;
            if (m.message == WM_SDO_VALUE) {
                link().Request(page.hwnd(), toggle, key, 0);
            } else if (m.message == WM_SDO_SEGMENT) {
                const uint8_t* data = nullptr;
                int length = 0;
                link().GetSegment(data, length);
                lengths.push_back(length);
                text.append(reinterpret_cast<const char*>(data), length);
                if (length != 7) {
                    done = true;
                    return;
                }
                toggle = toggle == SdoFrame::kSegment0 ? SdoFrame::kSegment1 : SdoFrame::kSegment0;
                link().Request(page.hwnd(), toggle, key, 0);
            } else {
                done = true;
            }
        };
        link().Request(page.hwnd(), SdoFrame::kRead, key, 0);
        EXPECT_TRUE(TestSupport::WaitFor([&] { return done; }, 10000));
        page.onMessage = nullptr;
        return last;
    }

    CProbe page;
    CLinkBench bench{GetParam()}; // last: the link goes before the windows it answers
};

TEST_P(Exchange, ReadsGiveTheValueOfEveryWidth)
{
    bench.drive.SetValue(kObject8, 0x5A);
    bench.drive.SetValue(kObject16, 0xBEEF);
    bench.drive.SetValue(kObject32, 0x12345678);

    for (const auto& [key, expected] : {std::pair<uint32_t, uint32_t>{kObject8, 0x5A},
                                        {kObject16, 0xBEEF},
                                        {kObject32, 0x12345678}}) {
        const auto result = Ask(SdoFrame::kRead, key);
        ASSERT_TRUE(result) << std::hex << key;
        EXPECT_EQ(result->message, WM_SDO_VALUE) << std::hex << key;
        EXPECT_EQ(result->wParam, expected) << std::hex << key;
    }
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

TEST_P(Exchange, WritesAreConfirmedWithTheHeldValue)
{
    for (const auto& [command, key, value] :
         {std::tuple<uint8_t, uint32_t, uint32_t>{SdoFrame::kWrite1, kObject8, 0x21},
          {SdoFrame::kWrite2, kObject16, 0x4321},
          {SdoFrame::kWrite4, kObject32, 0x0BADCAFE}}) {
        const auto result = Ask(command, key, value);
        ASSERT_TRUE(result) << std::hex << key;
        EXPECT_EQ(result->message, WM_SDO_VALUE) << std::hex << key;
        EXPECT_EQ(result->wParam, value) << std::hex << key;
        EXPECT_EQ(bench.drive.Value(key), value) << std::hex << key;
    }
}

TEST_P(Exchange, AbortsReachTheWindowWithTheirCode)
{
    const auto missing = Ask(SdoFrame::kRead, kMissingObject);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->message, WM_SDO_ABORT);
    EXPECT_EQ(missing->wParam, CVirtualDrive::kAbortNoObject);

    bench.drive.faults().AbortNext(1, 0x08000020);
    const auto refused = Ask(SdoFrame::kRead, kObject16);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message, WM_SDO_ABORT);
    EXPECT_EQ(refused->wParam, 0x08000020u);
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

TEST_P(Exchange, RefusedWriteIsAnsweredWithTheValueTheDriveHolds)
{
    bench.drive.SetValue(kReadOnly16, 0x0237);
    const auto result = Ask(SdoFrame::kWrite2, kReadOnly16, 0x1111);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->message, WM_SDO_VALUE);
    EXPECT_EQ(result->wParam, 0x0237u);
    EXPECT_EQ(bench.drive.Value(kReadOnly16), 0x0237u);

    // When the read-back is refused as well, the abort stands.
    bench.drive.faults().AbortNext(2, 0x08000021);
    const auto aborted = Ask(SdoFrame::kWrite4, kObject32, 7);
    ASSERT_TRUE(aborted);
    EXPECT_EQ(aborted->message, WM_SDO_ABORT);
    EXPECT_EQ(aborted->wParam, 0x08000021u);
}

TEST_P(Exchange, SegmentedUploadDeliversTheWholeText)
{
    const QByteArray text("FW 1.06.03");
    bench.drive.SetStringValue(kTextObject, text);
    QByteArray received;
    std::vector<int> lengths;
    const Message last = Upload(kTextObject, received, lengths);
    EXPECT_EQ(last.message, WM_SDO_SEGMENT);
    EXPECT_EQ(received, text);
    EXPECT_EQ(lengths, (std::vector<int>{7, 3}));
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

// A full last segment looks like any other, so the window asks once more and the drive, having
// nothing left, refuses: the text is complete and the upload ends with the abort.
TEST_P(Exchange, SegmentedUploadOfWholeSegmentsEndsWithTheDrivesRefusal)
{
    const QByteArray text("Velmor VX-2000");
    ASSERT_EQ(text.size() % 7, 0);
    bench.drive.SetStringValue(kTextObject, text);
    QByteArray received;
    std::vector<int> lengths;
    const Message last = Upload(kTextObject, received, lengths);
    EXPECT_EQ(received, text);
    EXPECT_EQ(lengths, (std::vector<int>{7, 7}));
    EXPECT_EQ(last.message, WM_SDO_ABORT);
    EXPECT_EQ(last.wParam, CVirtualDrive::kAbortCommand);
    EXPECT_EQ(bench.mainFrame.Count(WM_COMM_FAILED), 0);
}

TEST_P(Exchange, SilentDriveFailsTheConnection)
{
    ASSERT_TRUE(Ask(SdoFrame::kRead, kObject16));
    bench.drive.faults().SetSilent(true);
    link().Request(page.hwnd(), SdoFrame::kRead, kObject32, 0);
    // Four reply timeouts; the bound only guards against a hang.
    ASSERT_TRUE(bench.mainFrame.WaitFor(WM_COMM_FAILED, 0, 20000));
    EXPECT_EQ(bench.flags.connected.load(), 2);
    EXPECT_FALSE(page.Find(WM_SDO_VALUE, kObject32));
    EXPECT_FALSE(page.Find(WM_SDO_ABORT, kObject32));
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
