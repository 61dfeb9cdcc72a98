// CCommPort: loading the transport libraries, the open block it builds and what it forwards,
// checked against a probe library that records its calls.

#include "comm/CommPort.h"
#include "CommTestUtil.h"

#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

using namespace CommTest;

namespace {

struct Probe
{
    void (*reset)(int failCreate) = nullptr;
    const char* (*log)() = nullptr;
    const unsigned char* (*openBlock)() = nullptr;
    const uint32_t* (*canSettings)() = nullptr;
    const char* (*canDevice)() = nullptr;
};

class CommPortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QLibrary library(QStringLiteral(PROBE_TRANSPORT_PATH));
        m_probe.reset = reinterpret_cast<decltype(m_probe.reset)>(library.resolve("ProbeReset"));
        m_probe.log = reinterpret_cast<decltype(m_probe.log)>(library.resolve("ProbeLog"));
        m_probe.openBlock =
            reinterpret_cast<decltype(m_probe.openBlock)>(library.resolve("ProbeOpenBlock"));
        m_probe.canSettings =
            reinterpret_cast<decltype(m_probe.canSettings)>(library.resolve("ProbeCanSettings"));
        m_probe.canDevice =
            reinterpret_cast<decltype(m_probe.canDevice)>(library.resolve("ProbeCanDevice"));
        ASSERT_TRUE(m_probe.reset && m_probe.log && m_probe.openBlock && m_probe.canSettings &&
                    m_probe.canDevice)
            << library.errorString().toStdString();
        m_probe.reset(0);
    }

    // Puts the probe in place of both libraries.
    void InstallProbe()
    {
        for (const QString& name : {CCommPort::SerialLibraryName(), CCommPort::CanLibraryName()})
            ASSERT_TRUE(QFile::link(QStringLiteral(PROBE_TRANSPORT_PATH), m_dir.filePath(name)));
    }

    std::string Log() const { return m_probe.log(); }

    QTemporaryDir m_dir;
    Probe m_probe;
    MessageRecorder m_messages;
};

} // namespace

TEST_F(CommPortTest, MissingLibrariesAreReported)
{
    CCommPort port(m_dir.path());
    const Settings serial = SerialSettings(QStringLiteral("ttyS0"), 9600, 500);

    EXPECT_EQ(port.Load(CCommPort::ModeSerial), 0);
    EXPECT_EQ(m_messages.Take(), QStringList{QStringLiteral("get Comm interface failure")});
    EXPECT_EQ(port.Open(serial.data()), -1);
    EXPECT_EQ(m_messages.Take(), QStringList{QStringLiteral("Load comm DLL failure")});
    uint8_t bytes[16] = {};
    EXPECT_EQ(port.Send(bytes, 10), -1);

    EXPECT_EQ(port.Load(CCommPort::ModeCan), 0);
    EXPECT_EQ(m_messages.Take(), QStringList{QStringLiteral("get CAN interface failure")});
    const Settings can = CanSettings(1, 0x14, 500);
    EXPECT_EQ(port.Open(can.data()), -1);
    char version[256] = {};
    EXPECT_EQ(port.GetVersion(version), 0);
    EXPECT_EQ(port.Send(bytes, 16), -1);
    port.Close();
    EXPECT_TRUE(m_messages.Take().isEmpty());
}

TEST_F(CommPortTest, FailingFactoriesAreReported)
{
    InstallProbe();
    m_probe.reset(1);
    CCommPort port(m_dir.path());

    EXPECT_EQ(port.Load(CCommPort::ModeSerial), 0);
    EXPECT_EQ(m_messages.Take(), QStringList{QStringLiteral("Create comm instance failure")});
    const Settings serial = SerialSettings(QStringLiteral("ttyS0"), 9600, 500);
    EXPECT_EQ(port.Open(serial.data()), -1);
    EXPECT_EQ(m_messages.Take(), QStringList{QStringLiteral("Create comm instance failure")});

    EXPECT_EQ(port.Load(CCommPort::ModeCan), 0);
    EXPECT_EQ(m_messages.Take(), QStringList{QStringLiteral("Create CAN instance failure")});
    const Settings can = CanSettings(1, 0x14, 500);
    EXPECT_EQ(port.Open(can.data()), -1);
    EXPECT_EQ(Log(), "");
}

