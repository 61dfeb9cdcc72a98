#pragma once

#include "ConnectionFacts.h"
#include "LinkProfile.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

// How the program reaches the drive: the communication mode, the serial port, baud rate and
// driver id, the CAN plugin, interface, bit-rate code and driver id, and each line's reply
// timeout. sys.ini keeps them (section "sys" key "comm", sections "com" and "can"); this class
// is the one place that reads, checks and writes them, for the settings windows, the main
// frame, drivara's command line and drivactl. A value of 0 or an empty text means "not chosen".
class CConnectionSettings
{
public:
    struct Serial
    {
        QString port;           // as under /dev: "ttyUSB0", "pts/3"
        uint32_t baud = 0;      // bit/s
        uint32_t driverId = 0;  // node id, 1 to 127
        uint32_t timeoutMs = 0; // 0: the link's default
    };
    struct Can
    {
        QString backend;          // QtSerialBus plugin: "socketcan", "peakcan", "virtualcan"
        QString interfaceName;    // "can0"
        uint32_t bitrateCode = 0; // PCAN BTR0/BTR1
        uint32_t driverId = 0;
        uint32_t timeoutMs = 0;
        QString profile; // "drive" or "canopen"; empty: not chosen (drive)
    };

    CommMode mode = CommMode::Offline;
    Serial serial;
    Can can;

    // What Save writes.
    enum Part
    {
        ModePart = 1,
        SerialPart = 2,
        CanPart = 4
    };

    // Reads sys.ini. A missing key leaves its value not chosen (the CAN line is socketcan:can0
    // unless named); so does a value that is not what the key takes, which Validate names when
    // the value is still not chosen then.
    static CConnectionSettings Load(const QString& sysIniPath);
    // Only the mode ("comm" of section "sys"; anything but 2 and 5 is offline).
    static CommMode LoadMode(const QString& sysIniPath);
    // Writes the parts asked for. Values not chosen are left as the file has them: a driver id
    // of 0 never reaches the file. False when the file cannot be written.
    bool Save(const QString& sysIniPath, int parts) const;

    // Empty when the settings of the mode can open a connection; otherwise the operator's
    // message about the first value that cannot be used.
    QString Validate() const;

    // Takes the mode and every value chosen in given (a command line over the saved settings).
    void Override(const CConnectionSettings& given);

    // Command-line options of drivara and drivactl, checked as Validate checks the values:
    // --serial PORT, --baud N, --can BACKEND:INTERFACE, --bitrate CODE, --node N (either line),
    // --timeout MS (either line), --profile drive|canopen (CAN). --serial and --can choose the
    // mode. False with the message.
    static const QStringList& OptionNames();
    bool ApplyOption(const QString& name, const QString& text, QString& error);

    // The values of the mode in use.
    uint32_t driverId() const;
    uint32_t timeoutMs() const; // the link's default when not chosen
    // The rules the exchanges follow: canopen only when chosen for a CAN line.
    LinkProfile profile() const;

    // Status bar text of an open connection of the mode.
    QString OpenStatusText() const;

private:
    QString LoadProblem(const char* section, const char* key) const;

    // "com/timeout" and the message for each value Load could not take.
    QVector<QPair<QString, QString>> m_problems;
};

// Operator texts about the connection that more than one place shows.
namespace CommText {
QString Closed();      // "Comm Status: Closed"
QString OfflineMode(); // "The connecting mode is Offline!!"
// "Comm Status: Open  PORT  BAUD"
QString SerialOpen(const QString& port, uint32_t baud);
// "Comm Status: Open" and the rate of a code, or "Comm Status: Closed" for any other code.
QString CanOpen(uint32_t bitrateCode);
// "Comm Status: Open" and a bit rate as the CAN settings window lists it.
QString CanOpen(const QString& rateText);
} // namespace CommText
