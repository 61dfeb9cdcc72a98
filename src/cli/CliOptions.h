#pragma once

#include "base/TextNumbers.h"
#include "comm/ConnectionSettings.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

// Exit codes of drivactl.
enum CliExit
{
    ExitOk = 0,          // every object answered as asked
    ExitAbort = 1,       // the drive refused something, or a value could not be shown
    ExitCommFailure = 2, // no answer from the drive
    ExitBadArguments = 3,
    ExitDataProblem = 4 // dictionary, sys.ini or page file
};

// The parsed command line.
struct CliOptions
{
    QString baseDir; // installation tree; default the current directory
    // --serial PORT or --can BACKEND:INTERFACE (the mode), --baud (115200), --bitrate (28,
    // 500 kBit/s), --node (1), --timeout (not chosen: the saved one of the line, else 500).
    CConnectionSettings connection;
    bool unpaced = false;    // --baud 0 with --sim: the virtual drive answers at once
    bool startSim = false;   // --sim: start drivara-sim for the command
    int deadlineSeconds = 0; // --deadline: the whole command ends by then (0: none)
    int count = 0;           // --count for watch, page --watch and info; 0: the command's default
    QString find;            // dict --find
    QString unit;            // set --unit
    TypeWidth type;          // write --type
    bool watch = false;      // page --watch
    bool tsv = false;        // page --tsv: tab-separated rows for scripts
    // scope: the recorder's channels, trigger and settings (-1: leave the drive's), the CSV.
    struct Scope
    {
        QVector<uint32_t> channels;
        uint32_t trigger = 0; // 0: manual trigger
        int32_t level = 0;
        bool rising = true;
        int period = -1;
        int offset = -1;
        bool haveOffset = false;
        QString csv;
    } scope;
    QString command;
    QStringList args;

    bool usesDrive() const;
    bool usesCan() const { return connection.mode == CommMode::Can; }
};

// What the command line asks for.
enum class CliRequest
{
    Run,
    Help,    // text in `output`, exit 0
    Version, // text in `output`, exit 0
    Error    // text in `output`, exit 3
};

// Parses the arguments (argv[0] first). Options may stand before or after the command.
CliRequest ParseCliOptions(const QStringList& arguments, CliOptions& options, QString& output);

// Object key from "606000", "0x606000", "6060:00", "0x6060:0" or "6060.0" (hexadecimal).
bool ParseObjectKey(const QString& text, uint32_t& key);
