// The serial library (data/COM.so) over a real pseudo-terminal pair, loaded through CCommPort.
// The test plays the drive on the master side by hand.

#include "CommTestUtil.h"
#include "TestSupport.h"
#include "comm/CommPort.h"
#include "comm/SdoFrame.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace CommTest;

namespace {

constexpr int kWaitMs = 5000; // generous: the machine may be loaded

// The drive's end of a pseudo-terminal pair.
class PtyDrive
{
public:
    PtyDrive()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        char name[64];
        if (ptsname_r(m_master, name, sizeof(name)) == 0)
            m_slavePath = QString::fromLocal8Bit(name);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyDrive() { CloseMaster(); }
    PtyDrive(const PtyDrive&) = delete;
    PtyDrive& operator=(const PtyDrive&) = delete;

    bool valid() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    QString slavePath() const { return m_slavePath; }
    // The port name the program uses: the path below /dev ("pts/3").
    QString portName() const { return m_slavePath.mid(5); }

    // Reads until count bytes arrived or the wait ran out.
    QByteArray Read(int count, int timeoutMs = kWaitMs) const
    {
        QByteArray bytes;
        QElapsedTimer timer;
        timer.start();
        while (bytes.size() < count && timer.elapsed() < timeoutMs) {
            pollfd pfd{m_master, POLLIN, 0};
            if (poll(&pfd, 1, 20) <= 0)
                continue;
            char buffer[64];
            const ssize_t n = ::read(m_master, buffer, sizeof(buffer));
            if (n > 0)
                bytes.append(buffer, static_cast<int>(n));
        }
        return bytes;
    }

    bool Write(const QByteArray& bytes) const
    {
        return ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size())) ==
               bytes.size();
    }

    // The drive is unplugged.
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slavePath;
};

QByteArray ToBytes(const SdoFrame::Serial& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<int>(frame.size()));
}

class SerialTransportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_drive.valid());
        ASSERT_EQ(m_port.Load(CCommPort::ModeSerial), 1)
            << m_messages.Take().join(' ').toStdString();
    }

    int Open(uint32_t timeoutMs, uint32_t baudRate = 115200)
    {
        const Settings settings = SerialSettings(m_drive.portName(), baudRate, timeoutMs);
        return m_port.Open(settings.data());
    }

    int Send(const SdoFrame::Serial& frame) { return m_port.Send(frame.data(), 10); }

    QByteArray Receive(int* result = nullptr)
    {
        uint8_t bytes[10] = {};
        int length = -1;
        const int r = m_port.Receive(bytes, &length);
        if (result)
            *result = r;
        return QByteArray(reinterpret_cast<const char*>(bytes), length < 0 ? 0 : length);
    }

    MessageRecorder m_messages;
    PtyDrive m_drive;
    CCommPort m_port{TestSupport::DistDir() + QStringLiteral("/data")};
};

} // namespace

TEST_F(SerialTransportTest, RequestAndReplyCrossTheLineUnchanged)
{
    ASSERT_EQ(Open(2000), 0);
    const SdoFrame::Serial request = SdoFrame::BuildSerial(1, SdoFrame::kRead, 0x604100, 0);
    ASSERT_EQ(Send(request), 0);
    EXPECT_EQ(m_drive.Read(10).toHex(' '), QByteArray("01 40 41 60 00 00 00 00 00 1e"));

    const SdoFrame::Serial reply = SdoFrame::BuildSerial(1, 0x4B, 0x604100, 0x0637);
    ASSERT_TRUE(m_drive.Write(ToBytes(reply)));
    int result = -1;
    EXPECT_EQ(Receive(&result), ToBytes(reply));
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(m_messages.Take().isEmpty());
}

TEST_F(SerialTransportTest, ControlCharactersPassInRawMode)
{
    ASSERT_EQ(Open(2000), 0);
    // Newline, carriage return, XON/XOFF, interrupt, EOF and erase characters of a cooked tty.
    const QByteArray awkward = QByteArray::fromHex("0a0d1113037f041aff00");
    ASSERT_EQ(m_port.Send(reinterpret_cast<const uint8_t*>(awkward.constData()), 10), 0);
    EXPECT_EQ(m_drive.Read(10).toHex(), awkward.toHex());
    ASSERT_TRUE(m_drive.Write(awkward));
    EXPECT_EQ(Receive().toHex(), awkward.toHex());
}

TEST_F(SerialTransportTest, ReplyInPiecesIsAssembled)
{
    ASSERT_EQ(Open(kWaitMs), 0);
    const SdoFrame::Serial reply = SdoFrame::BuildSerial(1, 0x43, 0x606400, 0x12345678);
    std::thread drive([this, &reply] {
        // Answer only once the request is in, in two pieces like a slow adapter.
        if (m_drive.Read(10).size() != 10)
            return;
        m_drive.Write(ToBytes(reply).left(4));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        m_drive.Write(ToBytes(reply).mid(4));
    });
    ASSERT_EQ(Send(SdoFrame::BuildSerial(1, SdoFrame::kRead, 0x606400, 0)), 0);
    EXPECT_EQ(Receive().toHex(' '), ToBytes(reply).toHex(' '));
    drive.join();
}

