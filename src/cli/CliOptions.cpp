#include "CliOptions.h"

#include "comm/CanBitRates.h"
#include "comm/TransportApi.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

namespace {

// One command: its arguments, what it does, which command options it takes and whether it talks
// to the drive.
struct CommandSpec
{
    const char* name;
    const char* arguments;
    const char* summary;
    QStringList options;
    bool usesDrive;
};

// A CANopen device answers an SDO within a few milliseconds on an idle bus.
constexpr uint32_t kScanReplyTimeoutMs = 20;

const QVector<CommandSpec>& CommandSpecs()
{
    static const QVector<CommandSpec> specs = {
        {"dict",
         "",
         "list the object dictionary (or the objects whose name contains --find)",
         {QStringLiteral("find")},
         false},
        {"units",
         "KEY",
         "the units of an object; * marks those a value can be written in",
         {},
         false},
        {"read", "KEY...", "read objects: raw value, or the abort code and its text", {}, true},
        {"write",
         "KEY VALUE",
         "write a raw value (decimal or 0x hex) that fits the object's type; --type for an object "
         "the dictionary lacks",
         {QStringLiteral("type")},
         true},
        {"upload", "KEY", "segmented read of a text object", {}, true},
        {"watch",
         "KEY...",
         "poll objects and print each value --count times (default 10)",
         {QStringLiteral("count")},
         true},
        {"dump", "", "read every dictionary object once", {}, true},
        {"page",
         "NAME",
         "a parameter page as an engineer sees it; --watch prints changes of its live rows",
         {QStringLiteral("watch"), QStringLiteral("count")},
         true},
        {"set",
         "KEY TEXT",
         "write a value in a unit (--unit, default the row's unit) through the page row logic, "
         "then read it back",
         {QStringLiteral("unit")},
         true},
        {"info",
         "",
         "the drive's identity and --count rounds of live values (default 3)",
         {QStringLiteral("count")},
         true},
        {"errors", "", "the drive's raised error bits by name, and its error mask", {}, true},
        {"mask",
         "BIT on|off",
         "report (on) or ignore (off) error bit 0-31, as the error page's check box does",
         {},
         true},
        {"pdo",
         "show|map NAME [KEY...]",
         "a PDO's mapping (NAME RPDO1-8, TPDO1-8); map writes the objects in the order CANopen "
         "devices require, logs each step and reads the mapping back",
         {},
         true},
        {"scope",
         "",
         "one capture of the drive's recorder into a CSV file: --channel KEY (up to four, "
         "16- or 32-bit objects), --trigger KEY (0: at once) --level N --edge rise|fall, "
         "[--period N (62.5 us)] [--count N] [--offset N (samples before the trigger)] --csv FILE",
         {QStringLiteral("channel"), QStringLiteral("trigger"), QStringLiteral("level"),
          QStringLiteral("edge"), QStringLiteral("period"), QStringLiteral("count"),
          QStringLiteral("offset"), QStringLiteral("csv")},
         true},
        {"export",
         "[LIST.cdo] OUT.cdi",
         "read every object of the list (default sys/default.cdo) into a configuration file; "
         "--dcf writes a CiA 306 device configuration file instead",
         {QStringLiteral("nodes"), QStringLiteral("dcf")},
         true},
        {"import",
         "IN.cdi",
         "write a configuration (.cdi, .txt or .dcf) into the drive and read every value back; "
         "--store stores it when every row took, --restart restarts the drive at the end",
         {QStringLiteral("nodes"), QStringLiteral("store"), QStringLiteral("restart"),
          QStringLiteral("force")},
         true},
        {"diff",
         "IN.cdi",
         "the objects whose value in the drive differs from the file, both in the object's unit",
         {QStringLiteral("nodes")},
         true},
        {"store",
         "",
         "store the motor and control parameters in the drive's non-volatile memory",
         {QStringLiteral("nodes")},
         true},
        {"batch",
         "FILE|-",
         "run one command a line (as on the command line, without connection options; # starts "
         "a comment) over one connection, printing \"[N] OK output\" or \"[N] ERROR kind: "
         "reason\" for line N; every line runs, the exit code is the worst line's",
         {},
         true},
        {"scan",
         "",
         "the CANopen nodes on the bus (--nodes, default 1-127) with device type, vendor, "
         "product, revision and serial; a short reply timeout unless --timeout gives one",
         {QStringLiteral("nodes")},
         true},
        {"nmt",
         "start|stop|preop|reset|reset-comm NODE",
         "an NMT command to a node on the CAN bus (0: every node)",
         {},
         true},
        {"monitor",
         "",
         "heartbeats (new states), emergencies and nodes whose heartbeat stopped, with their "
         "time, until --count of them came (default 10)",
         {QStringLiteral("count")},
         true},
    };
    return specs;
}

bool NumberOption(const QCommandLineParser& parser, const QString& name, int64_t min, int64_t max,
                  int64_t& out, QString& error);

// The scope command's options: keys, numbers and the file, all checked before the drive is.
bool ParseScopeOptions(const QCommandLineParser& parser, CliOptions& options, QString& error)
{
    CliOptions::Scope& scope = options.scope;
    for (const QString& text : parser.values(QStringLiteral("channel"))) {
        for (const QString& part : text.split(QLatin1Char(','))) {
            uint32_t key = 0;
            if (!ParseObjectKey(part, key)) {
                error =
                    QStringLiteral("--channel takes object keys (606C:00 or 606C00), not \"%1\"")
                        .arg(part);
                return false;
            }
            scope.channels.append(key);
        }
    }
    if (scope.channels.isEmpty() || scope.channels.size() > 4) {
        error = QStringLiteral("scope records one to four --channel objects");
        return false;
    }
    const QString trigger = parser.value(QStringLiteral("trigger"));
    if (trigger != QLatin1String("0") && !ParseObjectKey(trigger, scope.trigger)) {
        error = QStringLiteral("--trigger takes an object key or 0, not \"%1\"").arg(trigger);
        return false;
    }
    int64_t number = 0;
    if (parser.isSet(QStringLiteral("level"))) {
        if (!NumberOption(parser, QStringLiteral("level"), INT32_MIN, UINT32_MAX, number, error))
            return false;
        scope.level = int32_t(uint32_t(number));
    } else if (scope.trigger != 0) {
        error = QStringLiteral("scope with a --trigger object needs its --level");
        return false;
    }
    const QString edge = parser.value(QStringLiteral("edge"));
    if (!edge.isEmpty() && edge != QLatin1String("rise") && edge != QLatin1String("fall")) {
        error = QStringLiteral("--edge takes rise or fall, not \"%1\"").arg(edge);
        return false;
    }
    scope.rising = edge != QLatin1String("fall");
    if (parser.isSet(QStringLiteral("period"))) {
        if (!NumberOption(parser, QStringLiteral("period"), 1, 65535, number, error))
            return false;
        scope.period = int(number);
    }
    if (parser.isSet(QStringLiteral("offset"))) {
        if (!NumberOption(parser, QStringLiteral("offset"), -32768, 32767, number, error))
            return false;
        scope.offset = int(number);
        scope.haveOffset = true;
    }
    if (parser.isSet(QStringLiteral("count"))) {
        if (!NumberOption(parser, QStringLiteral("count"), 1, 65535, number, error))
            return false;
    }
    scope.csv = parser.value(QStringLiteral("csv"));
    if (scope.csv.isEmpty() || !parser.isSet(QStringLiteral("trigger"))) {
        error = QStringLiteral("scope needs --trigger and --csv FILE");
        return false;
    }
    return true;
}

const CommandSpec* FindCommand(const QString& name)
{
    for (const CommandSpec& spec : CommandSpecs())
        if (name == QLatin1String(spec.name))
            return &spec;
    return nullptr;
}

const QStringList kCommandOptions = {
    QStringLiteral("find"),    QStringLiteral("unit"),   QStringLiteral("type"),
    QStringLiteral("count"),   QStringLiteral("watch"),  QStringLiteral("channel"),
    QStringLiteral("trigger"), QStringLiteral("level"),  QStringLiteral("edge"),
    QStringLiteral("period"),  QStringLiteral("offset"), QStringLiteral("csv"),
    QStringLiteral("nodes"),   QStringLiteral("dcf"),    QStringLiteral("store"),
    QStringLiteral("restart"), QStringLiteral("force")};
// Command options that take no value.
const QStringList kSwitches = {QStringLiteral("watch"), QStringLiteral("dcf"),
                               QStringLiteral("store"), QStringLiteral("restart"),
                               QStringLiteral("force")};
// The commands whose results --tsv and --json print as records.
const QStringList kRecordCommands = {
    QStringLiteral("dict"),  QStringLiteral("units"),  QStringLiteral("read"),
    QStringLiteral("write"), QStringLiteral("upload"), QStringLiteral("watch"),
    QStringLiteral("dump"),  QStringLiteral("page"),   QStringLiteral("set"),
    QStringLiteral("info"),  QStringLiteral("errors"), QStringLiteral("mask"),
    QStringLiteral("pdo"),   QStringLiteral("export"), QStringLiteral("import"),
    QStringLiteral("diff"),  QStringLiteral("batch")};

const char kFormats[] =
    "--json prints each result as one JSON object per line (JSON Lines), --tsv as one line of "
    "tab-separated fields in the same order (no header); standard output then carries only "
    "these records, summaries go to standard error.\n";

const char kExitCodes[] =
    "exit codes: 0 every object answered as asked, 1 the drive refused something with an abort "
    "code (or a value could not be shown), 2 communication failure (no answer, an answer the "
    "link could not vouch for, a write not confirmed, the --deadline passed), 3 bad arguments, "
    "4 local data problem (dictionary, sys.ini, page file, a transfer file that cannot be read or "
    "saved)\n";

QString GeneralHelp(const QCommandLineParser& parser)
{
    QString text = QStringLiteral("usage: drivactl [connection] COMMAND [ARGS] [OPTIONS]\n\n");
    for (const CommandSpec& spec : CommandSpecs()) {
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QLatin1String(spec.name), QLatin1String(spec.arguments),
                         QLatin1String(spec.summary));
    }
    text += QStringLiteral("\nKEY is 6041:00 (hexadecimal index:subindex, as every output "
                           "names objects), 604100, or INDEX SUB as two arguments (6041 0). "
                           "'drivactl COMMAND --help' tells more about one command.\n\n");
    text += QLatin1String(kFormats) + QLatin1Char('\n');
    // The option list of the parser, without its own usage line.
    QString options = parser.helpText();
    const int start = options.indexOf(QStringLiteral("Options:"));
    text += start >= 0 ? options.mid(start) : options;
    text += QLatin1Char('\n') + QLatin1String(kExitCodes);
    return text;
}

