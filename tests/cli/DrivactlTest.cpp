#include "TestSupport.h"

#include "base/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs drivactl from the installation tree with the temporary base folder as its current
// directory, as an operator would from a shell.
CliRun Drivactl(const TestSupport::TempInstall& install, const QStringList& args,
                int timeoutMs = 60000)
{
    QProcess process;
    process.setWorkingDirectory(install.base());
    process.start(TestSupport::DistDir() + QStringLiteral("/drivactl"), args);
    CliRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("timed out");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

class DrivactlTest : public ::testing::Test
{
protected:
    TestSupport::TempInstall install{QStringLiteral("[sys]\nlang=2\ncomm=2\n[com]\ntimeout=500\n")};
};

} // namespace

TEST_F(DrivactlTest, DictListsAndFindsObjectsWithoutADrive)
{
    const CliRun all = Drivactl(install, {QStringLiteral("dict")});
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    EXPECT_GE(all.out.count(QLatin1Char('\n')), 250);
    EXPECT_TRUE(all.out.contains(QStringLiteral("6041:00\t")));

    const CliRun found = Drivactl(
        install, {QStringLiteral("dict"), QStringLiteral("--find"), QStringLiteral("STATUSWORD")});
    ASSERT_EQ(found.exitCode, 0);
    EXPECT_TRUE(found.out.startsWith(QStringLiteral("6041:00\t"))) << found.out.toStdString();

    const CliRun none = Drivactl(install, {QStringLiteral("dict"), QStringLiteral("--find"),
                                           QStringLiteral("no such object")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.out.isEmpty());
}

TEST_F(DrivactlTest, BadArgumentsExitWithThree)
{
    EXPECT_EQ(Drivactl(install, {}).exitCode, 3);
    EXPECT_EQ(Drivactl(install, {QStringLiteral("frobnicate")}).exitCode, 3);
    EXPECT_EQ(Drivactl(install, {QStringLiteral("read"), QStringLiteral("604100")}).exitCode,
              3); // no drive
    EXPECT_EQ(Drivactl(install,
                       {QStringLiteral("--sim"), QStringLiteral("read"), QStringLiteral("60G100")})
                  .exitCode,
              3);
    EXPECT_EQ(
        Drivactl(install, {QStringLiteral("--node"), QStringLiteral("300"), QStringLiteral("dict")})
            .exitCode,
        3);
}

TEST_F(DrivactlTest, ReadPrintsValuesAndAbortTexts)
{
    const CliRun run = Drivactl(install, {QStringLiteral("--sim"), QStringLiteral("read"),
                                          QStringLiteral("604100"), QStringLiteral("2FFF00"),
                                          QStringLiteral("6041:00")});
    // The restart object cannot be read: one refusal makes the exit code 1.
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << run.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("604100 "))) << lines[0].toStdString();
    EXPECT_TRUE(
        lines[0].contains(QRegularExpression(QStringLiteral("= \\d+ \\(0x[0-9a-f]{4}\\)"))));
    EXPECT_TRUE(
        lines[1].contains(QStringLiteral("abort 0x06010001 Attempt to read a write only object")))
        << lines[1].toStdString();
}

TEST_F(DrivactlTest, UploadReadsTextObjects)
{
    const CliRun run = Drivactl(
        install, {QStringLiteral("--sim"), QStringLiteral("upload"), QStringLiteral("100800")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QRegularExpression(QStringLiteral("^100800 .* = \"[^\"]+\"\n$"))))
        << run.out.toStdString();
}

TEST_F(DrivactlTest, WriteThenReadBackAndRefusedWrite)
{
    const CliRun write = Drivactl(install, {QStringLiteral("--sim"), QStringLiteral("write"),
                                            QStringLiteral("60FF00"), QStringLiteral("1234")});
    EXPECT_EQ(write.exitCode, 0) << write.err.toStdString();
    EXPECT_TRUE(write.out.contains(QStringLiteral("= 1234 (0x000004d2)")))
        << write.out.toStdString();
    // A read-only object: the drive refuses, and the refusal is what drivactl reports.
    const CliRun refused = Drivactl(install, {QStringLiteral("--sim"), QStringLiteral("write"),
                                              QStringLiteral("604100"), QStringLiteral("0")});
    EXPECT_EQ(refused.exitCode, 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.out.contains(QStringLiteral("abort 0x06010002")))
        << refused.out.toStdString();
}

TEST_F(DrivactlTest, EveryShippedPageShowsEveryRowWithValueAndUnit)
{
    // Every page definition file of the installation, read against the virtual drive.
    const QDir sys(install.path(QStringLiteral("sys")));
    int pages = 0;
    for (const QFileInfo& file : sys.entryInfoList({QStringLiteral("*.ini")}, QDir::Files)) {
        const QString page = file.completeBaseName();
        if (CIniDocument(file.filePath()).Get(page, QStringLiteral("num"), QString(), 32).isEmpty())
            continue;
        ++pages;
        const CliRun run = Drivactl(install, {QStringLiteral("--sim"), QStringLiteral("page"), page,
                                              QStringLiteral("--tsv")});
        ASSERT_EQ(run.exitCode, 0) << page.toStdString() << '\n' << run.err.toStdString();
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 2) << page.toStdString();
        EXPECT_EQ(lines.first(), page);
        for (int i = 1; i < lines.size(); ++i) {
            const QStringList cells = lines[i].split(QLatin1Char('\t'));
            ASSERT_EQ(cells.size(), 4) << lines[i].toStdString();
            EXPECT_FALSE(cells[2].isEmpty())
                << page.toStdString() << ": " << lines[i].toStdString();
            EXPECT_NE(cells[2], QStringLiteral("????"))
                << page.toStdString() << ": " << lines[i].toStdString();
            EXPECT_FALSE(cells[3].isEmpty())
                << page.toStdString() << ": " << lines[i].toStdString();
        }
    }
    EXPECT_GE(pages, 36); // eighteen parameter pages and eighteen bus panels
}

