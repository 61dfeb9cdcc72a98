// The virtual drive on Qt's virtual CAN bus, seen by a QCanBusDevice client.

#include "SimCanServer.h"
#include "SimTestData.h"
#include "TestSupport.h"
#include "VirtualDrive.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <unistd.h>

using SimTestData::Request;

namespace {

constexpr uint32_t kNode = 5;
constexpr int kReplyTimeoutMs = 3000;
constexpr int kSilenceMs = 200;

// One port per test process keeps parallel test runs off each other's bus.
QString BusUrl()
{
    return QStringLiteral("tcp://127.0.0.1:%1/can0").arg(36000 + getpid() % 20000);
}

QByteArray Payload(const SimTestData::Sdo& sdo)
{
    return QByteArray(reinterpret_cast<const char*>(sdo.data()), int(sdo.size()));
}

class SimCanServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QCanBus::instance()->plugins().contains(QStringLiteral("virtualcan")))
            GTEST_SKIP() << "no virtualcan plugin";
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(SimTestData::WriteDataDir(m_dir.path()));
        ASSERT_TRUE(m_drive.Load(m_dir.path()));
        // The drive first: its thread hosts the bus.
        ASSERT_TRUE(m_server.Start(kNode, QStringLiteral("virtualcan"), BusUrl()))
            << m_server.ErrorString().toStdString();
        QString error;
        m_client.reset(
            QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), BusUrl(), &error));
        ASSERT_TRUE(m_client) << error.toStdString();
        ASSERT_TRUE(m_client->connectDevice());
        ASSERT_TRUE(TestSupport::WaitFor(
            [&] { return m_client->state() == QCanBusDevice::ConnectedState; }));
    }

    void TearDown() override
    {
        if (m_client)
            m_client->disconnectDevice();
        m_client.reset();
        m_server.Stop();
    }

    std::optional<QCanBusFrame> Exchange(uint32_t id, const SimTestData::Sdo& sdo,
                                         int timeoutMs = kReplyTimeoutMs)
    {
        EXPECT_TRUE(m_client->writeFrame(QCanBusFrame(id, Payload(sdo))));
        if (!TestSupport::WaitFor([&] { return m_client->framesAvailable() > 0; }, timeoutMs))
            return std::nullopt;
        return m_client->readFrame();
    }

    QTemporaryDir m_dir;
    CVirtualDrive m_drive;
    CSimCanServer m_server{m_drive};
    std::unique_ptr<QCanBusDevice> m_client;
};

TEST_F(SimCanServerTest, AnswersRequestsToItsNode)
{
    auto reply = Exchange(0x600 + kNode, Request(0x40, 0x608100));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->frameId(), 0x580u + kNode);
    EXPECT_EQ(reply->payload(), Payload(Request(0x43, 0x608100, 5000)));

    reply = Exchange(0x600 + kNode, Request(0x2F, 0x200200, 9));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->payload(), Payload(Request(0x60, 0x200200, 9)));

    // Another node's request and a reply identifier are not for this drive.
    EXPECT_FALSE(Exchange(0x600 + kNode + 1, Request(0x40, 0x608100), kSilenceMs));
    EXPECT_FALSE(Exchange(0x580 + kNode, Request(0x40, 0x608100), kSilenceMs));
    EXPECT_EQ(m_drive.RequestCount(), 2);
}

TEST_F(SimCanServerTest, FaultPlanOnTheBus)
{
    const SimTestData::Sdo read = Request(0x40, 0x608100);
    m_drive.faults().DropNext(1);
    EXPECT_FALSE(Exchange(0x600 + kNode, read, kSilenceMs));

    m_drive.faults().CorruptNext(1);
    auto reply = Exchange(0x600 + kNode, read);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->payload(), Payload(Request(0x43, 0x608100, ~5000u)));

    m_drive.faults().DelayReplies(80);
    QElapsedTimer timer;
    timer.start();
    reply = Exchange(0x600 + kNode, read);
    ASSERT_TRUE(reply);
    EXPECT_GE(timer.elapsed(), 80);
    EXPECT_EQ(reply->payload(), Payload(Request(0x43, 0x608100, 5000)));
}

} // namespace
