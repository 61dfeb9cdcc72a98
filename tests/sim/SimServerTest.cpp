// The virtual drive behind its servers: seen by a raw client on the slave side of the
// pseudo-terminal, and by a bus device on the virtual CAN bus.

#include "../comm/CommTestUtil.h"
#include "SimCanServer.h"
#include "SimSerialServer.h"
#include "TestSupport.h"
#include "VirtualDrive.h"
#include "comm/SdoFrame.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef DRIVARA_SIM_CAN
#include <QCanBus>
#include <QCanBusDevice>
#endif

#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Frame = SdoFrame::Serial;

constexpr uint32_t kNode = 5;
constexpr uint32_t kKey = 0x100600; // U32 without behaviour of its own
// Long enough for a loaded machine to answer; used only where an answer is expected.
constexpr int kReplyTimeoutMs = 3000;

const Frame kRead = SdoFrame::BuildSerial(kNode, SdoFrame::kRead, kKey, 0);
const Frame kAnswer = SdoFrame::BuildSerial(kNode, 0x43, kKey, 5000);

// A client on the slave side of the terminal with plain termios; closed when the test ends.
class RawClient
{
public:
    explicit RawClient(const QString& path)
        : m_fd(open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios tio{};
        if (m_fd >= 0 && tcgetattr(m_fd, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(m_fd, TCSANOW, &tio);
            tcflush(m_fd, TCIOFLUSH);
        }
    }
    ~RawClient() { close(m_fd); }
    bool isOpen() const { return m_fd >= 0; }

    bool Send(const void* bytes, size_t length)
    {
        return write(m_fd, bytes, length) == ssize_t(length);
    }

    // A request and its ten-byte reply, or nothing when the reply does not all come in time.
    std::optional<Frame> Exchange(const Frame& request, int timeoutMs = kReplyTimeoutMs)
    {
        return Send(request.data(), request.size()) ? Receive(timeoutMs) : std::nullopt;
    }

    // The next ten bytes that come in.
    std::optional<Frame> Receive(int timeoutMs = kReplyTimeoutMs)
    {
        Frame frame{};
        size_t got = 0;
        QElapsedTimer timer;
        timer.start();
        while (got < frame.size()) {
            const int left = timeoutMs - int(timer.elapsed());
            pollfd in{m_fd, POLLIN, 0};
            if (left <= 0 || poll(&in, 1, left) <= 0)
                return std::nullopt;
            const ssize_t n = read(m_fd, frame.data() + got, frame.size() - got);
            if (n <= 0)
                return std::nullopt;
            got += size_t(n);
        }
        return frame;
    }

private:
    int m_fd;
};

class SimServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_drive.Load(TestSupport::DistDir() + QStringLiteral("/data")));
        m_drive.SetValue(kKey, 5000);
    }

    CVirtualDrive m_drive;
};

class SimSerialServerTest : public SimServerTest
{
protected:
    void StartServer(int baud, const QString& link = {})
    {
        ASSERT_TRUE(m_server.Start(kNode, baud, link)) << m_server.ErrorString().toStdString();
        m_client = std::make_unique<RawClient>(m_server.SlavePath());
        ASSERT_TRUE(m_client->isOpen());
    }

    CSimSerialServer m_server{m_drive};
    std::unique_ptr<RawClient> m_client;
};

TEST_F(SimSerialServerTest, AnswersItsOwnValidFramesOnly)
{
    StartServer(0);
    EXPECT_EQ(m_client->Exchange(kRead), kAnswer);

    // A damaged frame and another node's are not answered: the next reply is the next request's.
    Frame bad = SdoFrame::BuildSerial(kNode, SdoFrame::kRead, 0x604100, 0);
    bad[9] ^= 0x01;
    const Frame otherNode = SdoFrame::BuildSerial(kNode + 1, SdoFrame::kRead, 0x604100, 0);
    ASSERT_TRUE(m_client->Send(bad.data(), bad.size()));
    ASSERT_TRUE(m_client->Send(otherNode.data(), otherNode.size()));
    EXPECT_EQ(m_client->Exchange(kRead), kAnswer);
    EXPECT_EQ(m_drive.RequestCount(), 2);

    // Garbage, then a good frame: the server finds its way back.
    const uint8_t garbage[] = {0x55, 0x01, 0x02};
    ASSERT_TRUE(m_client->Send(garbage, sizeof garbage));
    EXPECT_EQ(m_client->Exchange(kRead), kAnswer);
}

