// The serial library (data/COM.so) over a real pseudo-terminal pair, loaded through CCommPort.
// The test plays the drive on the master side by hand.

#include "CommTestUtil.h"
#include "TestSupport.h"
#include "comm/CommPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace CommTest;

namespace {

constexpr int kWaitMs = 5000; // generous: the machine may be loaded

// Node 1 reads the statusword.
const QByteArray kStatusRead = QByteArray::fromHex("0140416000000000001e");

class SerialTransportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        char name[64];
        ASSERT_TRUE(m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0 &&
                    ptsname_r(m_master, name, sizeof(name)) == 0);
        m_slavePath = QString::fromLocal8Bit(name);
        ASSERT_EQ(m_port.Load(CCommPort::ModeSerial), 1)
            << m_messages.Take().join(' ').toStdString();
    }
    void TearDown() override { Unplug(); }

    // By default the pseudo-terminal, by the name the program uses: the path below /dev ("pts/3").
    int Open(uint32_t timeoutMs = 500, uint32_t baudRate = 115200, const char* name = nullptr)
    {
        const QString port = name ? QString::fromLatin1(name) : m_slavePath.mid(5);
        const OpenSettings settings = SerialSettings(port, baudRate, timeoutMs);
        return m_port.Open(settings.data(), nullptr, settings.portName);
    }
    int Send(const QByteArray& bytes)
    {
        return m_port.Send(reinterpret_cast<const uint8_t*>(bytes.constData()), 10);
    }
    // What arrived; the port's result goes to m_received.
    QByteArray Receive()
    {
        uint8_t bytes[10] = {};
        int length = -1;
        m_received = m_port.Receive(bytes, &length);
        return QByteArray(reinterpret_cast<const char*>(bytes), std::max(length, 0));
    }

    // The drive's side: reads until count bytes arrived or the wait ran out.
    QByteArray DriveRead(int count = 10) const
    {
        QByteArray bytes;
        char buffer[64];
        TestSupport::WaitFor(
            [&] {
                bytes.append(buffer, int(std::max<ssize_t>(::read(m_master, buffer, 64), 0)));
                return bytes.size() >= count;
            },
            kWaitMs);
        return bytes;
    }
    bool DriveWrite(const QByteArray& bytes) const
    {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    void Unplug() { ::close(std::exchange(m_master, -1)); }
    // A second handle on the program's end of the line, to look at the terminal from there.
    int Watch() const { return ::open(m_slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY); }

    TestSupport::MessageRecorder m_messages;
    int m_master = -1;
    int m_received = -1;
    QString m_slavePath;
    CCommPort m_port{TestSupport::DistDir() + QStringLiteral("/data")};
};

TEST_F(SerialTransportTest, BytesCrossTheLineUnchanged)
{
    ASSERT_EQ(Open(kWaitMs), 0);
    const QByteArray reply = QByteArray::fromHex("014b41600037060000d6");
    QByteArray request;
    std::thread drive([&] {
        // Answers once the request is in, in two pieces like a slow adapter.
        request = DriveRead();
        DriveWrite(reply.left(4));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        DriveWrite(reply.mid(4));
    });
    ASSERT_EQ(Send(kStatusRead), 0);
    EXPECT_EQ(Receive().toHex(' '), reply.toHex(' '));
    EXPECT_EQ(m_received, 0);
    drive.join();
    EXPECT_EQ(request.toHex(' '), "01 40 41 60 00 00 00 00 00 1e");

    // Newline, carriage return, XON/XOFF, interrupt, EOF and erase characters of a cooked tty.
    const QByteArray awkward = QByteArray::fromHex("0a0d1113037f041aff00");
    ASSERT_EQ(Send(awkward), 0);
    EXPECT_EQ(DriveRead().toHex(), awkward.toHex());
    ASSERT_TRUE(DriveWrite(awkward));
    EXPECT_EQ(Receive().toHex(), awkward.toHex());
    EXPECT_TRUE(m_messages.Take().isEmpty());
}

