#include "rterror/RealtimeErrorPage.h"
#include "TestSupport.h"
#include "comm/AbortCodes.h"
#include "comm/CtrlLink.h"
#include "comm/LinkFlags.h"

#include <gtest/gtest.h>

namespace {
using namespace DriveObject;

TEST(RealtimeError, MaskArithmetic)
{
    struct Row
    {
        uint32_t mask;
        int bit;
        bool set;
        uint32_t written;
    };
    // Row 18 is bit 1 of the high word; row 1 bit 0 of the low word.
    const Row rows[] = {
        {0xFFFF, 17, false, 0xFFFD}, {0x0000, 0, true, 0x0001}, {0x8001, 15, false, 0x0001},
        {0x0001, 31, true, 0x8001},  {0x1234, 4, true, 0x1234},
    };
    for (const Row& row : rows)
        EXPECT_EQ(RealtimeError::MaskWithBit(row.mask, row.bit, row.set), row.written) << row.bit;
    EXPECT_EQ(RealtimeError::SetBits(0x80000005), QVector<int>({0, 2, 31}));
}

TEST(RealtimeError, NamesInBothLanguages)
{
    const QString file = QStringLiteral(DRIVARA_DIST_DIR "/sys/RealTimeError.ini");
    const QStringList chinese = RealtimeError::LoadNames(file, 1);
    const QStringList english = RealtimeError::LoadNames(file, 2);
    ASSERT_EQ(chinese.size(), 32);
    EXPECT_EQ(chinese.first(), QString::fromUtf8("过流"));
    EXPECT_EQ(english.first(), QStringLiteral("Over-current"));
    EXPECT_EQ(english.last(), QStringLiteral("Internal firmware error"));
    EXPECT_EQ(RealtimeError::LoadNames(QStringLiteral("/nonexistent.ini"), 2),
              QStringList(QVector<QString>(32)));
}

// The first read runs one step per answer, whatever order the answers come in; polled answers
// keep the words current afterwards. (Against the drive: the error page's widget test.)
TEST(RealtimeError, FirstReadStepsOnEveryAnswer)
{
    CLinkFlags flags;
    CCtrlLink link(flags, QString());
    CRealtimeErrorPage page(link, {});
    page.Start();
    EXPECT_EQ(link.LoopCount(), 4);
    EXPECT_EQ(page.initStep(), 2);
    const std::pair<uint32_t, uint32_t> answers[] = {{kErrorStatusHigh, 0x8000},
                                                     {kErrorStatusLow, 0x0005},
                                                     {kErrorMaskHigh, 0x7FFF},
                                                     {kErrorMaskLow, 0xFFFE}};
    const int steps[] = {3, 4, 5, 0};
    for (int i = 0; i < 4; ++i) {
        page.OnMessage(WM_SDO_VALUE, answers[i].second, answers[i].first);
        EXPECT_EQ(page.initStep(), steps[i]);
    }
    EXPECT_EQ(page.status(), 0x80000005u);
    EXPECT_EQ(page.mask(), 0x7FFFFFFEu);
    page.OnMessage(WM_SDO_VALUE, 1, 0x604100); // not the page's: ignored
    EXPECT_EQ(page.status(), 0x80000005u);

    CRealtimeErrorPage aborted(link, {});
    aborted.Start();
    aborted.OnMessage(WM_SDO_ABORT, AbortCode::kNoObject, kErrorMaskLow);
    EXPECT_EQ(aborted.initStep(), 0);
}

} // namespace