TEST_F(CommPortTest, OpenNeedsSettingsAndATransportMode)
{
    InstallProbe();
    const Settings serial = SerialSettings(QStringLiteral("ttyS0"), 9600, 500);
    {
        CCommPort port(m_dir.path());
        EXPECT_EQ(port.mode(), CCommPort::ModeNone);
        EXPECT_EQ(port.Open(serial.data()), -1);
        EXPECT_EQ(port.Load(CCommPort::ModeSerial), 1);
        EXPECT_EQ(port.Open(nullptr), -1);
        EXPECT_EQ(port.Load(1), 1); // offline: nothing to load
        EXPECT_EQ(port.Open(serial.data()), -1);
        uint8_t bytes[10] = {};
        EXPECT_EQ(port.Send(bytes, 10), -1);
    }
    // Only the creation and the final close and release reached the library.
    EXPECT_EQ(Log(), "S.Close S.Release ");
    EXPECT_TRUE(m_messages.Take().isEmpty());
}

TEST_F(CommPortTest, SerialOpenBlockLayout)
{
    InstallProbe();
    CCommPort port(m_dir.path());
    ASSERT_EQ(port.Load(CCommPort::ModeSerial), 1);
    const Settings serial = SerialSettings(QStringLiteral("ttyUSB0"), 115200, 500, 0x33);
    ASSERT_EQ(port.Open(serial.data()), 0);

    const unsigned char* block = m_probe.openBlock();
    // clang-format off
    const unsigned char expected[48] = {
        't', 0, 't', 0, 'y', 0, 'U', 0, 'S', 0, 'B', 0, '0', 0, 0, 0, // port name, UTF-16
        28, 0, 0, 0,                                                // DCBlength
        0x00, 0xC2, 0x01, 0x00,                                     // BaudRate 115200
        8, 0, 0, 0, 0,                                              // 8N1, DTR and RTS off
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                // rest of the DCB
        0xF4, 0x01, 0x00, 0x00};                                    // settings word 6: 500
    // clang-format on
    EXPECT_EQ(std::vector<unsigned char>(block, block + 48),
              std::vector<unsigned char>(expected, expected + 48));
}

TEST_F(CommPortTest, CanOpenPassesTheWordsAndTheChosenDevice)
{
    InstallProbe();
    CCommPort port(m_dir.path());
    ASSERT_EQ(port.Load(CCommPort::ModeCan), 1);
    port.SetCanDevice(QStringLiteral("virtualcan"), QStringLiteral("tcp://127.0.0.1:1/can1"));
    const Settings can = CanSettings(5, 0x011C, 500);

    EXPECT_EQ(port.Open(can.data()), 7); // the library's result is handed back
    EXPECT_EQ(std::vector<uint32_t>(m_probe.canSettings(), m_probe.canSettings() + 7),
              std::vector<uint32_t>(can.begin(), can.end()));
    EXPECT_STREQ(m_probe.canDevice(), "virtualcan|tcp://127.0.0.1:1/can1");

    char version[256] = {};
    EXPECT_EQ(port.GetVersion(version), 1);
    EXPECT_STREQ(version, "probe: 1.0");
}

TEST_F(CommPortTest, CallsGoToTheInstanceOfTheCurrentMode)
{
    InstallProbe();
    {
        CCommPort port(m_dir.path());
        ASSERT_EQ(port.Load(CCommPort::ModeSerial), 1);
        ASSERT_EQ(port.Load(CCommPort::ModeCan), 1);
        uint8_t bytes[16] = {};
        int length = 0;
        EXPECT_EQ(port.Send(bytes, 16), 0);
        EXPECT_EQ(port.Receive(bytes, &length), 0);
        EXPECT_EQ(length, 16);
        EXPECT_EQ(bytes[15], 0xA5);

        // Loading a kind again replaces its instance.
        ASSERT_EQ(port.Load(CCommPort::ModeSerial), 1);
        EXPECT_EQ(port.Send(bytes, 10), 0);
        EXPECT_EQ(port.Receive(bytes, &length), 0);
        EXPECT_EQ(length, 10);
        EXPECT_EQ(bytes[9], 0x5A);
        char version[256] = {};
        EXPECT_EQ(port.GetVersion(version), 0); // the serial library has no version
        port.Close();
    }
    EXPECT_EQ(Log(), "C.Send C.Receive S.Release S.Send10 S.Receive S.Close "
                     "S.Close S.Release C.Close C.Release ");
}
