// drivactl end to end: the real binary against the real virtual drive over a pseudo-terminal
// and virtualcan, one case table per kind of answer.

#include "../comm/CommTestUtil.h"
#include "CliTestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace CliTest;

namespace {

const char kSysIni[] = "[sys]\nlang=2\ncomm=2\n[com]\ntimeout=500\n";
// The drive's terminal by a long path, as a /dev/serial/by-id name would be.
const char kLink[] = "/serial/by-id/usb-Drivara-Virtual-Drive-if00-port0";

// drivactl on the base folder (--base, unless the arguments name one), started from the folder
// cwd (the base folder when empty).
CliRun Drivactl(const QString& base, QStringList args, const QStringList& env = {},
                const QString& cwd = {})
{
    if (!base.isEmpty() && !args.contains(QLatin1String("--base")))
        args = QStringList{"--base", base} + args;
    return RunDrivactl(args, env, cwd.isEmpty() ? base : cwd);
}

QStringList Args(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '));
}

// A virtual drive on a pseudo-terminal for the life of the object; its objects keep what the
// commands wrote, so a later read shows what was (or was not) written.
struct CSimulator : CSimProcess
{
    CSimulator(const QString& base, const QStringList& extra = {})
        : CSimProcess(QStringList{"--base", base, "--serial", "--link", base + kLink} + extra)
    {
    }
};

class DrivactlTest : public ::testing::Test
{
protected:
    TestSupport::TempInstall install{QString::fromLatin1(kSysIni)};
};

} // namespace