QString CommandHelp(const CommandSpec& spec)
{
    QString text = QStringLiteral("usage: drivactl [connection] %1 %2")
                       .arg(QLatin1String(spec.name), QLatin1String(spec.arguments));
    for (const QString& option : spec.options)
        text +=
            QStringLiteral(" [--%1%2]")
                .arg(option, kSwitches.contains(option) ? QString()
                                                        : QStringLiteral(" ") + option.toUpper());
    if (kRecordCommands.contains(QLatin1String(spec.name)))
        text += QStringLiteral(" [--json|--tsv]");
    text += QStringLiteral("\n\n%1\n").arg(QLatin1String(spec.summary));
    if (kRecordCommands.contains(QLatin1String(spec.name)))
        text += QLatin1Char('\n') + QLatin1String(kFormats);
    if (QLatin1String(spec.name) == QLatin1String("read"))
        text += QStringLiteral("\nexample: drivactl --sim read 6041:00 6064 0\n");
    if (spec.usesDrive)
        text += QStringLiteral("\nconnection: --serial PORT [--baud N] | --can BACKEND:INTERFACE "
                               "[--bitrate 500k|1M|...|CODE] [--profile drive|canopen] | --sim; "
                               "[--node 1-127] "
                               "[--timeout %1-%2 ms]\n")
                    .arg(kMinReplyTimeoutMs)
                    .arg(kMaxReplyTimeoutMs);
    if (QLatin1String(spec.name) == QLatin1String("set"))
        text += QStringLiteral("\nTEXT is decimal (a fraction in units with a formula) or 0x "
                               "hexadecimal; HEX takes hexadecimal digits, ASCII one character "
                               "per byte. It must fit the object's type after the unit's "
                               "conversion, or nothing is written.\n");
    if (QLatin1String(spec.name) == QLatin1String("write"))
        text += QStringLiteral("\n--type u8|u16|u32|i8|i16|i32 gives the width of an object that "
                               "the dictionary lacks (another drive model, newer firmware).\n");
    if (QLatin1String(spec.name) == QLatin1String("batch"))
        text += QStringLiteral(
            "\nA line is a command with its arguments and options, quoted as in a shell; blank "
            "lines and lines starting with # are skipped. Each line gives one result line: "
            "\"[N] OK\" and the command's output (its lines joined by \" | \"), or \"[N] ERROR "
            "abort|communication|bad line|local data: \" and why. With --json or --tsv each "
            "result is a record (line, result, exit, reason, output; in JSON the output is the "
            "line's own records). The exit code is the worst line's: 1 a drive's refusal, 2 "
            "communication, 3 a bad line, 4 a local data problem.\n\nexample: printf 'read 6041 "
            "0\\nwrite 607A:00 1000\\n' | drivactl --sim batch -\n");
    if (spec.options.contains(QStringLiteral("nodes")))
        text += QStringLiteral("\n--nodes 1,2,3 runs the command on each drive of the bus in "
                               "turn (one summary line per node); export then writes OUT-nodeN "
                               "per node. Every row ends True, Alarm (the drive holds another "
                               "value) or Fail (named on stderr): exit 0 when every row is True, "
                               "1 when any is Alarm or Fail, 2 when the link failed.\n");
    text += QLatin1Char('\n') + QLatin1String(kExitCodes);
    return text;
}

