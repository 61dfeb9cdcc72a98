// Every drivactl command against a virtual drive whose replies go wrong, over a pseudo-terminal
// and virtualcan: the real binary against drivara-sim in a process of its own, one drive per
// cell. Whatever the fault, a command prints no value the drive does not hold with exit 0, never
// sends a write frame twice, ends by itself, and its exit code tells who failed: 1 only for a
// refusal by the drive, 2 for what drivactl found itself (a reply that never came, a length that
// does not add up, a write nobody confirmed), named on stderr.

#include "../comm/CommTestUtil.h"
#include "CliTestSupport.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

constexpr int kTimeoutMs = 100;
constexpr int kKillGuardMs = 6000; // ends a command that hangs; every cell takes far less
const char kAbortCode[] = "0x08000024";

// What the drive holds before each cell: distinct values, moving ones pinned, so that every
// value a command prints is known.
const char kValues[] = "100D00=90 100C00=8738 100600=0x12345678 200006=3210 "
                       "100800=VELMOR-MATRIX-TEXT-1 606C00=1500 606400=123456 606300=123456 "
                       "607800=210 607700=190 221009=205 225001=3110 225002=130 225003=250 "
                       "60FD00=0x20000 20100B=1 20100C=1";
// The page of the matrix: an object of each width and a read-only one.
const char kPageIni[] = "[VelocityLoop]\nnum=4\n1=100D00\n2=100C00\n3=100600\n4=200006\n";

const char kOldRaw[] = "8738"; // what 100C00 holds before a write

struct Operation
{
    const char* name;
    const char* args;
    int after;           // requests served before the fault applies: where it hurts most
    bool uploads;        // upload faults apply
    const char* written; // the raw value a write leaves in the drive; "": the command only reads
    const char* clean;   // what a run without a fault prints (a regular expression)
    const char* file = nullptr; // a configuration the command saves: rows a fault hit say Fail
    bool namesHeld = true;      // a write nobody confirmed is named with what the drive holds
};

const Operation kOperations[] = {
    // clang-format off
    {"read8", "read 100600 100D00", 1, false, "",
     "^1006:00 .* = 305419896 \\(0x12345678\\)\n100D:00 .* = 90 \\(0x5a\\)\n$"},
    {"read16", "read 100D00 100C00", 1, false, "",
     "^100D:00 .* = 90 \\(0x5a\\)\n100C:00 .* = 8738 \\(0x2222\\)\n$"},
    {"read32", "read 100C00 100600", 1, false, "",
     "^100C:00 .* = 8738 \\(0x2222\\)\n1006:00 .* = 305419896 \\(0x12345678\\)\n$"},
    {"write", "write 100C00 4660", 0, false, "4660", "^100C:00 .* = 4660 \\(0x1234\\)\n$"},
    {"upload", "upload 100800", 2, true, "", "^1008:00 .* = \"VELMOR-MATRIX-TEXT-1\"\n$"},
    {"page", "page VelocityLoop", 1, false, "",
     "^VelocityLoop\n1 +Life time factor +90 +DEC\n2 +Guard time +8738 +ms\n3 .* 305419896 +us\n"
     "4\\* .* 3210 +mA\n$"},
    {"set", "set 100C00 4321", 1, false, "4321", "^100C:00 Guard time = 4321 ms\n$"},
    // The text object, where dump shows it, as its text (not its length).
    {"dump", "dump", 5, false, "",
     "^(?![\\s\\S]*\n1008:00 [^\n]*= 20 )[\\s\\S]*\n100C:00 .* = 8738 \\(0x2222\\)\n(.*\n)*"
     "2000:06 .* = 3210 \\(0x0c8a\\)\n"},
    {"watchReadOnly", "watch 200006 --count 3", 1, false, "",
     "^(2000:06 .* = 3210 \\(0x0c8a\\)\n){3}$"},
    {"watchWritable", "watch 100C00 --count 3", 1, false, "",
     "^(100C:00 .* = 8738 \\(0x2222\\)\n){3}$"},
    {"info", "info --count 1", 2, true, "",
     "VELMOR-MATRIX-TEXT-1\n(.*\n)*  Drive state +Operation enabled\nLive values \\(1/1\\)\n  Statusword +237 HEX\n"},
    // Whole configurations ("@" is the installation folder): the list of the matrix, the
    // configuration that writes 100C00 first, the store sequence.
    {"export", "export @/user/list.cdo @/user/out.cdi", 2, false, "",
     "^Finish: Total:3  Error:0, saved to .*out.cdi\n$", "user/out.cdi"},
    {"import", "import @/user/in.cdi", 0, false, "4660", "^Finish: Total:2  Alarm:0  Error:0\n$"},
    {"store", "store", 1, false, "1", "^stored\n$", nullptr, false},
    // clang-format on
};

