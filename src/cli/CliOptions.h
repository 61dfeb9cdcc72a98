#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// Exit codes of drivactl.
enum CliExit
{
    ExitOk = 0,
    ExitAbort = 1,
    ExitCommFailure = 2,
    ExitBadArguments = 3
};

// The parsed command line.
struct CliOptions
{
    QString baseDir;        // installation tree; default the current directory
    QString serialPort;     // --serial
    uint32_t baud = 115200; // --baud
    QString canBackend;     // --can BACKEND:INTERFACE
    QString canInterface;
    uint32_t bitrate = 28;  // --bitrate (PCAN code), 500 kBit/s
    uint32_t node = 1;      // --node
    uint32_t timeoutMs = 0; // --timeout; 0: sys.ini "timeout" of [com], else 100
    bool startSim = false;  // --sim: start drivara-sim for the command
    int count = 0;          // --count for watch and page --watch
    QString find;           // dict --find
    QString unit;           // set --unit
    bool watch = false;     // page --watch
    bool tsv = false;       // page --tsv: tab-separated rows for scripts
    QString command;
    QStringList args;

    bool usesDrive() const;
    bool usesCan() const { return !canBackend.isEmpty(); }
};

// Parses argv; on error returns false with a message for the operator.
bool ParseCliOptions(const QStringList& arguments, CliOptions& options, QString& error);
QString CliUsage();

// Object key from "604100", "0x604100", "6041:00", "0x6041:0" or "6041.0" (hexadecimal).
bool ParseObjectKey(const QString& text, uint32_t& key);