// A whole number in [min, max] for an option; false with the operator's message.
bool NumberOption(const QCommandLineParser& parser, const QString& name, int64_t min, int64_t max,
                  int64_t& out, QString& error)
{
    const QString text = parser.value(name).remove(QChar(0x1));
    if (!ParseTypedInteger(text, out) || out < min || out > max) {
        error = QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\"")
                    .arg(name)
                    .arg(min)
                    .arg(max)
                    .arg(text);
        return false;
    }
    return true;
}

} // namespace

bool CliOptions::usesDrive() const
{
    const CommandSpec* spec = FindCommand(command);
    return spec && spec->usesDrive;
}

bool ParseObjectKey(const QString& text, uint32_t& key)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]+$"));
    const int sep = t.indexOf(QRegularExpression(QStringLiteral("[:.]")));
    QString indexText, subText;
    if (sep >= 0) {
        indexText = t.left(sep);
        subText = t.mid(sep + 1);
    } else if (t.size() == 6) {
        indexText = t.left(4);
        subText = t.mid(4);
    } else if (t.size() == 4) {
        indexText = t;
        subText = QStringLiteral("0");
    }
    if (!hex.match(indexText).hasMatch() || !hex.match(subText).hasMatch() ||
        indexText.size() > 4 || subText.size() > 2)
        return false;
    const uint index = indexText.toUInt(nullptr, 16);
    const uint sub = subText.toUInt(nullptr, 16);
    if (index == 0)
        return false;
    key = (index << 8) | sub;
    return true;
}

