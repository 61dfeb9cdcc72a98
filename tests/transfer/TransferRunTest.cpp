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
