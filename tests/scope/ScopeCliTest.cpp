// drivactl scope end to end: the real binary against drivara-sim over a pseudo-terminal. A
// velocity step captured with two velocity-loop gains shows two overshoots, read from the CSV
// files; a refused or cut upload ends with the exit codes of every other command.

#include "../cli/CliTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace CliTest;

namespace {

constexpr int kStep = 2184533; // 1000 rpm in increments per second

// The velocity of a step response (the first column) from a CSV that drivactl wrote.
std::vector<double> FirstColumn(const QString& path)
{
    std::vector<double> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return values;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            values.push_back(line.split(',').front().toDouble());
    }
    return values;
}

// A capture of the actual velocity (and the target and torque beside it), triggered as the
// velocity rises through half the step.
QStringList ScopeArgs(const QString& port, const QString& csv)
{
    return {QStringLiteral("--serial"),
            port,
            QStringLiteral("scope"),
            QStringLiteral("--channel"),
            QStringLiteral("606C00"),
            QStringLiteral("--channel"),
            QStringLiteral("60FF00,607700"),
            QStringLiteral("--trigger"),
            QStringLiteral("606C00"),
            QStringLiteral("--level"),
            QString::number(kStep / 2),
            QStringLiteral("--edge"),
            QStringLiteral("rise"),
            QStringLiteral("--period"),
            QStringLiteral("4"),
            QStringLiteral("--count"),
            QStringLiteral("800"),
            QStringLiteral("--offset"),
            QStringLiteral("100"),
            QStringLiteral("--csv"),
            csv};
}

TEST(ScopeCliTest, StepResponseOvershootFollowsTheVelocityGain)
{
    CSimProcess sim({QStringLiteral("--serial"), QStringLiteral("--set"),
                     QStringLiteral("606000=3"), QStringLiteral("--step"),
                     QStringLiteral("60FF00=%1").arg(kStep)});
    ASSERT_FALSE(sim.port.isEmpty()) << sim.line.toStdString();
    QTemporaryDir dir;
    std::vector<double> overshoot;
    for (const char* gain : {"120", "40"}) {
        for (const auto& [key, value] : {std::pair{"222001", gain}, std::pair{"60FF00", "0"}}) {
            const CliRun write =
                RunDrivactl({QStringLiteral("--serial"), sim.port, QStringLiteral("write"),
                             QLatin1String(key), QLatin1String(value)});
            ASSERT_EQ(write.exitCode, 0) << Show(write);
        }
        const QString csv = dir.filePath(QStringLiteral("step-%1.csv").arg(gain));
        const CliRun run = RunDrivactl(ScopeArgs(sim.port, csv));
        ASSERT_EQ(run.exitCode, 0) << Show(run);
        const std::vector<double> velocity = FirstColumn(csv);
        ASSERT_EQ(velocity.size(), 800u) << Show(run);
        // At rest before the trigger point, past half the step from it on.
        EXPECT_EQ(velocity.front(), 0) << gain;
        EXPECT_GE(velocity[100], kStep / 2) << gain;
        const double peak = *std::max_element(velocity.begin(), velocity.end());
        overshoot.push_back((peak - kStep) / kStep);
    }
    EXPECT_GT(overshoot[0], 0.05);
    EXPECT_GT(overshoot[1], overshoot[0] + 0.05); // the weaker loop overshoots further
}

TEST(ScopeCliTest, UploadFaultsEndWithTheirExitCodes)
{
    const struct
    {
        const char* fault;
        const char* value;
        int exitCode;
    } cases[] = {
        {"--abort-upload", "2:0x08000000", 1}, // the drive refuses the record
        {"--end-upload", "3", 2},              // the record ends before its announced length
    };
    for (const auto& c : cases) {
        CSimProcess sim(
            {QStringLiteral("--serial"), QLatin1String(c.fault), QLatin1String(c.value)});
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("out.csv"));
        const CliRun run = RunDrivactl({QStringLiteral("--serial"), sim.port,
                                        QStringLiteral("scope"), QStringLiteral("--channel"),
                                        QStringLiteral("604100"), QStringLiteral("--trigger"),
                                        QStringLiteral("0"), QStringLiteral("--csv"), csv});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.fault << Show(run);
        EXPECT_FALSE(QFile::exists(csv)) << c.fault;
    }
}

} // namespace