namespace {
// A negative number ("-1500", "-.5") is an argument, not an option: it is masked for the parser
// and unmasked after.
const QChar kNegativeMark(0x1);

QStringList MaskNegativeNumbers(const QStringList& arguments)
{
    static const QRegularExpression negative(QStringLiteral("^-\\.?[0-9]"));
    QStringList masked = arguments;
    for (int i = 1; i < masked.size(); ++i)
        if (negative.match(masked[i]).hasMatch())
            masked[i].prepend(kNegativeMark);
    return masked;
}

QStringList Unmasked(QStringList texts)
{
    for (QString& text : texts)
        text.remove(kNegativeMark);
    return texts;
}
} // namespace

QStringList JoinIndexSub(const QString& command, const QStringList& args)
{
    static const QRegularExpression index(QStringLiteral("^(0[xX])?[0-9A-Fa-f]{4}$"));
    static const QRegularExpression sub(QStringLiteral("^(0[xX])?[0-9A-Fa-f]{1,2}$"));
    // Where the keys stand: every argument from first on, or the first only when the count
    // says the key came in two.
    int first = 0;
    bool many = true;
    if (command == QLatin1String("read") || command == QLatin1String("watch")) {
        first = 0;
    } else if (command == QLatin1String("pdo")) {
        first = 2;
    } else if (command == QLatin1String("units") || command == QLatin1String("upload")) {
        many = false;
        if (args.size() != 2)
            return args;
    } else if (command == QLatin1String("write") || command == QLatin1String("set")) {
        many = false;
        if (args.size() != 3)
            return args;
    } else {
        return args;
    }
    QStringList joined = args.mid(0, first);
    for (int i = first; i < args.size(); ++i) {
        const bool pair = (many || i == first) && i + 1 < args.size() &&
                          index.match(args[i]).hasMatch() && sub.match(args[i + 1]).hasMatch();
        if (!pair) {
            joined << args[i];
            continue;
        }
        QString subText = args[i + 1];
        if (subText.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            subText = subText.mid(2);
        joined << args[i] + QLatin1Char(':') + subText;
        ++i;
    }
    return joined;
}

bool BitRateCode(const QString& text, QString& code)
{
    static const QRegularExpression rate(QStringLiteral("^([0-9]+)([kKmM]?)$"));
    const QRegularExpressionMatch match = rate.match(text);
    code = text;
    if (!match.hasMatch())
        return true; // not a rate: the code's own check names the problem
    const QString suffix = match.captured(2).toLower();
    bool ok = false;
    const qulonglong number = match.captured(1).toULongLong(&ok);
    if (!ok)
        return suffix.isEmpty();
    // A plain number is a code when the table knows it as one; codes and rates never meet.
    if (suffix.isEmpty() && (number > 0xFFFFFFFFu || CanBitRates::Find(uint32_t(number))))
        return true;
    const qulonglong bitRate = number * (suffix == QLatin1String("k")   ? 1000
                                         : suffix == QLatin1String("m") ? 1000000
                                                                        : 1);
    for (const CanBitRates::Rate& known : CanBitRates::kRates) {
        if (known.bitRate == bitRate) {
            code = QString::number(known.code);
            return true;
        }
    }
    // A plain number the table knows neither way is left to the code's range check.
    return suffix.isEmpty() && number <= 0xFFFF;
}

CliRequest ParseCliOptions(const QStringList& arguments, CliOptions& options, QString& output,
                           const CliOptions* batch)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show help (for one command after its name)."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the program's version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOptions({
        {QStringLiteral("serial"),
         QStringLiteral("Serial port as under /dev (ttyUSB0, pts/3, serial/by-id/...) or a path."),
         QStringLiteral("PORT")},
        {QStringLiteral("baud"), QStringLiteral("Serial baud rate (default 115200)."),
         QStringLiteral("N")},
        {QStringLiteral("can"), QStringLiteral("CAN plugin and interface (socketcan:can0)."),
         QStringLiteral("BACKEND:INTERFACE")},
        {QStringLiteral("bitrate"),
         QStringLiteral("CAN bit rate in bit/s (1M, 500k, 250k, 125k, 100k, 50k or 500000) or "
                        "its PCAN code (default 28, 500 kbit/s)."),
         QStringLiteral("RATE")},
        {QStringLiteral("node"), QStringLiteral("Drive node id, 1 to 127 (default 1)."),
         QStringLiteral("N")},
        {QStringLiteral("timeout"),
         QStringLiteral("Reply timeout in ms, %1 to %2 (default: sys.ini's timeout in [com] or "
                        "[can], else %3).")
             .arg(kMinReplyTimeoutMs)
             .arg(kMaxReplyTimeoutMs)
             .arg(kDefaultReplyTimeoutMs),
         QStringLiteral("MS")},
        {QStringLiteral("profile"),
         QStringLiteral("Protocol on CAN: drive (default) or canopen (a CiA 301 device)."),
         QStringLiteral("NAME")},
        {QStringLiteral("sim"), QStringLiteral("Start drivara-sim for the command.")},
        {QStringLiteral("deadline"),
         QStringLiteral("End the command after SECONDS (1 to 10^6) with exit 2 and what it "
                        "had so far."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("base"),
         QStringLiteral("Installation folder (default: found from the program's folder)."),
         QStringLiteral("DIR")},
        {QStringLiteral("find"), QStringLiteral("dict: only names that contain TEXT."),
         QStringLiteral("TEXT")},
        {QStringLiteral("unit"), QStringLiteral("set: the unit of TEXT."), QStringLiteral("NAME")},
        {QStringLiteral("type"), QStringLiteral("write: u8, u16, u32, i8, i16 or i32."),
         QStringLiteral("TYPE")},
        {QStringLiteral("count"),
         QStringLiteral("watch, page --watch, info: how many values or rounds, 1 to 10^9."),
         QStringLiteral("N")},
        {QStringLiteral("watch"), QStringLiteral("page: print the changes of live rows.")},
        {QStringLiteral("tsv"),
         QStringLiteral("Results as tab-separated records, one a line (no header).")},
        {QStringLiteral("json"), QStringLiteral("Results as JSON Lines: one object a line.")},
        {QStringLiteral("channel"), QStringLiteral("scope: a recorded object (up to four)."),
         QStringLiteral("KEY")},
        {QStringLiteral("trigger"), QStringLiteral("scope: the trigger object, 0 for at once."),
         QStringLiteral("KEY")},
        {QStringLiteral("level"), QStringLiteral("scope: the trigger level, raw."),
         QStringLiteral("N")},
        {QStringLiteral("edge"), QStringLiteral("scope: rise or fall."), QStringLiteral("EDGE")},
        {QStringLiteral("period"), QStringLiteral("scope: sampling period, 1 to 65535 x 62.5 us."),
         QStringLiteral("N")},
        {QStringLiteral("offset"),
         QStringLiteral("scope: samples before the trigger point, -32768 to 32767."),
         QStringLiteral("N")},
        {QStringLiteral("csv"), QStringLiteral("scope: the file the samples go to."),
         QStringLiteral("FILE")},
        {QStringLiteral("nodes"),
         QStringLiteral("export, import, diff, store: the node ids of the drives to run on, in "
                        "turn."),
         QStringLiteral("N,N...")},
        {QStringLiteral("dcf"), QStringLiteral("export: a CiA 306 device configuration file.")},
        {QStringLiteral("store"), QStringLiteral("import: store the parameters afterwards.")},
        {QStringLiteral("restart"), QStringLiteral("import: restart the drive at the end.")},
        {QStringLiteral("force"),
         QStringLiteral("import: write a .dcf made for another vendor or product.")},
    });
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command to run."));

    if (!parser.parse(MaskNegativeNumbers(arguments))) {
        output = parser.errorText() + QStringLiteral("\n(drivactl --help lists the options)\n");
        return CliRequest::Error;
    }
    const QStringList positional = Unmasked(parser.positionalArguments());
    options.command = positional.value(0);
    options.args = JoinIndexSub(options.command, positional.mid(1));
    const CommandSpec* spec = FindCommand(options.command);

    if (parser.isSet(version)) {
        output = QStringLiteral("drivactl %1\n").arg(QCoreApplication::applicationVersion());
        return CliRequest::Version;
    }
    if (parser.isSet(help) || options.command == QLatin1String("help")) {
        const CommandSpec* about =
            options.command == QLatin1String("help") ? FindCommand(options.args.value(0)) : spec;
        output = about ? CommandHelp(*about) : GeneralHelp(parser);
        return CliRequest::Help;
    }
    if (options.command.isEmpty()) {
        output = QStringLiteral("no command given\n") + GeneralHelp(parser);
        return CliRequest::Error;
    }
    if (!spec) {
        output = QStringLiteral("unknown command %1; commands:").arg(options.command);
        for (const CommandSpec& s : CommandSpecs())
            output += QLatin1Char(' ') + QLatin1String(s.name);
        output += QLatin1Char('\n');
        return CliRequest::Error;
    }
    for (const QString& option : kCommandOptions) {
        if (parser.isSet(option) && !spec->options.contains(option)) {
            output = QStringLiteral("--%1 does not apply to %2\n").arg(option, options.command);
            return CliRequest::Error;
        }
    }
    options.tsv = parser.isSet(QStringLiteral("tsv"));
    options.json = parser.isSet(QStringLiteral("json"));
    if ((options.tsv || options.json) && !kRecordCommands.contains(options.command)) {
        output = QStringLiteral("--%1 does not apply to %2\n")
                     .arg(options.json ? QStringLiteral("json") : QStringLiteral("tsv"),
                          options.command);
        return CliRequest::Error;
    }
    if (options.tsv && options.json) {
        output = QStringLiteral("choose either --json or --tsv\n");
        return CliRequest::Error;
    }
    if (batch) {
        // A line runs on the batch's connection, in the batch's format.
        for (const QString& name :
             CConnectionSettings::OptionNames() + QStringList{"sim", "base", "deadline", "nodes"}) {
            if (parser.isSet(name)) {
                output = QStringLiteral("--%1 belongs on the batch's own command line").arg(name);
                return CliRequest::Error;
            }
        }
        if (options.command == QLatin1String("batch")) {
            output = QStringLiteral("a batch line cannot run another batch");
            return CliRequest::Error;
        }
    }

    int64_t number = 0;
    QString& error = output;
    options.baseDir = parser.value(QStringLiteral("base"));
    options.find = parser.value(QStringLiteral("find"));
    options.unit = parser.value(QStringLiteral("unit"));
    options.startSim = parser.isSet(QStringLiteral("sim"));
    options.watch = parser.isSet(QStringLiteral("watch"));
    options.dcf = parser.isSet(QStringLiteral("dcf"));
    options.store = parser.isSet(QStringLiteral("store"));
    options.restart = parser.isSet(QStringLiteral("restart"));
    options.force = parser.isSet(QStringLiteral("force"));
    if (parser.isSet(QStringLiteral("nodes"))) {
        const QString text = parser.value(QStringLiteral("nodes"));
        for (const QString& part : text.split(QLatin1Char(','))) {
            // A range "FIRST-LAST" stands for every node id in it.
            int64_t first = 0;
            int64_t last = 0;
            const QStringList range = part.split(QLatin1Char('-'));
            if (range.size() == 2 && ParseTypedInteger(range.at(0), first) &&
                ParseTypedInteger(range.at(1), last) && first >= 1 && last <= 127 && first < last) {
                for (int64_t node = first; node <= last; ++node) {
                    if (!options.nodes.contains(uint32_t(node)))
                        options.nodes.append(uint32_t(node));
                }
                continue;
            }
            int64_t node = 0;
            if (!ParseTypedInteger(part, node) || node < 1 || node > 127 ||
                options.nodes.contains(uint32_t(node))) {
                output = QStringLiteral("--nodes takes different node ids from 1 to 127 separated "
                                        "by commas, not \"%1\"")
                             .arg(text);
                return CliRequest::Error;
            }
            options.nodes.append(uint32_t(node));
        }
        if (options.startSim) {
            output = QStringLiteral("--nodes runs on drives of one bus: give --can or --serial, "
                                    "not --sim");
            return CliRequest::Error;
        }
    }
    if (parser.isSet(QStringLiteral("serial")) && parser.isSet(QStringLiteral("can"))) {
        error = QStringLiteral("choose either --serial or --can");
        return CliRequest::Error;
    }
    // The connection options are checked as drivara and the settings windows check theirs.
    CConnectionSettings& connection = options.connection;
    connection.mode = CommMode::Rs232;
    connection.serial.baud = 115200;
    connection.can.bitrateCode = 28;
    connection.serial.driverId = connection.can.driverId = 1;
    for (const QString& name : CConnectionSettings::OptionNames()) {
        if (!parser.isSet(name))
            continue;
        const QString value = parser.value(name).remove(kNegativeMark);
        if (name == QLatin1String("baud") && value == QLatin1String("0")) {
            options.unpaced = true;
            continue;
        }
        QString given = value;
        if (name == QLatin1String("bitrate") && !BitRateCode(value, given)) {
            error = QStringLiteral("--bitrate takes 1M, 500k, 250k, 125k, 100k or 50k (also "
                                   "in bit/s, as 500000) or a PCAN code, not \"%1\"")
                        .arg(value);
            return CliRequest::Error;
        }
        if (!connection.ApplyOption(name, given, error))
            return CliRequest::Error;
    }
    // A scan waits for nodes that are mostly absent: a short wait for each, unless one is given.
    if (options.command == QLatin1String("scan") && !parser.isSet(QStringLiteral("timeout")))
        connection.can.timeoutMs = connection.serial.timeoutMs = kScanReplyTimeoutMs;
    if (parser.isSet(QStringLiteral("deadline"))) {
        if (!NumberOption(parser, QStringLiteral("deadline"), 1, 1000000, number, error))
            return CliRequest::Error;
        options.deadlineSeconds = int(number);
    }
    if (parser.isSet(QStringLiteral("count"))) {
        if (!NumberOption(parser, QStringLiteral("count"), 1, 1000000000, number, error))
            return CliRequest::Error;
        options.count = int(number);
    }
    if (options.command == QLatin1String("scope") && !ParseScopeOptions(parser, options, error))
        return CliRequest::Error;
    if (parser.isSet(QStringLiteral("type"))) {
        options.type = TypeWidthFromName(parser.value(QStringLiteral("type")));
        if (!options.type.valid()) {
            error = QStringLiteral("--type takes u8, u16, u32, i8, i16 or i32, not \"%1\"")
                        .arg(parser.value(QStringLiteral("type")));
            return CliRequest::Error;
        }
    }
    if (batch) {
        options.connection = batch->connection;
        options.unpaced = batch->unpaced;
        options.startSim = batch->startSim;
        options.baseDir = batch->baseDir;
        options.deadlineSeconds = batch->deadlineSeconds;
        options.tsv = batch->tsv;
        options.json = batch->json;
        return CliRequest::Run;
    }
    if (spec->usesDrive && !options.startSim && connection.serial.port.isEmpty() &&
        !options.usesCan()) {
        error = QStringLiteral("%1 needs a drive: --serial PORT, --can BACKEND:INTERFACE or --sim")
                    .arg(options.command);
        return CliRequest::Error;
    }
    if (options.unpaced && !options.startSim) {
        error = QStringLiteral("--baud 0 (no pacing) is only for the virtual drive (--sim)");
        return CliRequest::Error;
    }
    // The virtual drive names its port once started.
    if (spec->usesDrive && !options.startSim)
        error = connection.Validate();
    return error.isEmpty() ? CliRequest::Run : CliRequest::Error;
}