// Every row of the table against one virtual drive: the exit code, what stdout and stderr say,
// and the object read back afterwards (nothing written where the command must not write).
TEST_F(DrivactlTest, AnswersAgainstTheVirtualDrive)
{
    CSimulator sim(install.base());
    ASSERT_FALSE(sim.port.isEmpty());
    const struct
    {
        const char* args;
        int exitCode;
        const char* out;      // a regular expression stdout must match; "" nothing asked
        const char* err;      // a text stderr must hold; "" none asked
        const char* readBack; // "KEY value": the raw value the drive holds afterwards
    } cases[] = {
        // Reads: values, and refusals with their abort code and text.
        // Keys in every spelling, INDEX SUB as two arguments among them; printed as 6041:00.
        {"read 604100 6041:00 6041 0 0x6041 0x0 6064 0", 0,
         "^(6041:00 Statusword = 567 \\(0x0237\\)\n){4}6064:00 Position actual value = ", "", ""},
        {"read 604100 2FFF00", 1, "2FFF:00 .* = abort 0x06010001 Attempt to read a write only", "",
         ""},
        {"read 6041 100", 3, "^$", "not an object key: 100", ""},
        // A deadline ends a command with what it had.
        {"watch 604100 --count 1000000 --deadline 1", 2, "^6041:00 ", "deadline of 1 s passed", ""},
        // Raw writes: no octal, within the type; refusals say so.
        {"write 607A00 010", 0, "= 10 \\(0x0000000a\\)", "", "607A00 10"},
        {"write 607A 0 11", 0, "^607A:00 Target position = 11 ", "", "607A00 11"},
        {"set 607A 0 10", 0, "^607A:00 Target position = 10 ", "", "607A00 10"},
        {"write 607A00 3000000000", 3, "^$", "from -2147483648 to 2147483647", "607A00 10"},
        // The whole text is the number: a blank before or after it is refused, a sign is not.
        {"write 607A00 _12", 3, "^$", "\" 12\" is not a whole number", "607A00 10"},
        {"set 607A00 12_", 3, "^$", "\"12 \" is not a", "607A00 10"},
        {"write 607A00 +12", 0, "= 12 \\(0x0000000c\\)", "", "607A00 12"},
        {"write 3FFF00 5", 3, "^$", "--type", ""},
        {"write 3FFF00 5 --type u16", 1, "abort 0x06020000", "", ""},
        // Writes in a unit (each check is UnitConversionTest's): a refusal names the range in
        // the unit and writes nothing; a value is rounded to the nearest raw step.
        {"set 60FF00 abc", 3, "^$", "from -983040.000 to 983039.999 rpm", "60FF00 0"},
        {"set 220006 1.15", 0, "^2200:06 Phase inductance = 1.150 mH\n$", "", "220006 115"},
        {"set 60FF00 1500 --unit rpm", 0, "^60FF:00 Target velocity = 1500.000 rpm\n$", "",
         "60FF00 3276800"},
        {"set 60FF00 100 --unit furlong", 3, "^$", "unit furlong cannot be written",
         "60FF00 3276800"},
        {"set 604100 1", 3, "^$", "read-only", "604100 567"},
        // Units: each once, marked when a value can be written in it.
        {"units 60FF00", 0, "\\* rpm .*\n\\* inc/s .*\n\\* DEC\n\\* HEX\n\\* ASCII\n$", "", ""},
        // Pages: a name that is not a page, a page without live rows to watch.
        {"page NoSuchPage", 3, "^$", "VelocityLoop", ""},
        {"page MotorConfig --watch", 0, "^MotorConfig\n1 ", "MotorConfig has no live rows", ""},
        {"page BasicOperate --tsv --watch --count 3", 0,
         "^(([^\t\n]*\t){4}[0-9A-F]{4}:[0-9A-F]{2}\n)+$", "BasicOperate", ""},
        // Whole-drive commands: dump leaves out the write-only object, info answers in full.
        {"dump", 0, "^1000:00 .*\n(.*\n){300,}", "1 object left out (not readable)", ""},
        // Error bits raised in the drive by name; a bit masked as the error page's box does.
        {"write 5FFF01 17 --type u8", 0, "", "", "260200 2"},
        {"errors", 0, "^status 0x00020000, mask 0xFFFFFFFF\nbit 17\tNegative limit switch\n$", "",
         ""},
        {"mask 17 off", 0, "^mask 0xFFFDFFFF \\(Negative", "", "260002 65533"},
        {"mask 32 on", 3, "^$", "BIT (0 to 31)", ""},
        // PDO mappings: written and read back; one that no drive takes is refused unsent.
        {"pdo map TPDO3 6041:00 606400", 0,
         "6/6 write 1802:01 = 00000381: ok\n.*\nTPDO3 "
         "COB-ID 00000381 \\(valid\\), 48 bits\n1 6041:00 16 Statusword\n2 6064:00 32 ",
         "", "1A0200 2"},
        {"pdo map RPDO1 6040:00 60FF:00 607A:00", 3, "^$", "80 bits, more than", "160000 1"},
        {"pdo map RPDO1 2220:01", 3, "^$", "2220:01 cannot be mapped", "160001 1614807056"},
        // Arguments that are no good never reach the drive.
        {"--count 0 watch 604100", 3, "^$", "--count takes a whole number from 1 to 1000000000",
         ""},
        {"--unit rpm read 604100", 3, "^$", "does not apply", ""},
        {"read 60G100", 3, "^$", "not an object key", ""},
        // Connection options are checked as drivara and the settings windows check theirs.
        {"--serial LINK read 604100", 0, "^6041:00 Statusword = 567 ", "", ""},
        {"frobnicate", 3, "^$", "unknown command", ""},
        {"--version", 0, "^drivactl 1\\.", "", ""},
        // A pseudo-terminal nobody answers on is a communication failure.
        {"--serial pts/999 read 604100", 2, "^$", "pts/999", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        QStringList args = Args(c.args);
        args.replaceInStrings(QStringLiteral("_"), QStringLiteral(" ")); // a blank in a value
        args.replaceInStrings(QStringLiteral("LINK"), install.base() + kLink);
        if (!QStringList{"units", "--version", "--serial"}.contains(args.first()))
            args = QStringList{"--serial", sim.port} + args;
        const CliRun run = Drivactl(install.base(), args);
        EXPECT_EQ(run.exitCode, c.exitCode) << Show(run);
        EXPECT_TRUE(run.out.contains(QRegularExpression(QString::fromUtf8(c.out)))) << Show(run);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.err))) << Show(run);
        EXPECT_TRUE(c.exitCode != 0 || c.err[0] || run.err.isEmpty()) << Show(run);
        if (!c.readBack[0])
            continue;
        const QStringList readBack = Args(c.readBack);
        const CliRun read = Drivactl(install.base(), {"--serial", sim.port, "read", readBack[0]});
        EXPECT_TRUE(read.out.contains(QStringLiteral(" = %1 (").arg(readBack[1]))) << Show(read);
    }
}

