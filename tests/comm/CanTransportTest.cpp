// The CAN library (data/CAN.so) over Qt's virtual CAN bus, loaded through CCommPort. A second bus
// device in its own thread plays the drive. Every test process uses its own bus port so parallel
// runs never share a bus.

#include "CommTestUtil.h"
#include "TestSupport.h"
#include "comm/CommPort.h"
#include "comm/SdoFrame.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <unistd.h>
#include <vector>

using namespace CommTest;

namespace {

constexpr int kWaitMs = 5000;

QString BusUrl()
{
    static const QString url =
        QStringLiteral("tcp://127.0.0.1:%1/can0").arg(36000 + getpid() % 20000);
    return url;
}

// The drive's side of the bus: records what it sees and answers with scripted frames.
class BusDrive
{
public:
    using Responder = std::function<std::vector<QCanBusFrame>(const QCanBusFrame&)>;

    bool Start()
    {
        m_context.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                // Opened first in the process, this device also runs the bus server, in a
                // thread that lives as long as the tests.
                m_device =
                    QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), BusUrl());
                if (!m_device)
                    return;
                QObject::connect(m_device, &QCanBusDevice::framesReceived, m_device,
                                 [this] { TakeFrames(); });
                QObject::connect(m_device, &QCanBusDevice::stateChanged, m_device,
                                 [this](QCanBusDevice::CanBusDeviceState state) {
                                     m_connected = state == QCanBusDevice::ConnectedState;
                                 });
                m_device->connectDevice();
            },
            Qt::BlockingQueuedConnection);
        return TestSupport::WaitFor([this] { return m_connected.load(); }, kWaitMs);
    }

    void Stop()
    {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                delete m_device;
                m_device = nullptr;
                m_context.moveToThread(QCoreApplication::instance()->thread());
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    void Write(uint32_t id, const QByteArray& payload)
    {
        QMetaObject::invokeMethod(
            &m_context, [this, id, payload] { m_device->writeFrame(QCanBusFrame(id, payload)); },
            Qt::BlockingQueuedConnection);
    }

    void SetResponder(Responder responder)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_responder = std::move(responder);
    }

    // Waits for the next frame the drive saw.
    bool NextFrame(QCanBusFrame& frame, int timeoutMs = kWaitMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_seen.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return !m_frames.empty(); }))
            return false;
        frame = m_frames.front();
        m_frames.pop_front();
        return true;
    }

    void Reset()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_frames.clear();
        m_responder = nullptr;
    }

private:
    void TakeFrames()
    {
        while (m_device->framesAvailable()) {
            const QCanBusFrame frame = m_device->readFrame();
            std::vector<QCanBusFrame> answers;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_frames.push_back(frame);
                if (m_responder)
                    answers = m_responder(frame);
            }
            m_seen.notify_all();
            for (const QCanBusFrame& answer : answers)
                m_device->writeFrame(answer);
        }
    }

    QThread m_thread;
    QObject m_context;
    QCanBusDevice* m_device = nullptr;
    std::atomic<bool> m_connected{false};
    std::mutex m_mutex;
    std::condition_variable m_seen;
    std::deque<QCanBusFrame> m_frames;
    Responder m_responder;
};

BusDrive* g_bus = nullptr;

class BusEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        // The virtual bus reports every client that comes and goes.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan.info=false"));
        g_bus = new BusDrive;
        ASSERT_TRUE(g_bus->Start()) << "virtual CAN bus on " << BusUrl().toStdString();
    }
    void TearDown() override
    {
        g_bus->Stop();
        delete g_bus;
        g_bus = nullptr;
    }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new BusEnvironment);

class CanTransportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(g_bus, nullptr);
        g_bus->Reset();
        ASSERT_EQ(m_port.Load(CCommPort::ModeCan), 1) << m_messages.Take().join(' ').toStdString();
        m_port.SetCanDevice(QStringLiteral("virtualcan"), BusUrl());
    }
    void TearDown() override { g_bus->Reset(); }

    int Open(uint32_t nodeId, uint32_t timeoutMs)
    {
        const Settings settings = CanSettings(nodeId, 0x001C, timeoutMs);
        return m_port.Open(settings.data());
    }

    int Send(const SdoFrame::Can& frame) { return m_port.Send(frame.data(), 16); }

    MessageRecorder m_messages;
    CCommPort m_port{TestSupport::DistDir() + QStringLiteral("/data")};
};

} // namespace

