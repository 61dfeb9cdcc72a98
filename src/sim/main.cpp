// drivara-sim: a virtual drive on a pseudo-terminal and/or a CAN bus, for trying the program and
// its tools without hardware.

#include "SimCanServer.h"
#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "base/BaseFolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPair>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <type_traits>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
}

struct Options
{
    QString dataDir;
    QString eds;
    uint32_t node = 1;
    bool serial = false;
    int baud = 0;
    QString link;
    QString canPlugin;
    QString canInterface;
    int drop = 0;
    int corrupt = 0;
    int delayMs = 0;
    int abortCount = 0;
    uint32_t abortCode = 0;
    int echo = 0;
    int misaddress = 0;
    int delayNext = 0;
    int delayNextMs = 0;
    int truncate = 0;
    int replay = 0;
    int duplicate = 0;
    int uploadAbortAfter = -1;
    uint32_t uploadAbortCode = 0;
    int uploadEndAt = 0;
    int unplugAfter = -1;
    int pass = 0;
    QList<QPair<uint32_t, QString>> values;
    uint32_t stepKey = 0;
    uint32_t stepValue = 0;
    bool report = false;
    bool silent = false;
    int silentForMs = 0;
    bool hasError = false;
    uint32_t errorBits = 0;
    bool untilStdinCloses = false;
};

// Numbers as decimal or with a 0x prefix.
bool ToNumber(const QString& text, qlonglong min, qlonglong max, qlonglong* out)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 0);
    if (!ok || value < min || value > max)
        return false;
    *out = value;
    return true;
}

// "N:M" with each part in its range; false when the option is given but not of that form.
bool TakePair(const QCommandLineParser& parser, const QString& name, const char* form,
              qlonglong maxFirst, qlonglong maxSecond, qlonglong* first, qlonglong* second,
              QString* error)
{
    const QString text = parser.value(name);
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() == 2 && ToNumber(parts[0], 0, maxFirst, first) &&
        ToNumber(parts[1], 0, maxSecond, second))
        return true;
    *error = QStringLiteral("--%1 wants %2, not \"%3\"").arg(name, QLatin1String(form), text);
    return false;
}

