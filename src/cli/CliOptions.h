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
    QVector<uint32_t> nodes; // --nodes 1,2,3: export, import, diff, store on each drive in turn
    bool dcf = false;        // export --dcf: a CiA 306 device configuration file
    bool store = false;      // import --store: store the parameters when every row took
    bool restart = false;    // import --restart: restart the drive at the end
    bool force = false;      // import --force: a .dcf of another vendor or product all the same
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