struct FaultColumn
{
    const char* name;
    const char* arm;       // drivara-sim options; null: the fault is one of uploads only
    const char* uploadArm; // for commands that upload, where it differs
    int readExit;          // the exit code of a command that only reads
    int writeExit;         // and of one that writes
    bool writeTaken;       // the drive took a write before its reply went wrong
    bool readBack;         // a read-back can tell drivactl whether it did
};

const FaultColumn kFaults[] = {
    // clang-format off
    {"none", "", nullptr, 0, 0, true, true},
    {"delayed under the timeout", "--delay-next 1:40", nullptr, 0, 0, true, true},
    {"delayed over the timeout", "--delay-next 1:160", nullptr, 0, 2, true, true},
    // Later than every retry waits.
    {"every reply late", "--delay 1000", nullptr, 2, 2, true, false},
    {"dropped", "--drop 1", nullptr, 0, 2, false, true},
    {"corrupted", "--corrupt 1", nullptr, 0, 2, true, true},
    {"misaddressed", "--misaddress 1", nullptr, 0, 2, true, true},
    {"echoed", "--echo 1", nullptr, 0, 2, false, true},
    // A drive that refuses everything from then on, or an upload in its middle.
    {"aborted", "--abort 1000:0x08000024", "--abort-upload 1:0x08000024", 1, 1, false, true},
    {"last segment too early", nullptr, "--end-upload 1", 2, 2, true, true},
    {"truncated", "--truncate 1", nullptr, 0, 2, true, true},
    {"replayed", "--replay 1", nullptr, 0, 2, true, true},
    {"duplicated", "--duplicate 1", nullptr, 0, 0, true, true},
    {"unplugged", "--unplug-after 0", nullptr, 2, 2, false, false},
    // clang-format on
};

struct CliRun : CliTest::CliRun
{
    int mostWriteFrames = -1; // the most arrivals of one write frame, as the drive counted them
    int unusedFaults = -1;    // planned faults that never came
};

enum class Transport
{
    Serial,
    Can
};

std::string Show(const CliRun& run)
{
    return CliTest::Show(run,
                         QStringLiteral(" (the drive: a write frame at most %1 times, %2 faults "
                                        "unused)")
                             .arg(run.mostWriteFrames)
                             .arg(run.unusedFaults));
}

// The value lines of read, write, upload, watch and dump ("KEY name = value"), refusals left out.
QStringList ValueLines(const QString& out)
{
    static const QRegularExpression line(
        QStringLiteral("^[0-9A-F]{4}:[0-9A-F]{2} [^=\n]* = (?!abort).*$"),
        QRegularExpression::MultilineOption);
    QStringList lines;
    for (auto it = line.globalMatch(out); it.hasNext();)
        lines.append(it.next().captured(0));
    return lines;
}

class FaultMatrix : public ::testing::TestWithParam<std::tuple<Transport, int>>
{
protected:
    void SetUp() override
    {
        QFile::remove(install.path(QStringLiteral("sys/VelocityLoop.ini")));
        ASSERT_TRUE(install.writeFile(QStringLiteral("sys/VelocityLoop.ini"), kPageIni));
        ASSERT_TRUE(install.writeFile(QStringLiteral("user/list.cdo"),
                                      "100D0008\r\n100C0010\r\n10060020\r\n"));
        ASSERT_TRUE(install.writeFile(QStringLiteral("user/in.cdi"),
                                      "100C0010,4660,True\r\n100D0008,90,True\r\n"));
        // The guard of drivactl itself, where it has one, ends a cell before the kill does.
        if (CliTest::RunDrivactl({"--help"}).out.contains("--deadline"))
            m_deadline = {"--deadline", "4"};
    }