TEST_F(SerialTransportTest, SilentDriveTimesOutAndStaleInputIsDiscarded)
{
    ASSERT_EQ(Open(300), 0);
    ASSERT_EQ(Send(kStatusRead), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(Receive().isEmpty());
    EXPECT_EQ(m_received, 0);
    EXPECT_GE(timer.elapsed(), 250);
    EXPECT_LT(timer.elapsed(), kWaitMs);

    // A cut-off reply comes back short, which the link counts as a bad reply.
    ASSERT_TRUE(DriveWrite(QByteArray::fromHex("01434160")));
    EXPECT_EQ(Receive().toHex(), "01434160");

    // Input that came in unasked is dropped before the next request goes out.
    const int watcher = Watch();
    ASSERT_GE(watcher, 0);
    const auto pending = [watcher] {
        int count = 0;
        return ioctl(watcher, FIONREAD, &count) == 0 ? count : -1;
    };
    ASSERT_TRUE(DriveWrite(QByteArray::fromHex("4f4f4f4f4f")));
    ASSERT_TRUE(TestSupport::WaitFor([&] { return pending() == 5; }, kWaitMs));

    ASSERT_EQ(Send(kStatusRead), 0);
    EXPECT_EQ(pending(), 0);
    ASSERT_EQ(DriveRead(20).size(), 20); // both requests, the unanswered one and this
    const QByteArray reply = QByteArray::fromHex("014b41600050020000c1");
    ASSERT_TRUE(DriveWrite(reply));
    EXPECT_EQ(Receive().toHex(' '), reply.toHex(' '));
    ::close(watcher);
}

TEST_F(SerialTransportTest, EveryListedBaudRateOpensRaw8N1)
{
    for (uint32_t rate : {4800u, 14400u, 19200u, 38400u, 56000u, 115200u, 256000u, 9600u})
        EXPECT_EQ(Open(500, rate), 0) << rate;
    const int watcher = Watch();
    ASSERT_GE(watcher, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(watcher, &tio), 0);
    ::close(watcher);
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B9600));
    // Raw input and output show in BytesCrossTheLineUnchanged; a pseudo-terminal carries no
    // framing, so that is checked here.
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
}

TEST_F(SerialTransportTest, UnpluggedDriveFailsFastInsteadOfHanging)
{
    ASSERT_EQ(Open(10000), 0);
    // Unplugged while the link waits for the answer.
    std::thread drive([this] {
        if (DriveRead().size() == 10)
            Unplug();
    });
    ASSERT_EQ(Send(kStatusRead), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(Receive().isEmpty());
    drive.join();
    EXPECT_LT(timer.elapsed(), kWaitMs);
    EXPECT_NE(Send(kStatusRead), 0);
}

TEST_F(SerialTransportTest, PortNamesResolveBelowDevOrTheBaseFolder)
{
    // Each refusal names the port and why.
    const std::pair<const char*, const char*> bad[] = {{"", "not a device name"},
                                                       {"nosuch9", "no such port"},
                                                       {"../null", "not a device name"},
                                                       {"null", "not a serial port"}};
    for (const auto& [name, cause] : bad) {
        EXPECT_NE(Open(500, 115200, name), 0) << name;
        EXPECT_TRUE(m_port.LastError().contains(QLatin1String(cause)))
            << name << ": " << m_port.LastError().toStdString();
    }
    ASSERT_EQ(Open(500), 0);
    EXPECT_TRUE(m_port.LastError().isEmpty());
    m_port.Close();
    EXPECT_NE(Send(kStatusRead), 0);

    // The virtual drive's stable name: a link in dev/ of the base folder, wherever the program
    // was started from.
    QTemporaryDir base;
    ASSERT_TRUE(QDir(base.path()).mkdir(QStringLiteral("dev")));
    ASSERT_TRUE(QFile::link(m_slavePath, base.filePath(QStringLiteral("dev/ttyDRV0"))));
    EXPECT_NE(Open(500, 115200, "ttyDRV0"), 0);
    m_port.SetDeviceFolder(base.path());
    ASSERT_EQ(Open(500, 115200, "ttyDRV0"), 0);
    ASSERT_EQ(Send(QByteArray(kStatusRead).replace(0, 1, "\x07")), 0);
    EXPECT_EQ(DriveRead().left(1).toHex(), "07");

    // Long nested names (as under /dev/serial/by-id), below dev/ and as an absolute path.
    const QString stable = QStringLiteral("serial/by-id/usb-Drivara_Drive_0001-if00-port0");
    ASSERT_TRUE(QDir(base.path()).mkpath(QStringLiteral("dev/serial/by-id")) &&
                QFile::link(m_slavePath, base.filePath(QStringLiteral("dev/") + stable)));
    for (const QString& name : {stable, base.filePath(QStringLiteral("dev/") + stable)}) {
        ASSERT_EQ(Open(500, 115200, name.toLatin1().constData()), 0) << name.toStdString();
        ASSERT_EQ(Send(QByteArray(kStatusRead).replace(0, 1, "\x09")), 0);
        EXPECT_EQ(DriveRead().left(1).toHex(), "09");
    }

    // A second program on the same line is refused.
    CCommPort second(TestSupport::DistDir() + QStringLiteral("/data"));
    ASSERT_EQ(second.Load(CCommPort::ModeSerial), 1);
    second.SetDeviceFolder(base.path());
    EXPECT_NE(second.Open(SerialSettings(QStringLiteral("ttyDRV0"), 115200, 500).data()), 0);
    EXPECT_TRUE(second.LastError().contains(QStringLiteral("busy")))
        << second.LastError().toStdString();
}

} // namespace
