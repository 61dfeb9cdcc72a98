// The CAN library (data/CAN.so) over Qt's virtual CAN bus, loaded through CCommPort. The virtual
// drive answers node 1; a bus device on this thread watches the bus and can play the drive.

#include "CommTestUtil.h"
#include "SimCanServer.h"
#include "TestSupport.h"
#include "VirtualDrive.h"
#include "comm/CommPort.h"
#include "comm/SdoFrame.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <gtest/gtest.h>

#include <future>
#include <memory>

using namespace CommTest;

namespace {

constexpr int kWaitMs = 5000;

class CanTransportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The virtual bus reports every client that comes and goes.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan.info=false"));
        const QString plugin = QStringLiteral("virtualcan");
        // The drive first: its thread hosts the bus, which must keep going while this thread
        // waits in Open.
        ASSERT_TRUE(m_drive.Load(TestSupport::DistDir() + QStringLiteral("/data")));
        ASSERT_TRUE(m_server.Start(1, plugin, BusUrl())) << m_server.ErrorString().toStdString();
        m_bus.reset(QCanBus::instance()->createDevice(plugin, BusUrl()));
        ASSERT_TRUE(m_bus && m_bus->connectDevice());
        ASSERT_TRUE(TestSupport::WaitFor(
            [&] { return m_bus->state() == QCanBusDevice::ConnectedState; }, kWaitMs));
        ASSERT_EQ(m_port.Load(CCommPort::ModeCan), 1) << m_messages.Take().join(' ').toStdString();
        m_port.SetCanDevice(plugin, BusUrl());
    }

    int Open(uint32_t nodeId, uint32_t timeoutMs)
    {
        return m_port.Open(CanOpenSettings(nodeId, 0x001C, timeoutMs).data()); // 500 kbit/s
    }
    int Send(uint32_t nodeId) // a read of the statusword
    {
        return m_port.Send(SdoFrame::BuildCan(nodeId, SdoFrame::kRead, 0x604100, 0).data(), 16);
    }
    // Runs on a thread of its own while this one keeps the bus device going; the port's result
    // goes to m_received.
    QByteArray Receive()
    {
        uint8_t reply[16] = {};
        int length = -1;
        auto done = std::async(std::launch::async, [&] { return m_port.Receive(reply, &length); });
        TestSupport::WaitFor(
            [&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            2 * kWaitMs);
        m_received = done.get();
        return QByteArray(reinterpret_cast<const char*>(reply), std::max(length, 0)).toHex(' ');
    }

    TestSupport::MessageRecorder m_messages;
    int m_received = -1;
    CVirtualDrive m_drive;
    CSimCanServer m_server{m_drive};
    std::unique_ptr<QCanBusDevice> m_bus;
    CCommPort m_port{TestSupport::DistDir() + QStringLiteral("/data")};
};

// The drive silent, node 1 is played by hand: its answer is picked out of a busy bus, and its
// silence ends the wait after the timeout. (The drive's own answers cross in the link tests.)
TEST_F(CanTransportTest, OnlyTheDrivesAnswerIsReceivedAndSilenceTimesOut)
{
    m_drive.faults().SetSilent(true);
    ASSERT_EQ(Open(1, 1000), 0);
    ASSERT_EQ(Send(1), 0);
    ASSERT_TRUE(TestSupport::WaitFor([&] { return m_bus->framesAvailable() > 0; }, kWaitMs));
    const QCanBusFrame request = m_bus->readFrame();
    EXPECT_EQ(request.frameId(), 0x601u);
    EXPECT_FALSE(request.hasExtendedFrameFormat());
    EXPECT_EQ(request.payload().toHex(' '), "40 41 60 00 00 00 00 00");
    // Other nodes' answers, process data and requests come first on a busy bus.
    for (uint32_t id : {0x585u, 0x181u, 0x601u})
        m_bus->writeFrame(QCanBusFrame(id, QByteArray(8, '\x11')));
    m_bus->writeFrame(QCanBusFrame(0x581, QByteArray::fromHex("4b41600037060000")));
    EXPECT_EQ(Receive(), "81 05 00 00 00 08 4b 41 60 00 37 06 00 00 00 00");
    EXPECT_EQ(m_received, 0);
    EXPECT_TRUE(m_messages.Take().isEmpty());

    ASSERT_EQ(Send(1), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(Receive(), "");
    EXPECT_NE(m_received, 0);
    EXPECT_GE(timer.elapsed(), 950);
    EXPECT_LT(timer.elapsed(), kWaitMs);
}

TEST_F(CanTransportTest, VersionNamesTheBackendAndOnlyAnOpenPortSends)
{
    char version[256];
    std::memset(version, 'x', sizeof(version));
    ASSERT_NE(m_port.GetVersion(version), 0);
    const QString text = QString::fromLatin1(version);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Drivara CAN library"))) << version;
    EXPECT_TRUE(text.contains(QStringLiteral("virtualcan"))) << version;
    // The settings view shows what follows the last colon.
    EXPECT_EQ(text.mid(text.lastIndexOf(QLatin1Char(':')) + 1), QStringLiteral(" can0, can1"));

    EXPECT_NE(Send(1), 0);
    ASSERT_EQ(Open(1, kWaitMs), 0);
    EXPECT_EQ(Send(1), 0);
    m_port.Close();
    EXPECT_NE(Send(1), 0);

    // A device that cannot be created says so in the plugin's words.
    m_port.SetCanDevice(QStringLiteral("nosuchbus"), QStringLiteral("can0"));
    EXPECT_NE(Open(1, 300), 0);
    EXPECT_TRUE(m_port.LastError().contains(QStringLiteral("nosuchbus:can0")))
        << m_port.LastError().toStdString();
    EXPECT_NE(Send(1), 0);
    EXPECT_EQ(m_port.GetVersion(version), 0);
}

} // namespace