TEST_F(SerialTransportTest, SilentDriveEndsTheWaitAfterTheTimeout)
{
    ASSERT_EQ(Open(300), 0);
    ASSERT_EQ(Send(SdoFrame::BuildSerial(1, SdoFrame::kRead, 0x604100, 0)), 0);
    QElapsedTimer timer;
    timer.start();
    int result = -1;
    EXPECT_TRUE(Receive(&result).isEmpty());
    EXPECT_EQ(result, 0);
    EXPECT_GE(timer.elapsed(), 250);
    EXPECT_LT(timer.elapsed(), kWaitMs);

    // A cut-off reply comes back short, which the link counts as a bad reply.
    ASSERT_TRUE(m_drive.Write(QByteArray::fromHex("01434160")));
    EXPECT_EQ(Receive().toHex(), QByteArray("01434160"));
}

TEST_F(SerialTransportTest, StaleInputIsDiscardedBeforeASend)
{
    ASSERT_EQ(Open(2000), 0);
    // A second handle on the same terminal shows what waits in its input queue.
    const int watcher = ::open(m_drive.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(watcher, 0);
    const auto pending = [watcher] {
        int count = 0;
        return ioctl(watcher, FIONREAD, &count) == 0 ? count : -1;
    };
    ASSERT_TRUE(m_drive.Write(QByteArray::fromHex("4f4f4f4f4f")));
    ASSERT_TRUE(TestSupport::WaitFor([&] { return pending() == 5; }, kWaitMs));

    ASSERT_EQ(Send(SdoFrame::BuildSerial(1, SdoFrame::kRead, 0x604100, 0)), 0);
    EXPECT_EQ(pending(), 0);
    ASSERT_EQ(m_drive.Read(10).size(), 10);
    const SdoFrame::Serial reply = SdoFrame::BuildSerial(1, 0x4B, 0x604100, 0x0250);
    ASSERT_TRUE(m_drive.Write(ToBytes(reply)));
    EXPECT_EQ(Receive().toHex(' '), ToBytes(reply).toHex(' '));
    ::close(watcher);
}

TEST_F(SerialTransportTest, EveryListedBaudRateOpensRaw8N1)
{
    for (uint32_t rate : {4800u, 9600u, 14400u, 19200u, 38400u, 56000u, 115200u, 256000u})
        EXPECT_EQ(Open(500, rate), 0) << rate;

    ASSERT_EQ(Open(500, 9600), 0);
    const int watcher = ::open(m_drive.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(watcher, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(watcher, &tio), 0);
    ::close(watcher);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

TEST_F(SerialTransportTest, UnpluggedDriveFailsFastInsteadOfHanging)
{
    ASSERT_EQ(Open(10000), 0);
    // Unplugged while the link waits for the answer.
    std::thread drive([this] {
        if (m_drive.Read(10).size() == 10)
            m_drive.CloseMaster();
    });
    ASSERT_EQ(Send(SdoFrame::BuildSerial(1, SdoFrame::kRead, 0x604100, 0)), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(Receive().isEmpty());
    drive.join();
    EXPECT_LT(timer.elapsed(), kWaitMs);

    timer.restart();
    EXPECT_NE(Send(SdoFrame::BuildSerial(1, SdoFrame::kRead, 0x604100, 0)), 0);
    EXPECT_TRUE(Receive().isEmpty());
    EXPECT_LT(timer.elapsed(), kWaitMs);
}

TEST_F(SerialTransportTest, ClosedPortRefusesAndReopens)
{
    ASSERT_EQ(Open(500), 0);
    m_port.Close();
    EXPECT_NE(Send(SdoFrame::BuildSerial(1, SdoFrame::kRead, 0x604100, 0)), 0);
    EXPECT_TRUE(Receive().isEmpty());

    ASSERT_EQ(Open(500), 0);
    ASSERT_EQ(Send(SdoFrame::BuildSerial(2, SdoFrame::kRead, 0x604100, 0)), 0);
    EXPECT_EQ(m_drive.Read(10).left(2).toHex(), QByteArray("0240"));
}

TEST_F(SerialTransportTest, PortNamesResolveBelowDevOrTheCurrentFolder)
{
    const auto open = [this](const QString& name) {
        const Settings settings = SerialSettings(name, 115200, 500);
        return m_port.Open(settings.data());
    };
    EXPECT_NE(open(QString()), 0);
    EXPECT_NE(open(QStringLiteral("nosuch9")), 0);
    EXPECT_NE(open(QStringLiteral("../null")), 0);
    EXPECT_NE(open(QStringLiteral("null")), 0); // not a terminal

    // The virtual drive's stable name: a link in dev/ of the current folder.
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("dev")));
    ASSERT_TRUE(QFile::link(m_drive.slavePath(), folder.filePath(QStringLiteral("dev/ttyDRV0"))));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const int opened = open(QStringLiteral("ttyDRV0"));
    QDir::setCurrent(previous);
    ASSERT_EQ(opened, 0);
    ASSERT_EQ(Send(SdoFrame::BuildSerial(7, SdoFrame::kRead, 0x604100, 0)), 0);
    EXPECT_EQ(m_drive.Read(10).left(1).toHex(), QByteArray("07"));
}