// Fills options from the parsed command line; false with the reason in error.
bool TakeOptions(const QCommandLineParser& parser, Options* options, QString* error)
{
    const auto number = [&](const QString& name, qlonglong min, qlonglong max, auto* out) {
        if (!parser.isSet(name))
            return true;
        qlonglong n = 0;
        if (!ToNumber(parser.value(name), min, max, &n)) {
            *error = QStringLiteral("--%1: bad value \"%2\"").arg(name, parser.value(name));
            return false;
        }
        *out = static_cast<std::remove_pointer_t<decltype(out)>>(n);
        return true;
    };
    // Never the current directory: the base folder is named or found from the program.
    const CBaseFolder found =
        parser.isSet(QStringLiteral("base"))
            ? CBaseFolder{QDir(parser.value(QStringLiteral("base"))).absolutePath(), {}, false}
            : FindBaseFolder(QCoreApplication::applicationDirPath());
    options->dataDir = parser.isSet(QStringLiteral("data")) ? parser.value(QStringLiteral("data"))
                                                            : found.base + QStringLiteral("/data");
    // An installation is shared and never written to: each drive links its terminal in the
    // user's runtime folder under a name of its own, so that several run side by side.
    const QString defaultLink =
        found.installed
            ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                  QStringLiteral("/drivara-sim/ttySIM-%1").arg(QCoreApplication::applicationPid())
            : found.base + QStringLiteral("/dev/ttySIM0");
    options->link =
        parser.isSet(QStringLiteral("link")) ? parser.value(QStringLiteral("link")) : defaultLink;
    options->eds = parser.value(QStringLiteral("eds"));
    options->serial = parser.isSet(QStringLiteral("serial"));
    options->silent = parser.isSet(QStringLiteral("silent"));
    options->untilStdinCloses = parser.isSet(QStringLiteral("until-stdin-closes"));
    options->report = parser.isSet(QStringLiteral("report"));
    if (!number(QStringLiteral("node"), 1, 127, &options->node) ||
        !number(QStringLiteral("baud"), 0, 10000000, &options->baud) ||
        !number(QStringLiteral("drop"), 0, 1000000, &options->drop) ||
        !number(QStringLiteral("corrupt"), 0, 1000000, &options->corrupt) ||
        !number(QStringLiteral("delay"), 0, 600000, &options->delayMs) ||
        !number(QStringLiteral("echo"), 0, 1000000, &options->echo) ||
        !number(QStringLiteral("misaddress"), 0, 1000000, &options->misaddress) ||
        !number(QStringLiteral("silent-for"), 0, 3600000, &options->silentForMs) ||
        !number(QStringLiteral("truncate"), 0, 1000000, &options->truncate) ||
        !number(QStringLiteral("replay"), 0, 1000000, &options->replay) ||
        !number(QStringLiteral("duplicate"), 0, 1000000, &options->duplicate) ||
        !number(QStringLiteral("end-upload"), 1, 1000000, &options->uploadEndAt) ||
        !number(QStringLiteral("unplug-after"), 0, 1000000, &options->unplugAfter) ||
        !number(QStringLiteral("after"), 0, 1000000, &options->pass) ||
        !number(QStringLiteral("error"), 0, 0xFFFFFFFFLL, &options->errorBits))
        return false;
    options->hasError = parser.isSet(QStringLiteral("error"));
    if (parser.isSet(QStringLiteral("can"))) {
        const QString text = parser.value(QStringLiteral("can"));
        // The interface may itself hold colons (tcp://127.0.0.1:35468/can0).
        const int colon = int(text.indexOf(QLatin1Char(':')));
        if (colon <= 0 || colon + 1 >= text.size()) {
            *error = QStringLiteral("--can wants PLUGIN:INTERFACE, not \"%1\"").arg(text);
            return false;
        }
        options->canPlugin = text.left(colon);
        options->canInterface = text.mid(colon + 1);
    }
    qlonglong first = 0;
    qlonglong second = 0;
    const auto pair = [&](const char* name, const char* form, qlonglong maxSecond) {
        return parser.isSet(QLatin1String(name)) &&
               TakePair(parser, QLatin1String(name), form, 1000000, maxSecond, &first, &second,
                        error);
    };
    if (pair("abort", "N:CODE", 0xFFFFFFFFLL)) {
        options->abortCount = int(first);
        options->abortCode = uint32_t(second);
    }
    if (pair("abort-upload", "SEGMENTS:CODE", 0xFFFFFFFFLL)) {
        options->uploadAbortAfter = int(first);
        options->uploadAbortCode = uint32_t(second);
    }
    if (pair("delay-next", "N:MS", 600000)) {
        options->delayNext = int(first);
        options->delayNextMs = int(second);
    }
    if (!error->isEmpty())
        return false;
    for (const QString& text : parser.values(QStringLiteral("set"))) {
        const int equals = int(text.indexOf(QLatin1Char('=')));
        qlonglong key = 0;
        if (equals != 6 || !ToNumber(QStringLiteral("0x") + text.left(6), 0, 0xFFFFFF, &key)) {
            *error = QStringLiteral("--set wants KEY=VALUE (KEY as 604100), not \"%1\"").arg(text);
            return false;
        }
        options->values.append({uint32_t(key), text.mid(equals + 1)});
    }
    if (parser.isSet(QStringLiteral("step"))) {
        const QString text = parser.value(QStringLiteral("step"));
        const int equals = int(text.indexOf(QLatin1Char('=')));
        qlonglong key = 0, value = 0;
        if (equals != 6 || !ToNumber(QStringLiteral("0x") + text.left(6), 1, 0xFFFFFF, &key) ||
            !ToNumber(text.mid(equals + 1), INT32_MIN, UINT32_MAX, &value)) {
            *error =
                QStringLiteral("--step wants KEY=NUMBER (KEY as 60FF00), not \"%1\"").arg(text);
            return false;
        }
        options->stepKey = uint32_t(key);
        options->stepValue = uint32_t(value);
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
        return false;
    }
    if (!options->serial && options->canPlugin.isEmpty()) {
        *error = QStringLiteral("nothing to serve: give --serial and/or --can");
        return false;
    }
    return true;
}

void AddOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("A virtual drive on a pseudo-terminal and/or a CAN bus, with a fault plan "
                       "for its replies."));
    parser.addHelpOption();
    parser.addVersionOption();
    const auto add = [&](const char* name, const char* description, const char* value = nullptr,
                         const QString& defaultValue = {}) {
        QCommandLineOption option(QString::fromLatin1(name), QString::fromLatin1(description));
        if (value) {
            option.setValueName(QString::fromLatin1(value));
            option.setDefaultValue(defaultValue);
        }
        parser.addOption(option);
    };
    add("base", "Base folder (default: the program's own folder, or its installation).", "DIR");
    add("data", "Folder with velmor.dat and velmor-defaults.tsv (default: BASE/data).", "DIR");
    add("eds",
        "Serve the objects of this EDS or DCF file instead of the data folder's "
        "dictionary; writes outside an object's limits are refused.",
        "FILE");
    add("node", "Node id the drive answers (1-127).", "N", QStringLiteral("1"));
    add("serial", "Serve a pseudo-terminal.");
    add("baud", "Keep the pace of a line at this rate (0: answer at once).", "N",
        QStringLiteral("0"));
    add("link",
        "Symbolic link to the terminal, none when empty (default: BASE/dev/ttySIM0 in a build "
        "tree, $XDG_RUNTIME_DIR/drivara-sim/ttySIM-PID when installed).",
        "PATH");
    add("can", "Serve a CAN bus through a QtSerialBus plugin.", "PLUGIN:INTERFACE");
    add("drop", "Answer nothing to the next N requests.", "N");
    add("corrupt", "Damage the next N replies.", "N");
    add("delay", "Send every reply MS late.", "MS");
    add("abort", "Refuse the next N requests with CODE.", "N:CODE");
    add("echo", "Send the next N requests back as they came.", "N");
    add("misaddress", "Name another object in the next N replies.", "N");
    add("delay-next", "Send the next N replies MS late.", "N:MS");
    add("truncate", "Cut the next N replies short.", "N");
    add("replay", "Send the previous reply again instead of the next N answers.", "N");
    add("duplicate", "Send the next N replies twice.", "N");
    add("abort-upload", "Refuse the next upload with CODE once it sent SEGMENTS segments.",
        "SEGMENTS:CODE");
    add("end-upload", "Mark segment N of the next upload last while bytes remain.", "N");
    add("unplug-after", "Answer N more requests, then close the line and end.", "N");
    add("after", "Serve the first N requests as if no fault were planned.", "N");
    add("set", "Set an object before serving (numbers decimal or 0x, text as it is).", "KEY=VALUE");
    add("step",
        "Write VALUE to KEY (60FF00, the target velocity) each time a started recorder has its "
        "samples before the trigger point, so that a capture shows the step response.",
        "KEY=VALUE");
    add("report", "On the way out, print the requests, the most arrivals of one write frame and "
                  "the planned faults that never came.");
    add("silent", "Answer nothing at all.");
    add("silent-for", "Answer nothing for MS, then come back.", "MS");
    add("error",
        "Error status bits (objects 2601:00 and 2602:00). While serving, writing a bit number "
        "(0-31) to 5FFF01 raises that bit, to 5FFF02 clears it.",
        "BITS");
    add("profile",
        "Protocol served: drive (the drive's own) or canopen (a CANopen device's SDO server, "
        "CiA 301).",
        "NAME", QStringLiteral("drive"));
    add("heartbeat", "On CAN: send a heartbeat every MS (0: none).", "MS", QStringLiteral("0"));
    add("emergency",
        "With --profile canopen on CAN: raise error bit BIT (0-31) and send its emergency "
        "once the first SDO request came.",
        "BIT");
    add("unsized", "With --profile canopen: expedited read replies state no size (0x42).");
    add("until-stdin-closes", "End when standard input closes.");
    add("nvram", "Keep what the drive stores in FILE, and start with what it holds.", "FILE");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("drivara-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DRIVARA_VERSION));
    // The virtual CAN hub reports every client at info level; the drive's own output is enough.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan.info=false"));
    QCommandLineParser parser;
    AddOptions(parser);
    parser.process(app); // --help and --version end here
    Options options;
    QString error;
    if (!TakeOptions(parser, &options, &error)) {
        std::fprintf(stderr, "drivara-sim: %s (see --help)\n", qPrintable(error));
        return 2;
    }

    CVirtualDrive drive;
    drive.SetStoreFile(parser.value(QStringLiteral("nvram")));
    if (!(options.eds.isEmpty() ? drive.Load(options.dataDir, &error)
                                : drive.LoadEds(options.eds, int(options.node), &error))) {
        std::fprintf(stderr, "drivara-sim: %s\n", qPrintable(error));
        return 1;
    }
    if (options.hasError)
        drive.SetErrorStatus(options.errorBits);
    const QString profile = parser.value(QStringLiteral("profile"));
    if (profile != QLatin1String("drive") && profile != QLatin1String("canopen")) {
        std::fprintf(stderr, "drivara-sim: --profile wants drive or canopen (see --help)\n");
        return 2;
    }
    drive.SetCanOpen(profile == QLatin1String("canopen"), parser.isSet(QStringLiteral("unsized")));
    for (const auto& [key, text] : options.values) {
        qlonglong number = 0;
        if (!drive.HasObject(key)) {
            std::fprintf(stderr, "drivara-sim: --set: no object %06X\n", key);
            return 2;
        }
        // Each setter leaves the other kind of object alone.
        if (ToNumber(text, INT32_MIN, UINT32_MAX, &number))
            drive.SetValue(key, uint32_t(number));
        drive.SetStringValue(key, text.toUtf8());
    }
    if (options.stepKey != 0) {
        if (!drive.HasObject(options.stepKey)) {
            std::fprintf(stderr, "drivara-sim: --step: no object %06X\n", options.stepKey);
            return 2;
        }
        drive.SetStimulus(options.stepKey, options.stepValue);
    }
    CSimFaults& faults = drive.faults();
    faults.DropNext(options.drop);
    faults.CorruptNext(options.corrupt);
    faults.DelayReplies(options.delayMs);
    faults.AbortNext(options.abortCount, options.abortCode);
    faults.EchoNext(options.echo);
    faults.MisaddressNext(options.misaddress);
    faults.DelayNext(options.delayNext, options.delayNextMs);
    faults.TruncateNext(options.truncate);
    faults.ReplayNext(options.replay);
    faults.DuplicateNext(options.duplicate);
    if (options.uploadAbortAfter >= 0)
        faults.AbortUploadAfter(options.uploadAbortAfter, options.uploadAbortCode);
    if (options.uploadEndAt > 0)
        faults.EndUploadAt(options.uploadEndAt);
    if (options.unplugAfter >= 0)
        faults.UnplugAfter(options.unplugAfter);
    faults.PassNext(options.pass);
    faults.SetSilent(options.silent);
    if (options.silentForMs > 0)
        faults.SilentFor(options.silentForMs);

    // Signals end the event loop through a pipe, so the link is removed on the way out.
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("drivara-sim: pipe");
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app,
                     [] { QCoreApplication::quit(); });

    CSimSerialServer serial(drive);
    CSimCanServer can(drive);
    // An unplugged drive is gone: for a bus this process hosts, the bus goes with it.
    const auto unplugged = [&app] {
        QMetaObject::invokeMethod(&app, [] {
            std::printf("unplugged\n");
            QCoreApplication::quit();
        });
    };
    serial.onUnplugged = unplugged;
    can.onUnplugged = unplugged;
    can.heartbeatPeriodMs = parser.value(QStringLiteral("heartbeat")).toInt();
    if (parser.isSet(QStringLiteral("emergency"))) {
        bool ok = false;
        const int bit = parser.value(QStringLiteral("emergency")).toInt(&ok);
        if (!ok || bit < 0 || bit > 31) {
            std::fprintf(stderr, "drivara-sim: --emergency wants a bit number of 0 to 31\n");
            return 2;
        }
        drive.SetErrorStatus((options.hasError ? options.errorBits : 0) | 1u << bit);
        can.emergencyOnFirstRequest = bit;
    }
    if (options.serial) {
        if (!serial.Start(options.node, options.baud, options.link)) {
            std::fprintf(stderr, "drivara-sim: %s\n", qPrintable(serial.ErrorString()));
            return 1;
        }
        std::printf("serial: %s\n", qPrintable(serial.SlavePath()));
        if (!options.link.isEmpty())
            std::printf("link: %s\n", qPrintable(QFileInfo(options.link).absoluteFilePath()));
    }
    if (!options.canPlugin.isEmpty()) {
        if (!can.Start(options.node, options.canPlugin, options.canInterface)) {
            std::fprintf(stderr, "drivara-sim: %s\n", qPrintable(can.ErrorString()));
            serial.Stop();
            return 1;
        }
        std::printf("can: %s:%s node %u\n", qPrintable(options.canPlugin),
                    qPrintable(options.canInterface), options.node);
    }
    std::fflush(stdout);

    // A parent that must never leave the drive running holds our stdin; its end ends us.
    QSocketNotifier* stdinNotifier = nullptr;
    if (options.untilStdinCloses) {
        stdinNotifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
        QObject::connect(stdinNotifier, &QSocketNotifier::activated, &app, [stdinNotifier] {
            char buffer[256];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                stdinNotifier->setEnabled(false);
                QCoreApplication::quit();
            }
        });
    }

    const int result = app.exec();
    can.Stop();
    serial.Stop();
    if (options.report)
        std::printf("requests: %d, a write frame at most %d times, %d planned faults unused\n",
                    drive.RequestCount(), drive.MaxWriteFrameCount(), faults.Unused());
    return result;
}
