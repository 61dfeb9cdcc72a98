#include "MessageRecorder.h"
#include "TestSupport.h"

#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "app/MainFrameLogic.h"
#include "app/SysData.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class MainFrameLogicTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(drive.Load(TestSupport::DistDir() + QStringLiteral("/data")));
        sys = std::make_unique<CSysData>(CSysDataOptions{install.base(), 1033});
        ASSERT_TRUE(sys->dictionary.WaitUntilLoaded(10000));
        frame = std::make_unique<CMainFrameLogic>(*sys);
        frame->onStatusText = [this](const QString& text) { statusTexts.push_back(text); };
        frame->onPagesControl = [this](unsigned code) { pageCodes.push_back(code); };
    }

    bool OpenOnSimulator()
    {
        if (!server.Start(1, 0))
            return false;
        QString error;
        return frame->OpenSerial(server.PortName(), 115200, 1, 100, error);
    }

    // Declared before what reports into them: they outlive the frame.
    TestSupport::MessageRecorder messages;
    std::vector<QString> statusTexts;
    std::vector<unsigned> pageCodes;
    TestSupport::TempInstall install;
    CVirtualDrive drive;
    CSimSerialServer server{drive};
    std::unique_ptr<CSysData> sys;
    std::unique_ptr<CMainFrameLogic> frame;
};

} // namespace

// One connection through its life: the first statusword opens it, an unmasked error turns the
// indicator to fault, and a pulled cable closes the connection.
TEST_F(MainFrameLogicTest, ConnectionFromFirstAnswerToPulledCable)
{
    ASSERT_TRUE(OpenOnSimulator());
    EXPECT_TRUE(frame->waitingForFirstAnswer());
    // The statusword is polled for the main frame; its first value ends the wait.
    const auto state = [&](int expected) {
        return TestSupport::WaitFor([&] { return frame->lastDriveState() == expected; }, 5000);
    };
    ASSERT_TRUE(state(0));
    EXPECT_FALSE(frame->waitingForFirstAnswer());
    EXPECT_EQ(sys->portOpened.load(), 0);
    ASSERT_FALSE(statusTexts.empty());
    EXPECT_EQ(statusTexts.back(),
              QStringLiteral("Comm Status: Open  %1  115200").arg(server.PortName()));
    EXPECT_EQ(pageCodes, std::vector<unsigned>{2});
    EXPECT_EQ(frame->stateIcon(), CMainFrameLogic::IconDriveOk); // (its blinking: GuiTest)

    drive.SetValue(0x260001, 0xFFFF); // every low error reported
    drive.SetValue(0x260100, 0x0004);
    ASSERT_TRUE(state(1));
    EXPECT_EQ(frame->stateIcon(), CMainFrameLogic::IconFault);
    // Masking the error clears the fault bit of the statusword.
    drive.SetValue(0x260001, 0xFFFB);
    ASSERT_TRUE(state(0));

    server.Stop(); // the cable is pulled
    ASSERT_TRUE(TestSupport::WaitFor([&] { return sys->connected.load() == 2; }, 5000));
    EXPECT_EQ(statusTexts.back(), QStringLiteral("Comm Status: Closed"));
    EXPECT_EQ(frame->stateIcon(), CMainFrameLogic::IconNoDrive);
    EXPECT_EQ(frame->lastDriveState(), -1);
    // The pages keep their values, marked as no longer current.
    EXPECT_EQ(pageCodes, (std::vector<unsigned>{2, 6}));
    // Not waiting for a first answer any more: no "Not Find Driver" message.
    EXPECT_TRUE(messages.Take().isEmpty());
}

TEST_F(MainFrameLogicTest, OpenFailureLeavesTheLinkClosed)
{
    QString error;
    EXPECT_FALSE(frame->OpenSerial(QStringLiteral("pts/999"), 115200, 1, 100, error));
    // The message, then the port and the cause in the transport's words.
    EXPECT_TRUE(
        error.startsWith(QStringLiteral("open COM port failure! comm setting might wrong! \n")))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("serial port pts/999 (/dev/pts/999): no such port")))
        << error.toStdString();
    EXPECT_EQ(sys->connected.load(), 2);
}

TEST_F(MainFrameLogicTest, ConstantsArriveOnceAndAreForgottenWhileDisconnected)
{
    SendMessage(frame->hwnd(), WM_SDO_VALUE, 0xFFFFFFFE, 0x609101);
    ASSERT_TRUE(sys->evaluator.ConstExists(0x609101));
    EXPECT_EQ(sys->evaluator.GetConst(0x609101), -2);
    // The first value stays; later ones for the same key are not taken from the main frame.
    SendMessage(frame->hwnd(), WM_SDO_VALUE, 5, 0x609101);
    EXPECT_EQ(sys->evaluator.GetConst(0x609101), -2);
    // The statusword is never a constant.
    SendMessage(frame->hwnd(), WM_SDO_VALUE, 0x0237, DriveObject::kStatusword);
    EXPECT_FALSE(sys->evaluator.ConstExists(DriveObject::kStatusword));

    // (a statusword counts as the drive answering: the connection is taken as open)
    EXPECT_EQ(sys->connected.load(), 1);
    frame->CloseConnection();
    frame->TimerTick(); // not connected
    EXPECT_FALSE(sys->evaluator.ConstExists(0x609101));
    EXPECT_EQ(frame->stateIcon(), CMainFrameLogic::IconNoDrive);
}
