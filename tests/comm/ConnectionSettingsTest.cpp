// The connection settings as sys.ini holds them: what loads, what Validate says about it, what
// a save writes (and leaves alone), and the options drivara and drivactl share.

#include "TestSupport.h"

#include "comm/ConnectionSettings.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// sys.ini in a temporary installation.
struct CIniFile : TestSupport::TempInstall
{
    explicit CIniFile(const char* text) : TempInstall(QString::fromUtf8(text)) {}
    QByteArray bytes() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    const QString path = TempInstall::path(QStringLiteral("sys/sys.ini"));
};

// "mode|port baud id timeout|backend:interface code id timeout"
QString Fields(const CConnectionSettings& s)
{
    const auto n = [](uint32_t v) { return QString::number(v); };
    return n(CommModeNumber(s.mode)) + '|' + s.serial.port + ' ' + n(s.serial.baud) + ' ' +
           n(s.serial.driverId) + ' ' + n(s.serial.timeoutMs) + '|' + s.can.backend + ':' +
           s.can.interfaceName + ' ' + n(s.can.bitrateCode) + ' ' + n(s.can.driverId) + ' ' +
           n(s.can.timeoutMs) + (s.can.profile.isEmpty() ? QString() : ' ' + s.can.profile);
}

} // namespace