TEST_F(CanTransportTest, RequestGoesOnTheBusWithTheNodeIdentifier)
{
    ASSERT_EQ(Open(1, 500), 0);
    const SdoFrame::Can request = SdoFrame::BuildCan(1, SdoFrame::kWrite4, 0x607A00, 0x12345678);
    ASSERT_EQ(Send(request), 0);
    QCanBusFrame seen;
    ASSERT_TRUE(g_bus->NextFrame(seen));
    EXPECT_EQ(seen.frameId(), 0x601u);
    EXPECT_FALSE(seen.hasExtendedFrameFormat());
    EXPECT_EQ(seen.payload().toHex(' '), QByteArray("23 7a 60 00 78 56 34 12"));
    EXPECT_TRUE(m_messages.Take().isEmpty());
}

TEST_F(CanTransportTest, OnlyTheDrivesAnswerIsReceived)
{
    ASSERT_EQ(Open(5, kWaitMs), 0);
    const QByteArray answer = QByteArray::fromHex("4b41600037060000");
    g_bus->SetResponder([answer](const QCanBusFrame& request) -> std::vector<QCanBusFrame> {
        if (request.frameId() != 0x605)
            return {};
        // Other nodes' answers and process data come first on a busy bus.
        return {QCanBusFrame(0x581, QByteArray(8, '\x11')), QCanBusFrame(0x185, QByteArray(2, 1)),
                QCanBusFrame(0x605, QByteArray(8, '\x22')), QCanBusFrame(0x585, answer)};
    });
    ASSERT_EQ(Send(SdoFrame::BuildCan(5, SdoFrame::kRead, 0x604100, 0)), 0);

    uint8_t reply[16];
    std::memset(reply, 0xEE, sizeof(reply));
    int length = 0;
    ASSERT_EQ(m_port.Receive(reply, &length), 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(reply), 14).toHex(' '),
              QByteArray("85 05 00 00 00 08 4b 41 60 00 37 06 00 00"));
    uint32_t value = 0;
    EXPECT_EQ(SdoFrame::Decode(SdoFrame::kRead, reply + 6, value), SdoFrame::StateValue);
    EXPECT_EQ(value, 0x0637u);
}

TEST_F(CanTransportTest, SilentDriveGivesNoReplyAfterTheTimeout)
{
    ASSERT_EQ(Open(1, 300), 0);
    ASSERT_EQ(Send(SdoFrame::BuildCan(1, SdoFrame::kRead, 0x604100, 0)), 0);
    QCanBusFrame seen;
    ASSERT_TRUE(g_bus->NextFrame(seen));

    QElapsedTimer timer;
    timer.start();
    uint8_t reply[16] = {};
    int length = -1;
    EXPECT_NE(m_port.Receive(reply, &length), 0);
    EXPECT_EQ(length, 0);
    EXPECT_GE(timer.elapsed(), 250);
    EXPECT_LT(timer.elapsed(), kWaitMs);
}

TEST_F(CanTransportTest, ClosedOrUnopenedPortRefusesToSend)
{
    const SdoFrame::Can request = SdoFrame::BuildCan(1, SdoFrame::kRead, 0x604100, 0);
    EXPECT_NE(Send(request), 0);
    ASSERT_EQ(Open(1, 300), 0);
    ASSERT_EQ(Open(1, 20000), 0); // reopening replaces the device
    EXPECT_EQ(Send(request), 0);
    QCanBusFrame seen;
    ASSERT_TRUE(g_bus->NextFrame(seen));
    EXPECT_EQ(seen.frameId(), 0x601u);
    m_port.Close();
    EXPECT_NE(Send(request), 0);
    uint8_t reply[16] = {};
    int length = 0;
    QElapsedTimer timer;
    timer.start();
    EXPECT_NE(m_port.Receive(reply, &length), 0);
    EXPECT_LT(timer.elapsed(), kWaitMs); // nothing to wait for on a closed port
}

TEST_F(CanTransportTest, UnknownBackendFailsToOpen)
{
    m_port.SetCanDevice(QStringLiteral("nosuchbus"), QStringLiteral("can0"));
    EXPECT_NE(Open(1, 300), 0);
    EXPECT_NE(Send(SdoFrame::BuildCan(1, SdoFrame::kRead, 0x604100, 0)), 0);
}

TEST_F(CanTransportTest, VersionNamesTheBackendAndItsInterfaces)
{
    char version[256];
    std::memset(version, 'x', sizeof(version));
    ASSERT_NE(m_port.GetVersion(version), 0);
    const QString text = QString::fromLatin1(version);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Drivara CAN library"))) << version;
    EXPECT_TRUE(text.contains(QStringLiteral("virtualcan"))) << version;
    // The settings view shows what follows the last colon.
    EXPECT_EQ(text.mid(text.lastIndexOf(QLatin1Char(':')) + 1), QStringLiteral(" can0, can1"));

    m_port.SetCanDevice(QStringLiteral("nosuchbus"), QStringLiteral("can0"));
    EXPECT_EQ(m_port.GetVersion(version), 0);
}