// Local data problems: named at once, exit 4, nothing sent to a drive. (Each kind of damage to
// the dictionary is SdoDatabaseTest's; any of them stops drivactl, as the cut one here.)
TEST_F(DrivactlTest, DataProblemsExitWithFour)
{
    const auto file = [](const char* relative, const QByteArray& text) {
        return [=](TestSupport::TempInstall& at) {
            QFile::remove(at.path(QLatin1String(relative)));
            ASSERT_TRUE(text.isNull() || at.writeFile(QLatin1String(relative), text));
        };
    };
    const struct
    {
        const char* what;
        std::function<void(TestSupport::TempInstall&)> setup;
        QStringList args;
        QStringList env;
        const char* err;
    } cases[] = {
        // clang-format off
        {"no dictionary", file("data/velmor.dat", QByteArray()), {"dict"}, {}, "Couldn't load DB file!!"},
        {"no sys.ini", file("sys/sys.ini", QByteArray()), Args("--sim read 604100"), {}, "sys.ini is missing"},
        {"no base folder", {}, Args("--base no/such/folder dict"), {}, "does not exist"},
        {"no language on a Chinese system", file("sys/sys.ini", "[sys]\ncomm=2\n"), {"dict"},
         {"LC_ALL=zh_CN.UTF-8", "LANG=zh_CN.UTF-8"}, "names no language"},
        {"bad CAN timeout", file("sys/sys.ini", "[sys]\nlang=2\n[com]\ntimeout=50\n[can]\ntimeout=x\n"),
         {"--sim", "--can", "virtualcan:" + CommTest::BusUrl(), "read", "604100"}, {}, "timeout=x in section [can]"},
        // A page file that cannot make its page is refused before the port is opened: a port
        // nobody answers on would otherwise fail first, with exit 2. (Each refusal of a page file
        // is PageListTest's; drivactl takes them all from one check.)
        {"page key not in the dictionary", file("sys/VelocityLoop.ini", "[VelocityLoop]\nnum=2\n1=222001\n2=ABCD00\n"),
         Args("--serial pts/999 page VelocityLoop"), {}, "not in the dictionary: ABCD00 (item 2)"},
        // So is a transfer file that cannot be read.
        {"configuration missing", {}, Args("--serial pts/999 import no/such.cdi"), {}, "File open failure!"},
        {"object list missing", file("sys/default.cdo", QByteArray()), Args("--serial pts/999 export out.cdi"), {},
         "default.cdo: No such file"},
        // A dictionary with its check: cut at a record boundary, it is refused whole.
        {"dictionary cut at a record boundary", [](TestSupport::TempInstall& at) {
             QFile shipped(TestSupport::DistDir() + QStringLiteral("/data/velmor.dat"));
             ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
             QFile::remove(at.path(QStringLiteral("data/velmor.dat")));
             ASSERT_TRUE(at.writeFile(QStringLiteral("data/velmor.dat"), shipped.read(100 * 4514)));
             ASSERT_TRUE(QFile::link(shipped.fileName() + QStringLiteral(".sum"),
                                     at.path(QStringLiteral("data/velmor.dat.sum"))));
         }, {"dict"}, {}, "velmor.dat is 451400 bytes, but velmor.dat.sum says"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestSupport::TempInstall at{QString::fromLatin1(kSysIni)};
        if (c.setup)
            c.setup(at);
        const CliRun run = Drivactl(at.base(), c.args, c.env);
        EXPECT_EQ(run.exitCode, 4) << Show(run);
        EXPECT_TRUE(run.err.contains(QLatin1String(c.err))) << Show(run);
    }

    // The folder drivactl is started from is never its base folder: without --base a prepared
    // folder with a broken dictionary (or libraries of its own) is not used.
    TestSupport::TempInstall prepared{QString::fromLatin1(kSysIni)};
    QFile::remove(prepared.path(QStringLiteral("data/velmor.dat")));
    ASSERT_TRUE(prepared.writeFile(QStringLiteral("data/velmor.dat"), QByteArray(100, '1')));
    const CliRun fromThere =
        Drivactl(QString(), Args("dict --find Statusword"), {}, prepared.base());
    EXPECT_EQ(fromThere.exitCode, 0) << Show(fromThere);
    EXPECT_TRUE(fromThere.out.contains(QStringLiteral("6041:00\tStatusword"))) << Show(fromThere);

    // The system language comes from the locale: lang=1 gives Chinese names on a Chinese
    // system only.
    install.writeFile(QStringLiteral("sys/sys.ini"), "[sys]\nlang=1\n");
    for (const auto& [locale, line] :
         {std::pair{"C", "6041:00\tStatusword\t"}, std::pair{"zh_CN.UTF-8", "6041:00\t状态字\t"}}) {
        const CliRun run = Drivactl(install.base(), {"dict"}, {"LC_ALL=" + QString(locale)});
        EXPECT_EQ(run.exitCode, 0) << Show(run);
        EXPECT_TRUE(run.out.contains(QString::fromUtf8(line))) << Show(run);
    }
}

// A drive that refuses a constant of a unit formula: the rows in that unit cannot be shown,
// which the page says, and set writes nothing in that unit.
TEST_F(DrivactlTest, RefusedUnitConstantIsNamed)
{
    // The encoder resolution (2200:0C) becomes write-only for this drive.
    QFile shipped(TestSupport::DistDir() + QStringLiteral("/data/velmor-defaults.tsv"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    QByteArray defaults = shipped.readAll();
    ASSERT_TRUE(defaults.contains("\n22000C\tU32\tRWS\t"));
    defaults.replace("\n22000C\tU32\tRWS\t", "\n22000C\tU32\tW\t");
    QFile::remove(install.path(QStringLiteral("data/velmor-defaults.tsv")));
    ASSERT_TRUE(install.writeFile(QStringLiteral("data/velmor-defaults.tsv"), defaults));
    CSimulator sim(install.base());
    ASSERT_FALSE(sim.port.isEmpty());
    const QStringList port{"--serial", sim.port};
    const CliRun page = Drivactl(install.base(), port + Args("page VelocityLoop --tsv"));
    EXPECT_EQ(page.exitCode, 1) << Show(page);
    EXPECT_TRUE(page.out.contains(QStringLiteral("Target velocity\t\trpm\t60FF:00\n")))
        << Show(page);
    EXPECT_TRUE(page.err.contains(QStringLiteral("(60FF:00): no value")) &&
                page.err.contains(QStringLiteral(
                    "the drive refused 2200:0C, a constant of unit rpm: abort 0x06010001")))
        << Show(page);
    const CliRun set = Drivactl(install.base(), port + Args("set 60FF00 10"));
    EXPECT_EQ(set.exitCode, 1) << Show(set);
    EXPECT_TRUE(set.err.contains(QStringLiteral("nothing was written"))) << Show(set);
    EXPECT_TRUE(
        Drivactl(install.base(), port + Args("read 60FF00")).out.contains(QStringLiteral("= 0 (")));
}

// A dictionary built by mkdict --eds from a CiA 402 description, and drivactl --sim, which runs
// the virtual drive on the same description: objects of each width read and written over the
// serial transport, the description's limits and $NODEID followed, a text uploaded by segments.
TEST_F(DrivactlTest, ServesADeviceDescription)
{
    const QString eds = TestSupport::SourceDir() + QStringLiteral("/tests/data/Cia402Sample.eds");
    QFile::remove(install.path(QStringLiteral("data/velmor.dat")));
    QFile::remove(install.path(QStringLiteral("data/velmor-defaults.tsv")));
    QProcess mkdict;
    mkdict.start(QStringLiteral(DRIVARA_MKDICT),
                 {"--eds", eds, install.path(QStringLiteral("data/velmor.dat")),
                  install.path(QStringLiteral("data/velmor-defaults.tsv"))});
    ASSERT_TRUE(mkdict.waitForFinished(60000) && mkdict.exitCode() == 0);
    const struct
    {
        const char* args;
        int exitCode;
        const char* out; // a regular expression stdout must match
    } cases[] = {
        {"read 606000 604100 607A00", 0,
         "^6060:00 Modes of operation = 1 \\(0x01\\)\n6041:00 Statusword = [0-9]+ "
         "\\(0x[0-9a-f]{4}\\)\n"
         "607A:00 Target position = 0 \\(0x00000000\\)\n$"},
        {"write 606000 -3", 0, "= -3 \\(0xfd\\)"},
        {"write 606000 11", 1, "abort 0x06090030"},
        {"write 604000 0x0F", 0, "Controlword = 15 \\(0x000f\\)"},
        {"write 607A00 -100000", 0, "= -100000 \\(0xfffe7960\\)"},
        {"write 6099:01 4000000000", 0, "= 4000000000 \\(0xee6b2800\\)"},
        {"write 607100 3001", 1, "abort 0x06090030"},
        {"--node 5 read 180001 101700", 0, "= 389 \\(0x00000185\\)\n.*= 500 "},
        {"upload 100800", 0, "HX-402"},
        {"page Cia402Control --tsv", 0, "\n2\\*\tStatusword\t[0-9a-f]+\tHEX\t6041:00\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun run = Drivactl(install.base(), QStringList{"--sim"} + Args(c.args));
        EXPECT_EQ(run.exitCode, c.exitCode) << Show(run);
        EXPECT_TRUE(run.out.contains(QRegularExpression(QString::fromUtf8(c.out)))) << Show(run);
    }
}

// A JSON value as the TSV column of the same field shows it.
QString FieldText(const QJsonValue& value)
{
    if (value.isString())
        return value.toString();
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return value.isDouble() ? QString::number(value.toDouble(), 'g', 16) : QString();
}

// --json and --tsv on each command that prints values: every line of standard output is one
// record, a JSON object with the named fields, and the TSV line of the same run has those fields'
// values in that order; summaries go to standard error.
TEST_F(DrivactlTest, RecordsForScripts)
{
    CSimulator sim(install.base());
    ASSERT_FALSE(sim.port.isEmpty());
    ASSERT_TRUE(install.writeFile(QStringLiteral("user/list.cdo"), "100D0008\r\n100C0010\r\n"));
    const struct
    {
        const char* args;
        int exitCode;
        const char* fields; // of every record, in order
        const char* first;  // field=value pairs of the first record
        int records;        // at least
    } cases[] = {
        {"read 6041 0 2FFF00", 1, "key name value hex abort",
         "key=6041:00 name=Statusword value=567 hex=0x0237 abort=", 2},
        {"write 607A00 -5", 0, "key name value hex abort", "key=607A:00 value=-5 hex=0xfffffffb",
         1},
        {"upload 100800", 0, "key name value hex abort", "key=1008:00 hex=", 1},
        {"watch 607A00 --count 2", 0, "key name value hex abort", "value=-5", 2},
        {"dump", 0, "key name value hex abort", "key=1000:00", 300},
        {"dict --find Statusword", 0, "key name type access unit", "key=6041:00 name=Statusword",
         1},
        {"units 60FF00", 0, "key unit default writable shown written",
         "key=60FF:00 unit=rpm default=true writable=true", 5},
        {"page VelocityLoop", 0, "row name value unit key", "row=1", 3},
        {"set 60FF00 1500 --unit rpm", 0, "key name value unit abort",
         "key=60FF:00 value=1500.000 unit=rpm abort=", 1},
        {"info --count 1", 0, "round key name value unit abort", "round=0 key=1008:00", 10},
        {"errors", 0, "bit name raised reported", "bit=0 raised=false reported=true", 32},
        {"mask 17 off", 0, "bit name reported mask", "bit=17 reported=false mask=0xFFFDFFFF", 1},
        {"pdo map TPDO3 6041 0 606400", 0, "pdo cobid valid entry key bits name",
         "pdo=TPDO3 cobid=00000381 valid=true entry=1 key=6041:00 bits=16", 2},
        {"export @/user/list.cdo @/user/out.cdi", 0, "node key name outcome value reason",
         "node=1 key=100D:00 outcome=True", 2},
        {"write 100C00 77", 0, "key name value hex abort", "value=77", 1},
        {"diff @/user/out.cdi", 1, "node key name drive file unit",
         "node=1 key=100C:00 drive=77 file=0 unit=ms", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        QStringList args = QStringList{"--serial", sim.port} + Args(c.args);
        args.replaceInStrings(QStringLiteral("@"), install.base());
        const QStringList fields = QString::fromLatin1(c.fields).split(QLatin1Char(' '));
        const CliRun json = Drivactl(install.base(), args + QStringList{"--json"});
        const CliRun tsv = Drivactl(install.base(), args + QStringList{"--tsv"});
        EXPECT_EQ(json.exitCode, c.exitCode) << Show(json);
        EXPECT_EQ(tsv.exitCode, c.exitCode) << Show(tsv);
        const QStringList lines = json.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QStringList rows = tsv.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_GE(lines.size(), c.records) << Show(json);
        EXPECT_EQ(rows.size(), lines.size()) << Show(tsv);
        for (int i = 0; i < lines.size(); ++i) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(lines[i].toUtf8(), &error);
            ASSERT_TRUE(document.isObject()) << error.errorString().toStdString() << Show(json);
            const QJsonObject record = document.object();
            EXPECT_EQ(record.size(), fields.size()) << lines[i].toStdString();
            // The fields in order in both forms: the JSON text names them so, the TSV row holds
            // their values so.
            int at = 0;
            for (const QString& field : fields) {
                EXPECT_TRUE(record.contains(field)) << field.toStdString();
                const int next = lines[i].indexOf(QLatin1Char('"') + field + "\":", at);
                EXPECT_GT(next, at - 1) << field.toStdString() << ' ' << lines[i].toStdString();
                at = std::max(at, next);
            }
            if (i >= rows.size() || !(c.args[0] == 'r' || i == 0))
                continue;
            // Every row of a read, and the first of the others (later ones may hold live values
            // that changed between the two runs), says the same in both forms.
            const QStringList columns = rows[i].split(QLatin1Char('\t'));
            ASSERT_EQ(columns.size(), fields.size()) << rows[i].toStdString();
            for (int f = 0; f < fields.size(); ++f)
                EXPECT_EQ(columns[f], FieldText(record.value(fields[f])))
                    << fields[f].toStdString();
        }
        const QJsonObject first = QJsonDocument::fromJson(lines.value(0).toUtf8()).object();
        for (const QString& pair : QString::fromLatin1(c.first).split(QLatin1Char(' '))) {
            EXPECT_EQ(FieldText(first.value(pair.section(QLatin1Char('='), 0, 0))),
                      pair.section(QLatin1Char('='), 1))
                << pair.toStdString() << ' ' << lines.value(0).toStdString();
        }
    }
}

// --bitrate in bit/s as well as the PCAN code: the rate reaches the device configuration file
// that an export over CAN writes, and a rate the adapter lacks is refused before anything runs.
TEST_F(DrivactlTest, BitRateSpellings)
{
    ASSERT_TRUE(install.writeFile(QStringLiteral("user/list.cdo"), "100D0008\r\n"));
    const QString bus = QStringLiteral("virtualcan:") + CommTest::BusUrl();
    const struct
    {
        const char* rate;
        int exitCode;
        const char* text; // the file's Baudrate line, or what stderr says
    } cases[] = {
        {"28", 0, "Baudrate=500"},      {"500k", 0, "Baudrate=500"},
        {"500000", 0, "Baudrate=500"},  {"1M", 0, "Baudrate=1000"},
        {"250K", 0, "Baudrate=250"},    {"0x11C", 0, "Baudrate=250"},
        {"125000", 0, "Baudrate=125"},  {"300k", 3, "--bitrate takes 1M, 500k"},
        {"fast", 3, "--bitrate takes"}, {"70000", 3, "--bitrate takes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        const QString out = install.path(QStringLiteral("user/out.dcf"));
        QFile::remove(out);
        const CliRun run =
            Drivactl(install.base(), {"--sim", "--can", bus, "--bitrate", QLatin1String(c.rate),
                                      "--dcf", "export", install.path("user/list.cdo"), out});
        EXPECT_EQ(run.exitCode, c.exitCode) << Show(run);
        QFile file(out);
        if (c.exitCode == 0)
            EXPECT_TRUE(file.open(QIODevice::ReadOnly) &&
                        file.readAll().contains(QByteArray(c.text) + "\r\n"))
                << Show(run);
        else
            EXPECT_TRUE(run.err.contains(QLatin1String(c.text))) << Show(run);
    }
}

// batch: one command a line over one connection, one result line each; a failing line says
// why, the lines after it still run, and the exit code is the worst line's.
TEST_F(DrivactlTest, BatchRunsEveryLine)
{
    CSimulator sim(install.base());
    ASSERT_FALSE(sim.port.isEmpty());
    const struct
    {
        const char* what;
        const char* lines;
        QStringList options;
        int exitCode;
        const char* out; // a regular expression stdout must match whole
    } cases[] = {
        {"a refusal, a bad line, a connection option",
         "# set up\n\nread 6041 0\nread 2FFF00\nset 607A 0 12\nfrobnicate\n"
         "read 607A:00\n--serial pts/1 read 604100\nwatch 607A00 --count 2\n",
         {},
         3,
         "^\\[3\\] OK 6041:00 Statusword = 567 \\(0x0237\\)\n"
         "\\[4\\] ERROR abort: 2FFF:00 [^\n]* = abort 0x06010001 Attempt to read a write only "
         "object\n"
         "\\[5\\] OK 607A:00 Target position = 12 inc\n"
         "\\[6\\] ERROR bad line: unknown command frobnicate[^\n]*\n"
         "\\[7\\] OK 607A:00 Target position = 12 \\(0x0000000c\\)\n"
         "\\[8\\] ERROR bad line: --serial belongs on the batch's own command line\n"
         "\\[9\\] OK 607A:00 [^|\n]* \\| 607A:00 [^|\n]*\n$"},
        {"a refusal only",
         "read 2FFF00\nread 604100",
         {},
         1,
         "^\\[1\\] ERROR abort: [^\n]*\n\\[2\\] OK 6041:00 Statusword = 567 [^\n]*\n$"},
        {"JSON Lines from standard input",
         "read 6041 0\nset 607A00 abc\n",
         {"--json"},
         3,
         "^\\{\"line\":1,\"result\":\"OK\",\"exit\":0,\"reason\":\"\",\"output\":\\[\\{\"key\":"
         "\"6041:00\",\"name\":\"Statusword\",\"value\":567,\"hex\":\"0x0237\",\"abort\":\"\"\\}"
         "\\]\\}\n\\{\"line\":2,\"result\":\"ERROR\",\"exit\":3,\"reason\":\"bad line: [^\n]*\n$"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool fromStdin = c.options.contains(QLatin1String("--json"));
        ASSERT_TRUE(install.writeFile(QStringLiteral("user/batch.txt"), c.lines));
        const QStringList args =
            QStringList{"--base", install.base(), "--serial", sim.port} + c.options +
            QStringList{"batch", fromStdin ? QStringLiteral("-") : install.path("user/batch.txt")};
        const CliRun run = RunDrivactl(args, {}, install.base(), 120000,
                                       fromStdin ? QByteArray(c.lines) : QByteArray());
        EXPECT_EQ(run.exitCode, c.exitCode) << Show(run);
        EXPECT_TRUE(run.out.contains(QRegularExpression(QString::fromUtf8(c.out)))) << Show(run);
        for (const QString& line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            EXPECT_TRUE(!fromStdin || QJsonDocument::fromJson(line.toUtf8()).isObject())
                << line.toStdString();
    }
}

TEST_F(DrivactlTest, HelpNamesArgumentsAndExitCodes)
{
    for (const char* command : {"dict", "units", "read", "write", "upload", "watch", "dump", "page",
                                "set", "info", "export", "import", "diff", "store", "batch"}) {
        const CliRun help = Drivactl(install.base(), {QLatin1String(command), "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_TRUE(help.out.startsWith("usage: drivactl [connection] " + QLatin1String(command)))
            << Show(help);
        EXPECT_TRUE(help.out.contains(QStringLiteral("4 local data problem"))) << command;
    }
}

TEST_F(DrivactlTest, SilentDriveIsACommunicationFailure)
{
    CSimulator silent(install.base(), {"--silent"});
    ASSERT_FALSE(silent.port.isEmpty());
    const CliRun run = Drivactl(install.base(), {"--serial", silent.port, "read", "604100"});
    EXPECT_EQ(run.exitCode, 2) << Show(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Not Find Driver! Please Check..."))) << Show(run);
}

// A whole configuration there and back: exported with the shipped list, changed, imported (every
// row True), stored, the drive restarted, exported again: the changed file comes back. The same
// on two drives of one virtualcan bus in turn, and as a device configuration file.
TEST_F(DrivactlTest, ConfigurationRoundTrip)
{
    const QString bus = QStringLiteral("virtualcan:") + CommTest::BusUrl();
    const struct
    {
        const char* what;
        QVector<int> nodes; // drives on virtualcan; empty: one on a pseudo-terminal
        const char* extension;
    } cases[] = {{"serial", {}, "cdi"}, {"two drives", {1, 2}, "cdi"}, {"dcf", {3}, "dcf"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::unique_ptr<CSimProcess>> drives;
        QStringList connection;
        const QStringList memory{"--nvram", install.path("user/nvram")};
        QFile::remove(memory[1]);
        if (c.nodes.isEmpty()) {
            drives.push_back(std::make_unique<CSimulator>(install.base(), memory));
            connection = {"--serial", drives.back()->port};
        } else {
            QStringList nodes;
            for (int node : c.nodes) {
                drives.push_back(std::make_unique<CSimProcess>(
                    QStringList{"--data", install.path("data"), "--can", bus, "--node",
                                QString::number(node)}));
                nodes << QString::number(node);
            }
            connection = {"--can", bus, "--nodes", nodes.join(QLatin1Char(','))};
        }
        const QString ext = QLatin1String(c.extension);
        const bool dcf = ext == QLatin1String("dcf");
        const auto path = [&](const QString& name, int node) {
            return install.path(
                c.nodes.size() > 1
                    ? QStringLiteral("user/%1-node%2.%3").arg(name).arg(node).arg(ext)
                    : QStringLiteral("user/%1.%2").arg(name, ext));
        };
        const auto read = [](const QString& file) {
            QFile f(file);
            // The creation time and the file's own name are the only lines that may differ.
            return f.open(QIODevice::ReadOnly)
                       ? QString::fromUtf8(f.readAll())
                             .remove(QRegularExpression("(File|Creation)\\w+=.*\r\n"))
                       : QString();
        };
        const QStringList dcfFlag = dcf ? QStringList{"--dcf"} : QStringList();
        CliRun run =
            Drivactl(install.base(),
                     connection + dcfFlag + QStringList{"export", install.path("user/cfg." + ext)});
        EXPECT_EQ(run.exitCode, 0) << Show(run);
        EXPECT_EQ(run.out.count(QStringLiteral("Error:0, saved")), std::max(1, int(c.nodes.size())))
            << Show(run);
        // A 16-bit unsigned and a 16-bit signed object changed.
        QString changed = read(path("cfg", c.nodes.value(0)));
        const int before = changed.size();
        changed.replace(
            QRegularExpression(dcf ? "(\\[100C\\][^[]*ParameterValue=)0" : "(100C0010,)0,"),
            dcf ? "\\177" : "\\177,");
        changed.replace(QRegularExpression(dcf ? "(\\[2040sub5\\][^[]*ParameterValue=)-100"
                                               : "(20400510,)-100,"),
                        dcf ? "\\1-7" : "\\1-7,");
        ASSERT_EQ(changed.size(), before - 1); // both replaced
        ASSERT_TRUE(install.writeFile("user/in." + ext, changed.toUtf8()));
        run = Drivactl(install.base(),
                       connection + QStringList{"import", install.path("user/in." + ext), "--store",
                                                "--restart"});
        EXPECT_EQ(run.exitCode, 0) << Show(run);
        EXPECT_EQ(run.out.count(QRegularExpression(
                      "Alarm:0  Error:0\n(node .: )?stored\n(node .: )?restarted\n")),
                  std::max(1, int(c.nodes.size())))
            << Show(run);
        if (!dcf) {
            run = Drivactl(install.base(),
                           connection + QStringList{"diff", install.path("user/cfg.cdi")});
            EXPECT_EQ(run.exitCode, 1) << Show(run);
            EXPECT_TRUE(run.out.contains("100C:00 Guard time: drive 77 ms, file 0 ms\n"))
                << Show(run);
        }
        if (c.nodes.isEmpty()) {
            // The drive's process itself started again over its memory file.
            drives.clear();
            drives.push_back(std::make_unique<CSimulator>(install.base(), memory));
            connection = QStringList{"--serial", drives.back()->port};
        }
        run =
            Drivactl(install.base(), connection + dcfFlag +
                                         QStringList{"export", install.path("user/again." + ext)});
        EXPECT_EQ(run.exitCode, 0) << Show(run);
        for (int node : c.nodes.isEmpty() ? QVector<int>{0} : c.nodes)
            EXPECT_EQ(read(path("again", node)), changed) << node;
    }
    // A device configuration file of another product writes nothing.
    CSimulator sim(install.base());
    QFile in(install.path("user/in.dcf"));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    ASSERT_TRUE(
        install.writeFile("user/other.dcf", in.readAll().replace("ProductNumber=0x00002000",
                                                                 "ProductNumber=0x00002001")));
    const CliRun other =
        Drivactl(install.base(), {"--serial", sim.port, "import", install.path("user/other.dcf")});
    EXPECT_EQ(other.exitCode, 1) << Show(other);
    EXPECT_TRUE(
        other.err.contains("product 0x00002000 (the file: 0x00002001); nothing was written"))
        << Show(other);
    EXPECT_TRUE(
        Drivactl(install.base(), {"--serial", sim.port, "read", "100C00"}).out.contains(" = 0 ("));
}
