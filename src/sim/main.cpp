// drivara-sim: a virtual drive on a pseudo-terminal and/or a CAN bus, for trying the program and
// its tools without hardware.

#include "SimCanServer.h"
#include "SimSerialServer.h"
#include "VirtualDrive.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
}

const char kUsage[] =
    "usage: drivara-sim [--data DIR] [--node N] [--serial] [--baud N] [--link PATH]\n"
    "                   [--can PLUGIN:INTERFACE] [--drop N] [--corrupt N] [--delay MS]\n"
    "                   [--abort N:CODE] [--silent] [--silent-for MS] [--error BITS]\n"
    "                   [--until-stdin-closes]\n";

struct Options
{
    QString dataDir;
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

bool Parse(const QStringList& args, Options* options, QString* error)
{
    options->dataDir = QDir::currentPath() + QStringLiteral("/data");
    options->link = QDir::currentPath() + QStringLiteral("/dev/ttySIM0");
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const auto value = [&](QString* out) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("%1 needs a value").arg(arg);
                return false;
            }
            *out = args[++i];
            return true;
        };
        const auto number = [&](qlonglong min, qlonglong max, qlonglong* out) {
            QString text;
            if (!value(&text))
                return false;
            if (!ToNumber(text, min, max, out)) {
                *error = QStringLiteral("%1: bad value \"%2\"").arg(arg, text);
                return false;
            }
            return true;
        };
        qlonglong n = 0;
        QString text;
        if (arg == QLatin1String("--data")) {
            if (!value(&options->dataDir))
                return false;
        } else if (arg == QLatin1String("--node")) {
            if (!number(1, 127, &n))
                return false;
            options->node = uint32_t(n);
        } else if (arg == QLatin1String("--serial")) {
            options->serial = true;
        } else if (arg == QLatin1String("--baud")) {
            if (!number(0, 10000000, &n))
                return false;
            options->baud = int(n);
        } else if (arg == QLatin1String("--link")) {
            if (!value(&options->link))
                return false;
        } else if (arg == QLatin1String("--can")) {
            if (!value(&text))
                return false;
            // The interface may itself hold colons (tcp://127.0.0.1:35468/can0).
            const int colon = int(text.indexOf(QLatin1Char(':')));
            if (colon <= 0 || colon + 1 >= text.size()) {
                *error = QStringLiteral("--can wants PLUGIN:INTERFACE, not \"%1\"").arg(text);
                return false;
            }
            options->canPlugin = text.left(colon);
            options->canInterface = text.mid(colon + 1);
        } else if (arg == QLatin1String("--drop")) {
            if (!number(0, 1000000, &n))
                return false;
            options->drop = int(n);
        } else if (arg == QLatin1String("--corrupt")) {
            if (!number(0, 1000000, &n))
                return false;
            options->corrupt = int(n);
        } else if (arg == QLatin1String("--delay")) {
            if (!number(0, 600000, &n))
                return false;
            options->delayMs = int(n);
        } else if (arg == QLatin1String("--abort")) {
            if (!value(&text))
                return false;
            const QStringList parts = text.split(QLatin1Char(':'));
            qlonglong count = 0;
            qlonglong code = 0;
            if (parts.size() != 2 || !ToNumber(parts[0], 0, 1000000, &count) ||
                !ToNumber(parts[1], 0, 0xFFFFFFFFLL, &code)) {
                *error = QStringLiteral("--abort wants N:CODE, not \"%1\"").arg(text);
                return false;
            }
            options->abortCount = int(count);
            options->abortCode = uint32_t(code);
        } else if (arg == QLatin1String("--silent")) {
            options->silent = true;
        } else if (arg == QLatin1String("--silent-for")) {
            if (!number(0, 3600000, &n))
                return false;
            options->silentForMs = int(n);
        } else if (arg == QLatin1String("--error")) {
            if (!number(0, 0xFFFFFFFFLL, &n))
                return false;
            options->hasError = true;
            options->errorBits = uint32_t(n);
        } else if (arg == QLatin1String("--until-stdin-closes")) {
            options->untilStdinCloses = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            *error = QString();
            return false;
        } else {
            *error = QStringLiteral("unknown option %1").arg(arg);
            return false;
        }
    }
    if (!options->serial && options->canPlugin.isEmpty()) {
        *error = QStringLiteral("nothing to serve: give --serial and/or --can");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The virtual CAN hub reports every client at info level; the drive's own output is enough.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan.info=false"));
    Options options;
    QString error;
    if (!Parse(app.arguments(), &options, &error)) {
        if (!error.isEmpty())
            std::fprintf(stderr, "drivara-sim: %s\n", qPrintable(error));
        std::fputs(kUsage, stderr);
        return error.isEmpty() ? 0 : 2;
    }

    CVirtualDrive drive;
    if (!drive.Load(options.dataDir, &error)) {
        std::fprintf(stderr, "drivara-sim: %s\n", qPrintable(error));
        return 1;
    }
    if (options.hasError)
        drive.SetErrorStatus(options.errorBits);
    CSimFaults& faults = drive.faults();
    faults.DropNext(options.drop);
    faults.CorruptNext(options.corrupt);
    faults.DelayReplies(options.delayMs);
    faults.AbortNext(options.abortCount, options.abortCode);
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
    if (options.serial) {
        if (!serial.Start(options.node, options.baud, options.link)) {
            std::fprintf(stderr, "drivara-sim: %s\n", qPrintable(serial.ErrorString()));
            return 1;
        }
        std::printf("serial: %s\n", qPrintable(serial.SlavePath()));
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
    return result;
}
