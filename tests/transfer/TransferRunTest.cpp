// The transfer runs against the virtual drive through the real link: one job at a time, and a
// restart never while a run or a store goes.

#include "../link/LinkTestSupport.h"

#include "dictionary/SdoDatabase.h"
#include "transfer/TransferRuns.h"

using namespace LinkTest;

TEST(TransferRuns, OneJobAtATimeAndNoRestartInBetween)
{
    CLinkBench bench(Transport::Serial);
    bench.Start();
    CSdoDatabase dictionary;
    ASSERT_TRUE(dictionary.LoadFile(DataDir() + QStringLiteral("/velmor.dat"), 2));
    CStoreRun store(*bench.link, bench.flags);
    CRestartRun restart(*bench.link, bench.flags);
    CImportRun run(*bench.link, bench.flags, dictionary);
    run.SetRows(
        ImportRows({{"100C0010", 0x100C0010, "77"}, {"3FFF0018", 0x3FFF0018, "1"}}, dictionary));
    QString refusal;

    ASSERT_TRUE(store.Start(refusal));
    EXPECT_FALSE(restart.Start(refusal));
    EXPECT_TRUE(refusal.contains(QLatin1String("not restarted"))) << refusal.toStdString();
    EXPECT_FALSE(run.Start(refusal));
    ASSERT_TRUE(Until([&] { return !store.running(); }));
    EXPECT_TRUE(store.stored());

    ASSERT_TRUE(run.Start(refusal));
    EXPECT_FALSE(restart.Start(refusal));
    ASSERT_TRUE(Until([&] { return !run.running(); }));
    // A width no write command fits ends its row without asking the drive.
    EXPECT_EQ(run.rows()[0].outcome, TransferOutcome::True);
    EXPECT_EQ(run.rows()[1].outcome, TransferOutcome::Fail);
    EXPECT_FALSE(run.linkFailed());

    bool sent = false;
    QObject::connect(&restart, &CRestartRun::finished, &restart, [&](bool s) { sent = s; });
    restart.SetSettleMs(0);
    ASSERT_TRUE(restart.Start(refusal)) << refusal.toStdString();
    ASSERT_TRUE(Until([&] { return !restart.running(); }));
    EXPECT_TRUE(sent);
    // Each store step and the restart went out once.
    for (const auto& frame : {BuildSdo(kWrite1, 0x2FF003, 1), BuildSdo(kWrite1, 0x2FF001, 1),
                              BuildSdo(kWrite2, 0x2FFF00, 0xAA55)})
        EXPECT_EQ(bench.drive.FrameCount(frame.data()), 1);
}

// A drive takes a PDO's mapping only while the PDO is not valid and the entries only while the
// count is 0, whatever order the file has the rows in (RPDO1 starts valid, 0x201, one entry).
TEST(TransferRuns, PdoMappingIsWrittenWhileThePdoIsDisabled)
{
    CSdoDatabase dictionary;
    ASSERT_TRUE(dictionary.LoadFile(DataDir() + QStringLiteral("/velmor.dat"), 2));
    const auto T = TransferOutcome::True, F = TransferOutcome::Fail;
    const struct
    {
        const char* what;
        QVector<CConfigEntry> file;
        QVector<TransferOutcome> outcomes;
        uint32_t cobId, count, entry2;
        int steps; // writes of the run's own, not rows of the file
    } cases[] = {
        {"remapped, valid again",
         {{"14000120", 0x14000120, "513"},
          {"100C0010", 0x100C0010, "77"},
          {"16000008", 0x16000008, "2"},
          {"16000120", 0x16000120, "1614807056"},
          {"16000220", 0x16000220, "1618608160"}},
         {T, T, T, T, T},
         0x201,
         2,
         0x607A0020,
         2},
        {"a non-mappable object leaves it disabled",
         {{"16000008", 0x16000008, "2"},
          {"16000120", 0x16000120, "1614807056"},
          {"16000220", 0x16000220, "269221904"},
          {"14000120", 0x14000120, "513"}},
         {F, T, F, F},
         0x80000201,
         0,
         0,
         2},
        {"saved disabled, no COB-ID twice",
         {{"16000008", 0x16000008, "1"}, {"14000120", 0x14000120, "2147484033"}},
         {T, T},
         0x80000181,
         1,
         0,
         1},
        {"no COB-ID in the file: the drive's, read first",
         {{"16000008", 0x16000008, "0"}},
         {T},
         0x80000201,
         0,
         0,
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CLinkBench bench(Transport::Serial);
        bench.Start();
        CImportRun run(*bench.link, bench.flags, dictionary);
        run.SetRows(ImportRows(c.file, dictionary));
        QStringList steps;
        QObject::connect(&run, &CImportRun::stepDone, &run,
                         [&](const QString& line, TransferOutcome) { steps << line; });
        QString refusal;
        ASSERT_TRUE(run.Start(refusal)) << refusal.toStdString();
        ASSERT_TRUE(Until([&] { return !run.running(); }));
        for (int i = 0; i < c.outcomes.size(); ++i)
            EXPECT_EQ(OutcomeText(run.rows()[i].outcome).toStdString(),
                      OutcomeText(c.outcomes[i]).toStdString())
                << i << ' ' << run.rows()[i].reason.toStdString();
        EXPECT_EQ(bench.drive.Value(0x140001), c.cobId);
        EXPECT_EQ(bench.drive.Value(0x160000), c.count);
        EXPECT_EQ(bench.drive.Value(0x160002), c.entry2);
        EXPECT_EQ(bench.drive.MaxWriteFrameCount(), 1);
        EXPECT_EQ(steps.size(), c.steps) << steps.join(QLatin1Char('\n')).toStdString();
    }
}