TEST_F(SimSerialServerTest, PortNameAndLinkNameTheTerminal)
{
    QTemporaryDir links;
    const QString link = links.path() + QStringLiteral("/dev/ttySIM0");
    StartServer(0, link);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), m_server.SlavePath());
    RawClient viaLink(link);
    ASSERT_TRUE(viaLink.isOpen());
    EXPECT_EQ(viaLink.Exchange(kRead), kAnswer);

    // Stopping takes the link away (the line's hang-up shows in SerialLinkTest's unplugged drive).
    m_server.Stop();
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

// A doubled reply comes twice. (Late, cut short and unplugged replies change what drivactl says
// in FaultMatrixTest, over both transports; a doubled one does not.)
TEST_F(SimSerialServerTest, DoubledOnTheWire)
{
    StartServer(0);
    m_drive.faults().DuplicateNext(1);
    EXPECT_EQ(m_client->Exchange(kRead), kAnswer);
    EXPECT_EQ(m_client->Receive(), kAnswer);
}

#ifdef DRIVARA_SIM_CAN
// The eight data bytes of a request or reply.
QByteArray Payload(uint8_t command, uint32_t value = 0)
{
    const SdoFrame::Can frame = SdoFrame::BuildCan(kNode, command, kKey, value);
    return QByteArray(reinterpret_cast<const char*>(frame.data() + 6), 8);
}

class SimCanServerTest : public SimServerTest
{
protected:
    void SetUp() override
    {
        SimServerTest::SetUp();
        const QString plugin = QStringLiteral("virtualcan");
        // The drive first: its thread hosts the bus.
        ASSERT_TRUE(m_server.Start(kNode, plugin, CommTest::BusUrl()))
            << m_server.ErrorString().toStdString();
        QString error;
        m_client.reset(QCanBus::instance()->createDevice(plugin, CommTest::BusUrl(), &error));
        ASSERT_TRUE(m_client) << error.toStdString();
        ASSERT_TRUE(m_client->connectDevice());
        ASSERT_TRUE(TestSupport::WaitFor(
            [&] { return m_client->state() == QCanBusDevice::ConnectedState; }));
    }

    std::optional<QCanBusFrame> Exchange(uint32_t id, const QByteArray& payload)
    {
        EXPECT_TRUE(m_client->writeFrame(QCanBusFrame(id, payload)));
        return Receive();
    }
    std::optional<QCanBusFrame> Receive()
    {
        if (!TestSupport::WaitFor([&] { return m_client->framesAvailable() > 0; }, kReplyTimeoutMs))
            return std::nullopt;
        return m_client->readFrame();
    }

    CSimCanServer m_server{m_drive};
    std::unique_ptr<QCanBusDevice> m_client;
};

TEST_F(SimCanServerTest, DoubledOnTheBus)
{
    m_drive.faults().DuplicateNext(1);
    const auto reply = Exchange(0x600 + kNode, Payload(SdoFrame::kRead));
    const auto again = Receive();
    ASSERT_TRUE(reply && again);
    EXPECT_EQ(reply->payload(), Payload(0x43, 5000));
    EXPECT_EQ(again->payload(), reply->payload());
}

#endif

// The program's command line: help, version, and a clear refusal of bad values.
TEST(SimProgram, CommandLine)
{
    const struct
    {
        const char* args;
        int exitCode;
        const char* says;
    } cases[] = {
        {"--version", 0, "drivara-sim 1."},
        {"--help", 0, "--silent-for <MS>"},
        {"--serial --node 200", 2, "--node: bad value \"200\""},
        {"--abort x --serial", 2, "--abort wants N:CODE"},
        {"--set 604100 --serial", 2, "--set wants KEY=VALUE"},
        {"", 2, "nothing to serve"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        QProcess sim;
        sim.start(TestSupport::DistDir() + QStringLiteral("/drivara-sim"),
                  QString::fromLatin1(c.args).split(QLatin1Char(' '), Qt::SkipEmptyParts));
        ASSERT_TRUE(sim.waitForFinished(kReplyTimeoutMs * 5));
        EXPECT_EQ(sim.exitCode(), c.exitCode);
        const QString output =
            QString::fromUtf8(sim.readAllStandardOutput() + sim.readAllStandardError());
        EXPECT_TRUE(output.contains(QLatin1String(c.says))) << output.toStdString();
    }
}

} // namespace
