#include "CliOptions.h"

#include <QRegularExpression>

namespace {
bool ParseUnsigned(const QString& text, uint32_t& out)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 0);
    if (ok)
        out = value;
    return ok;
}

const QStringList kDriveCommands = {QStringLiteral("read"),   QStringLiteral("write"),
                                    QStringLiteral("upload"), QStringLiteral("watch"),
                                    QStringLiteral("dump"),   QStringLiteral("page"),
                                    QStringLiteral("set"),    QStringLiteral("info")};
} // namespace

bool CliOptions::usesDrive() const
{
    return kDriveCommands.contains(command);
}

QString CliUsage()
{
    return QStringLiteral(
        "usage: drivactl [connection] COMMAND [ARGS]\n"
        "connection: --serial PORT [--baud N] | --can BACKEND:INTERFACE [--bitrate CODE]\n"
        "            [--node N] [--timeout MS] [--sim] [--base DIR]\n"
        "commands:\n"
        "  dict [--find TEXT]          list (or search) the object dictionary\n"
        "  units KEY                   the units and formulas of an object\n"
        "  read KEY...                 read objects (key as 604100 or 6041:00)\n"
        "  write KEY VALUE             write a raw value\n"
        "  upload KEY                  segmented read of a text object\n"
        "  watch KEY... [--count N]    poll objects and print their values\n"
        "  dump                        read every dictionary object once\n"
        "  page NAME [--watch] [--count N] [--tsv]  show a parameter page as an engineer sees it\n"
        "  set KEY TEXT [--unit NAME]  write a value in a unit, then read it back\n"
        "  info                        the drive's identity and a few live values\n"
        "exit codes: 0 all answered, 1 an object was refused, 2 communication failure, "
        "3 bad arguments\n");
}

bool ParseObjectKey(const QString& text, uint32_t& key)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    const int sep = t.indexOf(QRegularExpression(QStringLiteral("[:.]")));
    bool okIndex = false, okSub = true;
    uint index = 0, sub = 0;
    if (sep >= 0) {
        index = t.left(sep).toUInt(&okIndex, 16);
        sub = t.mid(sep + 1).toUInt(&okSub, 16);
    } else if (t.size() == 6) {
        index = t.left(4).toUInt(&okIndex, 16);
        sub = t.mid(4).toUInt(&okSub, 16);
    } else if (t.size() == 4) {
        index = t.toUInt(&okIndex, 16);
    }
    if (!okIndex || !okSub || index == 0 || index > 0xFFFF || sub > 0xFF)
        return false;
    key = (index << 8) | sub;
    return true;
}

bool ParseCliOptions(const QStringList& arguments, CliOptions& options, QString& error)
{
    // Options may stand anywhere; everything else is the command and its arguments.
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        auto value = [&](QString& out) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            out = arguments.at(++i);
            return true;
        };
        auto number = [&](uint32_t& out) {
            QString text;
            if (!value(text))
                return false;
            if (!ParseUnsigned(text, out)) {
                error = QStringLiteral("%1: not a number: %2").arg(a, text);
                return false;
            }
            return true;
        };
        QString text;
        if (a == QLatin1String("--serial")) {
            if (!value(options.serialPort))
                return false;
        } else if (a == QLatin1String("--baud")) {
            if (!number(options.baud))
                return false;
        } else if (a == QLatin1String("--can")) {
            if (!value(text))
                return false;
            const int colon = text.indexOf(QLatin1Char(':'));
            if (colon <= 0 || colon == text.size() - 1) {
                error = QStringLiteral("--can takes BACKEND:INTERFACE, e.g. socketcan:can0");
                return false;
            }
            options.canBackend = text.left(colon);
            options.canInterface = text.mid(colon + 1);
        } else if (a == QLatin1String("--bitrate")) {
            if (!number(options.bitrate))
                return false;
        } else if (a == QLatin1String("--node")) {
            if (!number(options.node))
                return false;
            if (options.node < 1 || options.node > 127) {
                error = QStringLiteral("--node must be 1 to 127");
                return false;
            }
        } else if (a == QLatin1String("--timeout")) {
            if (!number(options.timeoutMs))
                return false;
        } else if (a == QLatin1String("--count")) {
            uint32_t count = 0;
            if (!number(count))
                return false;
            options.count = static_cast<int>(count);
        } else if (a == QLatin1String("--base")) {
            if (!value(options.baseDir))
                return false;
        } else if (a == QLatin1String("--find")) {
            if (!value(options.find))
                return false;
        } else if (a == QLatin1String("--unit")) {
            if (!value(options.unit))
                return false;
        } else if (a == QLatin1String("--sim")) {
            options.startSim = true;
        } else if (a == QLatin1String("--watch")) {
            options.watch = true;
        } else if (a == QLatin1String("--tsv")) {
            options.tsv = true;
        } else if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            options.command = QStringLiteral("help");
            return true;
        } else if (a.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option %1").arg(a);
            return false;
        } else if (options.command.isEmpty()) {
            options.command = a;
        } else {
            options.args.append(a);
        }
    }
    if (options.command.isEmpty()) {
        error = QStringLiteral("no command given");
        return false;
    }
    if (options.usesDrive() && !options.startSim && options.serialPort.isEmpty() &&
        !options.usesCan()) {
        error = QStringLiteral("%1 needs a drive: --serial PORT, --can BACKEND:INTERFACE or --sim")
                    .arg(options.command);
        return false;
    }
    if (options.baud == 0 && !options.startSim) {
        error = QStringLiteral("--baud 0 (no pacing) is only for the virtual drive (--sim)");
        return false;
    }
    if (!options.serialPort.isEmpty() && options.usesCan()) {
        error = QStringLiteral("choose either --serial or --can");
        return false;
    }
    return true;
}
