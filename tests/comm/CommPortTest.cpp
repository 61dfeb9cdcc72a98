// CCommPort against a probe library: loading failures, the interface version, the serial open
// block, which instance each call reaches, and that every instance is released.

#include "comm/CommPort.h"
#include "CommTestUtil.h"
#include "ProbeState.h"

#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

using namespace CommTest;

namespace {

class CommPortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QLibrary library(QStringLiteral(PROBE_TRANSPORT_PATH));
        m_probe = reinterpret_cast<ProbeState*>(library.resolve("probeState"));
        ASSERT_TRUE(m_probe) << library.errorString().toStdString();
    }

    // Puts the probe in place of both libraries, its factories failing or not.
    void InstallProbe(bool failCreate = false, uint32_t version = kTransportInterfaceVersion)
    {
        for (const QString& name : {CCommPort::SerialLibraryName(), CCommPort::CanLibraryName()})
            ASSERT_TRUE(QFile::link(QStringLiteral(PROBE_TRANSPORT_PATH), m_dir.filePath(name)));
        m_probe->failCreate = failCreate;
        m_probe->version = version;
    }

    QTemporaryDir m_dir;
    ProbeState* m_probe = nullptr;
    TestSupport::MessageRecorder m_messages;
    const OpenSettings m_serial = SerialSettings(QStringLiteral("ttyUSB0"), 115200, 500, 0x33);
    const OpenSettings m_can = CanOpenSettings(1, 0x001C, 500);
    uint8_t m_bytes[16] = {};
    char m_version[256] = {};
};

// Without the libraries, then with factories that fail: each step says why, nothing is sent.
TEST_F(CommPortTest, LoadingFailuresAreReported)
{
    const auto expect = [&](const char* serialLoad, const char* serialOpen, const char* canLoad) {
        CCommPort port(m_dir.path());
        EXPECT_EQ(port.Load(CCommPort::ModeSerial), 0);
        EXPECT_EQ(m_messages.Take(), QStringList{QString::fromLatin1(serialLoad)});
        EXPECT_EQ(port.Open(m_serial.data()), -1);
        EXPECT_EQ(m_messages.Take(), QStringList{QString::fromLatin1(serialOpen)});
        EXPECT_EQ(port.Send(m_bytes, 10), -1);
        EXPECT_EQ(port.Load(CCommPort::ModeCan), 0);
        EXPECT_EQ(m_messages.Take(), QStringList{QString::fromLatin1(canLoad)});
        EXPECT_EQ(port.Open(m_can.data()), -1);
        EXPECT_EQ(port.GetVersion(m_version), 0);
        EXPECT_EQ(port.Send(m_bytes, 16), -1);
        port.Close();
        EXPECT_TRUE(m_messages.Take().isEmpty());
    };
    expect("get Comm interface failure", "Load comm DLL failure", "get CAN interface failure");
    InstallProbe(true);
    expect("Create comm instance failure", "Create comm instance failure",
           "Create CAN instance failure");
}

TEST_F(CommPortTest, LibraryOfAnotherInterfaceVersionIsRefusedByName)
{
    InstallProbe(false, kTransportInterfaceVersion + 1);
    CCommPort port(m_dir.path());
    EXPECT_EQ(port.Load(CCommPort::ModeCan), 0);
    EXPECT_EQ(m_messages.Take(),
              QStringList{QStringLiteral("%1 is built for transport interface version %2; this "
                                         "program needs version %3")
                              .arg(m_dir.filePath(CCommPort::CanLibraryName()))
                              .arg(kTransportInterfaceVersion + 1)
                              .arg(kTransportInterfaceVersion)});
    // Loading for a caller that reports later: the text comes back instead.
    QString error;
    EXPECT_EQ(port.Load(CCommPort::ModeSerial, &error), 0);
    EXPECT_TRUE(error.startsWith(m_dir.filePath(CCommPort::SerialLibraryName())))
        << error.toStdString();
    EXPECT_TRUE(m_messages.Take().isEmpty());
    EXPECT_EQ(m_probe->live, 0);
}

