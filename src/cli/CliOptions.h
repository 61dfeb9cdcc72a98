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
    // 500 kBit/s; also taken in bit/s: 500000, 500k, 1M), --node (1), --timeout (not chosen: the
    // saved one of the line, else 500).
    CConnectionSettings connection;
    bool unpaced = false;    // --baud 0 with --sim: the virtual drive answers at once
    bool startSim = false;   // --sim: start drivara-sim for the command
    int deadlineSeconds = 0; // --deadline: the whole command ends by then (0: none)
    int count = 0;           // --count for watch, page --watch and info; 0: the command's default
    QString find;            // dict --find
    QString unit;            // set --unit
    TypeWidth type;          // write --type
    bool watch = false;      // page --watch
    bool tsv = false;        // --tsv: results as tab-separated records for scripts
    bool json = false;       // --json: results as JSON Lines
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

// Parses the arguments (argv[0] first). Options may stand before or after the command. With
// batch, the arguments are one line of that batch: it takes no connection options and runs
// on the batch's connection, in its output format.
CliRequest ParseCliOptions(const QStringList& arguments, CliOptions& options, QString& output,
                           const CliOptions* batch = nullptr);

// Object key from "606000", "0x606000", "6060:00", "0x6060:0", "6060.0" or "6060"
// (hexadecimal).
bool ParseObjectKey(const QString& text, uint32_t& key);

// The command's arguments with each key given as INDEX SUB ("6041 0") joined into one
// ("6041:0"), where the command takes keys.
QStringList JoinIndexSub(const QString& command, const QStringList& args);

// A --bitrate text as the PCAN code the CAN transport takes: a code as before (28), or a bit
// rate of its table in bit/s (500000, 500k, 1M). False when it is a rate the table lacks.
bool BitRateCode(const QString& text, QString& code);
