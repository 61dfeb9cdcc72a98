// A PDO mapping applied to the virtual drive through the real link, serial library and
// pseudo-terminal, without a window: the order of the writes, the read-back, and a step the
// drive refuses.

#include "../comm/CommTestUtil.h"
#include "TestSupport.h"

#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "app/SysData.h"
#include "comm/CommPort.h"
#include "pdo/PdoApply.h"

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 15000;

class PdoApplyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(drive.Load(install.path(QStringLiteral("data")), &error))
            << error.toStdString();
        server = std::make_unique<CSimSerialServer>(drive);
        ASSERT_TRUE(server->Start(1, 0)) << server->ErrorString().toStdString();
        CSysDataOptions options;
        options.baseDir = install.base();
        sys = std::make_unique<CSysData>(options);
        ASSERT_TRUE(sys->dictionary.WaitUntilLoaded(kWaitMs));
        ASSERT_EQ(sys->link.SetMode(CCommPort::ModeSerial), 1);
        sys->link.SetNodeId(1);
        ASSERT_EQ(sys->link.Open(CommTest::SerialSettings(server->PortName(), 115200, 100).data()),
                  0);
        sys->connected = 1;
        apply = std::make_unique<CPdoApply>(sys->link, [this](uint32_t key, CSdoRecord& out) {
            return sys->dictionary.Lookup(key, out);
        });
        apply->onLog = [this](const QString& line) { log << line; };
    }

    bool Finished()
    {
        return TestSupport::WaitFor([this] { return !apply->busy(); }, kWaitMs);
    }

    TestSupport::TempInstall install;
    CVirtualDrive drive;
    std::unique_ptr<CSimSerialServer> server;
    std::unique_ptr<CSysData> sys;
    std::unique_ptr<CPdoApply> apply;
    QStringList log;
};

TEST_F(PdoApplyTest, WritesInTheOrderDevicesRequireAndReadsBack)
{
    ASSERT_TRUE(apply->Start({Pdo::Direction::Transmit, 2}, {0x60410010, 0x60640020}));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(apply->state(), CPdoApply::State::Done) << apply->reason().toStdString();
    EXPECT_EQ(log, (QStringList{
                       "TPDO2 COB-ID 1801:01 = 00000281",
                       "1/6 write 1801:01 = 80000281: ok", // not valid while it changes
                       "2/6 write 1A01:00 = 00000000: ok",
                       "3/6 write 1A01:01 = 60410010: ok",
                       "4/6 write 1A01:02 = 60640020: ok",
                       "5/6 write 1A01:00 = 00000002: ok",
                       "6/6 write 1801:01 = 00000281: ok", // valid again
                       "read back: COB-ID 00000281, mapping 60410010 60640020",
                   }));
    EXPECT_TRUE(apply->Store());
    ASSERT_TRUE(Finished());
    EXPECT_EQ(log.last(), "stored");
}

TEST_F(PdoApplyTest, ARefusedStepLeavesThePdoDisabled)
{
    // The COB-ID read, the disabling, count 0 and the first entry pass; the second is refused.
    drive.faults().PassNext(4);
    drive.faults().AbortNext(1, Pdo::kAbortNotMappable);
    ASSERT_TRUE(apply->Start({Pdo::Direction::Receive, 2}, {0x60400010, 0x60FF0020}));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(apply->state(), CPdoApply::State::Failed);
    EXPECT_TRUE(apply->reason().startsWith("1601:02 refused: Object cannot be mapped"))
        << apply->reason().toStdString();
    EXPECT_TRUE(apply->reason().endsWith("the PDO is disabled"));
    EXPECT_EQ(drive.Value(0x140101), 0x80000301u);
    EXPECT_EQ(drive.Value(0x160100), 0u);
    EXPECT_FALSE(apply->Store());
}

} // namespace