// An older library is still taken; only the slots it lacks are never called: the cancel, and
// the open by a name longer than the open block holds, which is refused instead. One older than
// the oldest is refused.
TEST_F(CommPortTest, AnOlderLibraryIsTakenWithoutTheLaterSlots)
{
    InstallProbe();
    const QString longName = QStringLiteral("serial/by-id/usb-FTDI_FT232R_A1-if00-port0");
    const OpenSettings settings = SerialSettings(longName, 115200, 500);
    const std::tuple<uint32_t, int, int, int> cases[] = {
        // version, loads (of two), cancels reaching an instance, the long name's open
        {kOldestTransportInterfaceVersion - 1, 0, 0, -1},
        {kOldestTransportInterfaceVersion, 2, 0, -1},
        {kOpenPortSinceVersion - 1, 2, 2, -1},
        {kTransportInterfaceVersion, 2, 2, 0},
    };
    for (const auto& [version, loads, cancels, opened] : cases) {
        SCOPED_TRACE(version);
        m_probe->version = version;
        m_probe->cancels = 0;
        CCommPort port(m_dir.path());
        QString error;
        int loaded = 0;
        for (int mode : {CCommPort::ModeCan, CCommPort::ModeSerial}) {
            loaded += port.Load(mode, &error);
            port.CancelReceive();
        }
        EXPECT_EQ(loaded, loads);
        EXPECT_EQ(m_probe->cancels, cancels);
        EXPECT_EQ(port.Open(settings.data(), &error, settings.portName), opened);
        EXPECT_EQ(QString::fromLatin1(m_probe->portName), opened == 0 ? longName : QString());
    }
}

// The serial open block is what a replacement library reads: its layout may not move. With both
// kinds loaded, each call reaches the instance of the current mode; offline reaches none.
TEST_F(CommPortTest, OpenBlockAndCallsReachTheInstanceOfTheCurrentMode)
{
    InstallProbe();
    {
        CCommPort port(m_dir.path());
        EXPECT_EQ(port.Open(m_serial.data()), -1); // no mode chosen yet
        ASSERT_EQ(port.Load(CCommPort::ModeSerial), 1);
        ASSERT_EQ(port.Open(m_serial.data()), 0);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(m_probe->openBlock), 48).toHex(),
                  "74007400790055005300420030000000" // "ttyUSB0", UTF-16, NUL-padded
                  "1c000000"                         // DCBlength
                  "00c20100"                         // BaudRate 115200
                  "0800000000"                       // 8N1, DTR and RTS off
                  "000000000000000000000000000000"   // rest of the DCB
                  "f4010000");                       // settings word 6: 500

        ASSERT_EQ(port.Load(CCommPort::ModeCan), 1);
        EXPECT_EQ(port.Open(m_can.data()), 7); // the library's result is handed back
        int length = 0;
        EXPECT_EQ(port.Send(m_bytes, 16), 0);
        EXPECT_EQ(port.Receive(m_bytes, &length), 0);
        EXPECT_EQ(length, 16);
        EXPECT_EQ(m_bytes[15], 0xA5);
        EXPECT_EQ(port.GetVersion(m_version), 1);

        // Loading a kind again replaces its instance; one of each kind is alive.
        ASSERT_EQ(port.Load(CCommPort::ModeSerial), 1);
        EXPECT_EQ(m_probe->live, 2);
        EXPECT_EQ(port.GetVersion(m_version), 0); // the serial library has no version
        port.Close();

        EXPECT_EQ(port.Load(1), 1); // offline: nothing to load, nothing to open or send
        EXPECT_EQ(port.Open(m_serial.data()), -1);
        EXPECT_EQ(port.Send(m_bytes, 10), -1);
    }
    EXPECT_EQ(m_probe->live, 0); // released with the port
    EXPECT_TRUE(m_messages.Take().isEmpty());
}

} // namespace