    // One cell: a drive with the fault armed, the command against it, what the drive counted.
    CliRun RunCell(const Operation& op, const QString& arm)
    {
        const bool can = std::get<0>(GetParam()) == Transport::Can;
        const QString bus = QStringLiteral("virtualcan:") + CommTest::BusUrl();
        QStringList simArgs{"--data", install.path("data"), "--report"};
        simArgs += can ? QStringList{"--can", bus}
                       : QStringList{"--serial", "--link", install.path("dev/ttySIM0")};
        for (const QString& value : QString::fromLatin1(kValues).split(QLatin1Char(' ')))
            simArgs += {"--set", value};
        simArgs += {"--after", QString::number(op.after)};
        simArgs += arm.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        CliTest::CSimProcess sim(simArgs);
        EXPECT_TRUE(sim.line.startsWith(can ? "can: " : "serial: /dev/")) << sim.line.toStdString();
        QStringList args{"--base", install.base(), "--timeout", QString::number(kTimeoutMs)};
        args += can ? QStringList{"--can", bus} : QStringList{"--serial", sim.port};
        args += m_deadline + QString::fromLatin1(op.args)
                                 .replace(QLatin1Char('@'), install.base())
                                 .split(QLatin1Char(' '));

        CliRun run;
        static_cast<CliTest::CliRun&>(run) = CliTest::RunDrivactl(args, {}, {}, kKillGuardMs);
        static const QRegularExpression reportLine(
            QStringLiteral("a write frame at most (\\d+) times, (\\d+) planned faults unused"));
        const auto report = reportLine.match(sim.Finish());
        if (report.hasMatch()) {
            run.mostWriteFrames = report.captured(1).toInt();
            run.unusedFaults = report.captured(2).toInt();
        }
        return run;
    }

    // The lines of a configuration the command saved.
    QStringList FileLines(const char* relative)
    {
        QFile file(install.path(QLatin1String(relative)));
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"))
                   : QStringList();
    }

    TestSupport::TempInstall install{QStringLiteral("[sys]\nlang=2\ncomm=2\n")};
    QStringList m_deadline;
};

TEST_P(FaultMatrix, EveryFault)
{
    const Operation& op = kOperations[std::get<1>(GetParam())];
    const CliRun clean = RunCell(op, {});
    EXPECT_TRUE(clean.out.contains(QRegularExpression(QLatin1String(op.clean)))) << Show(clean);
    const QStringList cleanLines = op.file ? FileLines(op.file) : QStringList();
    for (const FaultColumn& column : kFaults) {
        const char* arm = op.uploads && column.uploadArm ? column.uploadArm : column.arm;
        if (!arm)
            continue;
        SCOPED_TRACE(column.name);
        const CliRun run = arm[0] ? RunCell(op, QLatin1String(arm)) : clean;
        const int exitCode = op.written[0] ? column.writeExit : column.readExit;
        EXPECT_EQ(run.exitCode, exitCode) << Show(run);
        EXPECT_EQ(run.mostWriteFrames, op.written[0] ? 1 : 0) << Show(run);
        // With exit 0, nothing but what a clean run shows, and after the fault came (one that
        // never did proves nothing); otherwise the cause.
        EXPECT_TRUE(run.exitCode != 0 || run.out == clean.out) << Show(run);
        EXPECT_TRUE(run.exitCode != 0 || run.unusedFaults == 0) << Show(run);
        EXPECT_TRUE(exitCode != 2 || !run.err.trimmed().isEmpty()) << Show(run);
        EXPECT_TRUE(exitCode != 1 || (run.out + run.err).contains(QLatin1String(kAbortCode)))
            << Show(run);
        // A saved configuration holds what the drive holds, or says Fail.
        for (const QString& line : op.file ? FileLines(op.file) : QStringList())
            EXPECT_TRUE(cleanLines.contains(line) || line.endsWith(QLatin1String(",Fail")))
                << line.toStdString();
        if (!op.written[0]) {
            // Whatever a failing command printed before it stopped is what the drive holds.
            for (const QString& line : ValueLines(run.out))
                EXPECT_TRUE(ValueLines(clean.out).contains(line)) << line.toStdString();
            continue;
        }
        // A write prints, and an unconfirmed one names, only the value the drive holds.
        const QLatin1String held(column.writeTaken ? op.written : kOldRaw);
        for (const QString& line : ValueLines(run.out))
            EXPECT_TRUE(line.contains(QStringLiteral(" = ") + held)) << line.toStdString();
        EXPECT_TRUE(exitCode != 2 || !column.readBack || !op.namesHeld || run.err.contains(held))
            << Show(run);
    }
}