TEST_F(DrivactlTest, UnknownPageIsABadArgument)
{
    const CliRun run = Drivactl(
        install, {QStringLiteral("--sim"), QStringLiteral("page"), QStringLiteral("NoSuchPage")});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains(QStringLiteral("VelocityLoop")));
}

TEST_F(DrivactlTest, MissingDriveIsACommunicationFailure)
{
    // A pseudo-terminal nobody answers on: the first exchange fails.
    const CliRun run = Drivactl(install, {QStringLiteral("--serial"), QStringLiteral("pts/999"),
                                          QStringLiteral("read"), QStringLiteral("604100")});
    EXPECT_EQ(run.exitCode, 2) << run.out.toStdString();
    EXPECT_FALSE(run.err.isEmpty());
}

TEST_F(DrivactlTest, SilentDriveReportsNotFindDriver)
{
    QProcess sim;
    sim.setWorkingDirectory(install.base());
    sim.start(TestSupport::DistDir() + QStringLiteral("/drivara-sim"),
              {QStringLiteral("--serial"), QStringLiteral("--silent"),
               QStringLiteral("--until-stdin-closes"), QStringLiteral("--link"),
               install.path(QStringLiteral("silent-link"))});
    ASSERT_TRUE(sim.waitForStarted());
    ASSERT_TRUE(
        TestSupport::WaitFor([&] { return sim.canReadLine() || sim.waitForReadyRead(50); }, 10000));
    QString line = QString::fromUtf8(sim.readLine()).trimmed();
    ASSERT_TRUE(line.startsWith(QStringLiteral("serial: /dev/"))) << line.toStdString();
    const CliRun run = Drivactl(install, {QStringLiteral("--serial"), line.mid(13),
                                          QStringLiteral("read"), QStringLiteral("604100")});
    sim.closeWriteChannel();
    sim.waitForFinished(5000);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Not Find Driver! Please Check...")))
        << run.err.toStdString();
}

TEST_F(DrivactlTest, SetInAUnitReadsBackTheSameValue)
{
    // Target velocity: shown in rpm through the encoder resolution, a drive constant.
    const CliRun run = Drivactl(install, {QStringLiteral("--sim"), QStringLiteral("set"),
                                          QStringLiteral("60FF00"), QStringLiteral("1500"),
                                          QStringLiteral("--unit"), QStringLiteral("rpm")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("60FF00 Target velocity = 1500.000 rpm\n"));

    // The raw value went through the formula: 1500 rpm at 131072 increments per revolution.
    const CliRun raw = Drivactl(install, {QStringLiteral("--sim"), QStringLiteral("set"),
                                          QStringLiteral("60FF00"), QStringLiteral("3276800"),
                                          QStringLiteral("--unit"), QStringLiteral("inc/s")});
    ASSERT_EQ(raw.exitCode, 0) << raw.err.toStdString();
    EXPECT_EQ(raw.out, QStringLiteral("60FF00 Target velocity = 3276800 inc/s\n"));

    // A unit that is only shown cannot be written; a text that does not fit sends nothing.
    EXPECT_EQ(Drivactl(install,
                       {QStringLiteral("--sim"), QStringLiteral("set"), QStringLiteral("60FF00"),
                        QStringLiteral("1"), QStringLiteral("--unit"), QStringLiteral("furlong")})
                  .exitCode,
              3);
}

TEST_F(DrivactlTest, UnitsListsFormulasWithoutADrive)
{
    const CliRun run = Drivactl(install, {QStringLiteral("units"), QStringLiteral("60FF00")});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("default unit: rpm")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("N*60/[22000C20]")));
}

TEST_F(DrivactlTest, WatchPollsUntilTheCount)
{
    const CliRun run = Drivactl(install, {QStringLiteral("--sim"), QStringLiteral("watch"),
                                          QStringLiteral("606400"), QStringLiteral("604100"),
                                          QStringLiteral("--count"), QStringLiteral("3")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.count(QStringLiteral("606400 ")), 3);
    EXPECT_EQ(run.out.count(QStringLiteral("604100 ")), 3);
    // The actual position moves while the drive runs.
    const QStringList positions =
        run.out.split(QLatin1Char('\n')).filter(QStringLiteral("606400 "));
    EXPECT_NE(positions.first(), positions.last());
}

TEST_F(DrivactlTest, SameCommandsOverVirtualCan)
{
    // A bus of its own for this process: the simulator hosts it, drivactl joins it.
    const QString bus = QStringLiteral("virtualcan:tcp://127.0.0.1:%1/can0")
                            .arg(30000 + QCoreApplication::applicationPid() % 5000);
    const CliRun read = Drivactl(install, {QStringLiteral("--sim"), QStringLiteral("--can"), bus,
                                           QStringLiteral("read"), QStringLiteral("604100"),
                                           QStringLiteral("2FFF00")});
    EXPECT_EQ(read.exitCode, 1) << read.err.toStdString();
    EXPECT_TRUE(read.out.contains(QStringLiteral("604100 "))) << read.out.toStdString();
    EXPECT_TRUE(read.out.contains(QStringLiteral("abort 0x06010001")));
    const CliRun upload = Drivactl(install, {QStringLiteral("--sim"), QStringLiteral("--can"), bus,
                                             QStringLiteral("upload"), QStringLiteral("100800")});
    EXPECT_EQ(upload.exitCode, 0) << upload.err.toStdString();
    EXPECT_TRUE(upload.out.contains(QStringLiteral("\"VELMOR ECD-2000A\"")));
}
