// The virtual drive on a pseudo-terminal, seen by a raw client on the slave side.

#include "SimSerialServer.h"
#include "SimTestData.h"
#include "TestSupport.h"
#include "VirtualDrive.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using SimTestData::Request;

namespace {

using Frame = std::array<uint8_t, 10>;

constexpr uint32_t kNode = 3;
// Long enough for a loaded machine to answer; used only where an answer is expected.
constexpr int kReplyTimeoutMs = 3000;
// How long to listen for an answer that must not come.
constexpr int kSilenceMs = 200;

Frame MakeFrame(uint8_t node, uint8_t command, uint32_t key, uint32_t value)
{
    const SimTestData::Sdo sdo = Request(command, key, value);
    Frame frame{};
    frame[0] = node;
    std::copy(sdo.begin(), sdo.end(), frame.begin() + 1);
    uint8_t sum = 0;
    for (int i = 0; i < 9; ++i)
        sum = uint8_t(sum + frame[i]);
    frame[9] = uint8_t(0 - sum);
    return frame;
}

// A client that talks to the slave side of the terminal with plain termios.
class RawClient
{
public:
    explicit RawClient(const QString& path)
    {
        m_fd = open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0) {
            termios tio{};
            tcgetattr(m_fd, &tio);
            cfmakeraw(&tio);
            cfsetspeed(&tio, B9600);
            tcsetattr(m_fd, TCSANOW, &tio);
            tcflush(m_fd, TCIOFLUSH);
        }
    }
    ~RawClient()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }

    bool Send(const uint8_t* bytes, size_t length)
    {
        return write(m_fd, bytes, length) == ssize_t(length);
    }
    bool Send(const Frame& frame) { return Send(frame.data(), frame.size()); }

    // Ten bytes, or nothing when they do not all come within the time.
    std::optional<Frame> Receive(int timeoutMs)
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

    std::optional<Frame> Exchange(const Frame& request, int timeoutMs = kReplyTimeoutMs)
    {
        if (!Send(request))
            return std::nullopt;
        return Receive(timeoutMs);
    }

    // After the server closed its side: a read reports the end instead of waiting.
    bool HungUp()
    {
        pollfd in{m_fd, POLLIN, 0};
        if (poll(&in, 1, kReplyTimeoutMs) <= 0)
            return false;
        uint8_t byte = 0;
        return (in.revents & POLLHUP) != 0 || read(m_fd, &byte, 1) <= 0;
    }

private:
    int m_fd = -1;
};

class SimSerialServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(SimTestData::WriteDataDir(m_dir.path()));
        ASSERT_TRUE(m_drive.Load(m_dir.path()));
    }

    void StartServer(int baud, const QString& link = {})
    {
        ASSERT_TRUE(m_server.Start(kNode, baud, link)) << m_server.ErrorString().toStdString();
        m_client = std::make_unique<RawClient>(m_server.SlavePath());
        ASSERT_TRUE(m_client->isOpen());
    }

    QTemporaryDir m_dir;
    CVirtualDrive m_drive;
    CSimSerialServer m_server{m_drive};
    std::unique_ptr<RawClient> m_client;
};

TEST_F(SimSerialServerTest, AnswersItsOwnValidFramesOnly)
{
    StartServer(0);
    EXPECT_EQ(m_client->Exchange(MakeFrame(kNode, 0x40, 0x608100, 0)),
              MakeFrame(kNode, 0x43, 0x608100, 5000));
    EXPECT_EQ(m_client->Exchange(MakeFrame(kNode, 0x2B, 0x200100, 0xFFF0)),
              MakeFrame(kNode, 0x60, 0x200100, 0xFFF0));

    Frame bad = MakeFrame(kNode, 0x40, 0x608100, 0);
    bad[9] ^= 0x01;
    EXPECT_FALSE(m_client->Exchange(bad, kSilenceMs));
    EXPECT_FALSE(m_client->Exchange(MakeFrame(kNode + 1, 0x40, 0x608100, 0), kSilenceMs));
    EXPECT_EQ(m_drive.RequestCount(), 2);

    // Garbage, then a good frame: the server finds its way back.
    const uint8_t garbage[] = {0x55, 0x01, 0x02};
    ASSERT_TRUE(m_client->Send(garbage, sizeof garbage));
    EXPECT_EQ(m_client->Exchange(MakeFrame(kNode, 0x40, 0x200200, 0)),
              MakeFrame(kNode, 0x4F, 0x200200, 7));
}

TEST_F(SimSerialServerTest, PortNameAndLinkNameTheTerminal)
{
    QTemporaryDir links;
    const QString link = links.path() + QStringLiteral("/dev/ttySIM0");
    StartServer(0, link);
    EXPECT_TRUE(m_server.SlavePath().startsWith(QStringLiteral("/dev/pts/")));
    EXPECT_EQ(QStringLiteral("/dev/") + m_server.PortName(), m_server.SlavePath());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), m_server.SlavePath());

    RawClient viaLink(link);
    ASSERT_TRUE(viaLink.isOpen());
    EXPECT_EQ(viaLink.Exchange(MakeFrame(kNode, 0x40, 0x200200, 0)),
              MakeFrame(kNode, 0x4F, 0x200200, 7));

    // Stopping is a drive that was unplugged: the line hangs up and the link goes.
    m_server.Stop();
    EXPECT_TRUE(m_client->HungUp());
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST_F(SimSerialServerTest, PacingAtTheBaudRate)
{
    StartServer(9600);
    // Request and reply each take 10 x 10 bits at 9600 baud: over 20 ms per exchange.
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        ASSERT_TRUE(m_client->Exchange(MakeFrame(kNode, 0x40, 0x200200, 0)));
        EXPECT_GE(timer.nsecsElapsed(), 20000000LL);
    }
}

TEST_F(SimSerialServerTest, FaultPlanOnTheWire)
{
    StartServer(0);
    const Frame read = MakeFrame(kNode, 0x40, 0x200200, 0);
    const Frame answer = MakeFrame(kNode, 0x4F, 0x200200, 7);
    CSimFaults& faults = m_drive.faults();

    faults.DropNext(1);
    EXPECT_FALSE(m_client->Exchange(read, kSilenceMs));
    EXPECT_EQ(m_client->Exchange(read), answer);

    faults.CorruptNext(1);
    Frame corrupt = answer;
    corrupt[9] = uint8_t(corrupt[9] + 1);
    EXPECT_EQ(m_client->Exchange(read), corrupt);
    EXPECT_EQ(m_client->Exchange(read), answer);

    faults.AbortNext(1, 0x08000000);
    EXPECT_EQ(m_client->Exchange(read), MakeFrame(kNode, 0x80, 0x200200, 0x08000000));

    faults.DelayReplies(60);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(m_client->Exchange(read), answer);
    EXPECT_GE(timer.elapsed(), 60);
    faults.DelayReplies(0);

    faults.SilentFor(300);
    EXPECT_FALSE(m_client->Exchange(read, kSilenceMs));
    std::optional<Frame> back;
    EXPECT_TRUE(TestSupport::WaitFor(
        [&] { return (back = m_client->Exchange(read, 100)).has_value(); }, kReplyTimeoutMs));
    EXPECT_EQ(back, answer);
}

} // namespace