// Two virtual drives serving the canopen profile on one virtualcan bus: scan finds both with
// their identity and nothing else, an NMT stop takes one off the scan until a start brings it
// back, and reads and writes of every width go through the profile's decoding.
TEST(CanOpenBus, ScanNmtAndTheProfileThroughDrivactl)
{
    TestSupport::TempInstall install{QStringLiteral("[sys]\nlang=2\ncomm=5\n")};
    const QString bus = QStringLiteral("virtualcan:") + CommTest::BusUrl();
    const QStringList common{"--data", install.path("data"), "--can", bus, "--profile", "canopen"};
    CliTest::CSimProcess first(common + QStringList{"--node", "3", "--unsized"});
    CliTest::CSimProcess second(common + QStringList{"--node", "9", "--heartbeat", "50"});
    ASSERT_TRUE(first.line.startsWith("can: ")) << first.line.toStdString();
    ASSERT_TRUE(second.line.startsWith("can: ")) << second.line.toStdString();
    // A loaded machine may take longer than a scan's own short wait to pass a frame on.
    const QStringList connection{"--base",    install.base(), "--can",     bus,
                                 "--profile", "canopen",      "--timeout", "100"};
    const QString identity = QStringLiteral(": device type 0x00020192, vendor 0x00000a5e");
    const struct
    {
        QStringList args;
        int exitCode;
        QStringList present;
        QStringList absent;
    } kSteps[] = {
        {{"scan", "--nodes", "1-12"},
         0,
         {"node 3" + identity, "node 9" + identity, "2 nodes found; 12 asked"},
         {}},
        {{"nmt", "stop", "9"}, 0, {"nmt stop sent to node 9"}, {}},
        {{"scan", "--nodes", "1-10"},
         0,
         {"node 3" + identity, "1 node found; 10 asked"},
         {"node 9"}},
        {{"nmt", "start", "0"}, 0, {"nmt start sent to every node"}, {}},
        {{"scan", "--nodes", "9,20-30"}, 0, {"node 9" + identity}, {"node 3"}},
        {{"nmt", "halt", "9"}, 3, {}, {}},
        // Node 3 states no sizes: a 32-bit value is not cut to its first byte, and a write
        // confirmed without its value shows what the drive took.
        {{"--node", "3", "write", "100600", "0x0BADCAFE"}, 0, {"= 195939070 (0x0badcafe)"}, {}},
        {{"--node", "3", "read", "100600", "100C00", "100D00"},
         0,
         {"1006:00 Communication cycle period = 195939070"},
         {}},
        {{"--node", "9", "write", "100C00", "0xBEEF"}, 0, {"= 48879 (0xbeef)"}, {}},
        {{"--node", "9", "read", "200006"}, 0, {}, {"abort"}},
        {{"--node", "9", "write", "200006", "1"}, 1, {"Attempt to write a read only object"}, {}},
        // A text object is written whole; this one the drive keeps to itself.
        {{"--node", "9", "write", "100800", "Renamed drive"},
         1,
         {"1008:00: write refused, abort 0x06010002 Attempt to write a read only object"},
         {}},
    };
    for (const auto& step : kSteps) {
        const CliTest::CliRun run = CliTest::RunDrivactl(connection + step.args);
        SCOPED_TRACE(step.args.join(' ').toStdString() + "\n" + CliTest::Show(run));
        EXPECT_EQ(run.exitCode, step.exitCode);
        for (const QString& text : step.present)
            EXPECT_TRUE(run.out.contains(text) || run.err.contains(text)) << text.toStdString();
        for (const QString& text : step.absent)
            EXPECT_FALSE(run.out.contains(text)) << text.toStdString();
    }
    // A whole scan with its own short wait, for the record of its time.
    const QStringList fast = connection.mid(0, connection.size() - 2) + QStringList{"scan"};
    std::printf("%s", qPrintable(CliTest::RunDrivactl(fast).out.section('\n', -2)));

    // While monitor listens: node 9's heartbeat, the emergency of an error raised in it, and
    // node 9 lost once its drive ends.
    QProcess monitor;
    monitor.start(TestSupport::DistDir() + QStringLiteral("/drivactl"),
                  connection + QStringList{"monitor", "--count", "3"});
    ASSERT_TRUE(monitor.waitForStarted());
    ASSERT_TRUE(TestSupport::WaitFor(
        [&] { return monitor.waitForReadyRead(50) || monitor.bytesAvailable() > 0; }, 10000));
    const CliTest::CliRun raise = CliTest::RunDrivactl(
        connection + QStringList{"--node", "9", "write", "5FFF01", "7", "--type", "u8"});
    EXPECT_EQ(raise.exitCode, 0) << CliTest::Show(raise);
    second.Finish();
    ASSERT_TRUE(monitor.waitForFinished(10000));
    const QString heard = QString::fromUtf8(monitor.readAll());
    EXPECT_EQ(monitor.exitCode(), 0) << heard.toStdString();
    for (const char* text :
         {"node 9: heartbeat, operational", "node 9: emergency 0xFF07, error register 0x01",
          "node 9: heartbeat lost (silent for "})
        EXPECT_TRUE(heard.contains(QLatin1String(text))) << text << "\n" << heard.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Drivactl, FaultMatrix,
                         ::testing::Combine(::testing::Values(Transport::Serial, Transport::Can),
                                            ::testing::Range(0, int(std::size(kOperations)))),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param) == Transport::Serial
                                                    ? "Serial_"
                                                    : "Can_") +
                                    kOperations[std::get<1>(p.param)].name;
                         });

} // namespace