TEST(ConnectionSettings, LoadsAndValidates)
{
    const struct
    {
        const char* ini;
        const char* fields;   // mode|port baud id timeout|backend:interface code id timeout
        const char* validate; // a text Validate's answer holds; "" for none
    } cases[] = {
        {"[sys]\ncomm=2\n[com]\ncomid=/dev/ttyUSB0\nbuadrate=115200\ndriverid=010\ntimeout=200\n",
         "2|ttyUSB0 115200 10 200|socketcan:can0 0 0 0", ""},
        {"[sys]\ncomm=5\n[can]\nbuadrate=0x1C\ndriverid=4\nbackend=virtualcan\ninterface=can0\n",
         "5| 0 0 0|virtualcan:can0 28 4 0", ""},
        // Keys missing, then values that are not what the key takes: each left not chosen, and
        // the first one of the mode named.
        {"[sys]\ncomm=2\n", "2| 0 0 0|socketcan:can0 0 0 0", "no serial port chosen"},
        {"[sys]\ncomm=2\n[com]\ncomid=ttyS0\nbuadrate=fast\ndriverid=1\n",
         "2|ttyS0 0 1 0|socketcan:can0 0 0 0",
         "buadrate=fast in section [com] is not a baud rate of 1 to 4000000"},
        {"[sys]\ncomm=2\n[com]\ncomid=ttyS0\nbuadrate=9600\ndriverid=0\n",
         "2|ttyS0 9600 0 0|socketcan:can0 0 0 0",
         "driverid=0 in section [com] is not a driver id of 1 to 127"},
        {"[sys]\ncomm=2\n[com]\ncomid=ttyS0\nbuadrate=9600\ndriverid=1\ntimeout=5\n",
         "2|ttyS0 9600 1 0|socketcan:can0 0 0 0",
         "timeout=5 in section [com] is not a reply timeout of 10 to"},
        {"[sys]\ncomm=2\n[com]\ncomid=/dev/ttyUSB10\nbuadrate=9600\ndriverid=1\n",
         "2|ttyUSB10 9600 1 0|socketcan:can0 0 0 0", ""}, // names of any length
        {"[sys]\ncomm=5\n[can]\nbuadrate=28\ndriverid=128\nbackend=socketcan\ninterface=can0\n",
         "5| 0 0 0|socketcan:can0 28 0 0", "driverid=128 in section [can]"},
        {"[sys]\ncomm=5\n[can]\nbuadrate=28\ndriverid=1\n", "5| 0 0 0|socketcan:can0 28 1 0", ""},
        // The mode: anything but 2 and 5 is offline (the rest is SysDataTest's).
        {"[sys]\ncomm=7\n", "1| 0 0 0|socketcan:can0 0 0 0", "The connecting mode is Offline!!"},
        {"", "1| 0 0 0|socketcan:can0 0 0 0", "The connecting mode is Offline!!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        const CIniFile file(c.ini);
        const CConnectionSettings settings = CConnectionSettings::Load(file.path);
        EXPECT_EQ(Fields(settings), QLatin1String(c.fields));
        EXPECT_EQ(CConnectionSettings::LoadMode(file.path), settings.mode);
        const QString answer = settings.Validate();
        EXPECT_EQ(answer.isEmpty(), !c.validate[0]) << answer.toStdString();
        EXPECT_TRUE(answer.contains(QLatin1String(c.validate))) << answer.toStdString();
    }
}

TEST(ConnectionSettings, SavesWhatIsChosenOnly)
{
    const CIniFile file("[sys]\r\nlang=2\r\ncomm=5\r\n[com]\r\ndriverid=5\r\n");
    CConnectionSettings settings;
    settings.mode = CommMode::Rs232;
    settings.serial = {QStringLiteral("pts/3"), 9600, 0, 0}; // driver id and timeout not chosen
    settings.can = {QStringLiteral("virtualcan"), QStringLiteral("can0"), 796, 9, 300,
                    QStringLiteral("canopen")};
    ASSERT_TRUE(
        settings.Save(file.path, CConnectionSettings::ModePart | CConnectionSettings::SerialPart));
    EXPECT_EQ(file.bytes(), "[sys]\r\nlang=2\r\ncomm=2\r\n[com]\r\ndriverid=5\r\ncomid=pts/3\r\n"
                            "buadrate=9600\r\n");
    ASSERT_TRUE(settings.Save(file.path, CConnectionSettings::CanPart));
    // What was saved loads again as it was, the driver id kept from the file.
    CConnectionSettings expected = settings;
    expected.serial.driverId = 5;
    EXPECT_EQ(Fields(CConnectionSettings::Load(file.path)), Fields(expected));
    // Saving what the file holds leaves the file alone.
    const QDateTime longAgo(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
    QFile written(file.path);
    ASSERT_TRUE(written.open(QIODevice::ReadWrite) &&
                written.setFileTime(longAgo, QFileDevice::FileModificationTime));
    written.close();
    EXPECT_TRUE(expected.Save(file.path, CConnectionSettings::ModePart |
                                             CConnectionSettings::SerialPart |
                                             CConnectionSettings::CanPart));
    EXPECT_EQ(QFileInfo(file.path).lastModified().toUTC(), longAgo);
}

TEST(ConnectionSettings, CommandLineOptions)
{
    const struct
    {
        const char* option;
        const char* text;
        const char* fields; // after the option; "" when refused
        const char* error;
    } cases[] = {
        {"serial", "/dev/pts/3", "2|pts/3 0 0 0|: 0 0 0", ""},
        {"serial", "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0",
         "2|serial/by-id/usb-FTDI_FT232R_A1-if00-port0 0 0 0|: 0 0 0", ""},
        {"can", "virtualcan:can0", "5| 0 0 0|virtualcan:can0 0 0 0", ""},
        {"can", "can0", "", "--can takes BACKEND:INTERFACE"},
        {"node", "0x7F", "1| 0 127 0|: 0 127 0", ""},
        {"node", "0", "", "--node takes a whole number from 1 to 127, not \"0\""},
        {"baud", " 9600", "", "--baud takes a whole number from 1 to 4000000"},
        {"bitrate", "65536", "", "--bitrate takes a whole number from 1 to 65535"},
        {"timeout", "10", "1| 0 0 10|: 0 0 10", ""},
        {"timeout", "010000", "1| 0 0 10000|: 0 0 10000", ""}, // never octal
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CConnectionSettings settings;
        QString error;
        const bool taken = settings.ApplyOption(QLatin1String(c.option), c.text, error);
        EXPECT_EQ(taken, c.fields[0] != 0) << error.toStdString();
        if (taken)
            EXPECT_EQ(Fields(settings), QLatin1String(c.fields));
        else
            EXPECT_TRUE(error.contains(QLatin1String(c.error))) << error.toStdString();
    }
}
