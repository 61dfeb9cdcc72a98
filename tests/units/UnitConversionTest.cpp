#include "TestSupport.h"
#include "UnitsTestSupport.h"

#include "app/SysData.h"
#include "pages/ConstantArrival.h"

#include <gtest/gtest.h>

#include <memory>

using namespace UnitsTest;

namespace {

constexpr uint32_t kSpeed = 0x606C00;
constexpr uint32_t kTarget = 0x607A00;
constexpr uint32_t kGearNumerator = 0x609101;
constexpr uint32_t kGearDivisor = 0x609201;

// The program-wide data object of a temporary installation, with the formula requests recorded
// at the evaluator's requester (the link is never opened here) and the main frame's handle set.
class UnitConversionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys = std::make_unique<CSysData>(CSysDataOptions{install.base(), 1033});
        ASSERT_TRUE(sys->dictionary.WaitUntilLoaded(30000));
        messages.texts.clear(); // whatever loading had to say is not ours
        sys->mainFrameWnd = kMainFrame;
        CSysData* data = sys.get();
        RecordRequests(sys->evaluator, sent, [data] { return data->mainFrameWnd.load(); });
    }

    void Register(uint32_t key, const char* unitText)
    {
        QString name;
        ASSERT_TRUE(sys->unitTable.GetDefaultUnit(key, QString::fromUtf8(unitText), name));
    }

    // ConvertForDisplay's outcome in one value.
    struct Shown
    {
        bool ok = false;
        double value = 0.0;
        QString formula = QStringLiteral("untouched");
        bool done = false;
    };
    Shown Display(uint32_t key, const char* unit, double raw)
    {
        Shown shown;
        shown.value = raw;
        shown.ok = sys->ConvertForDisplay(kPage, key, QString::fromUtf8(unit), &shown.value,
                                          shown.formula, shown.done);
        return shown;
    }

    void Write(uint32_t key, const char* unit, const char* dataType, const char* text)
    {
        sys->WriteThroughFormula(kPage, key, QString::fromUtf8(unit), QString::fromUtf8(dataType),
                                 QString::fromUtf8(text));
    }

    MessageRecorder messages;
    TestSupport::TempInstall install;
    std::unique_ptr<CSysData> sys;
    std::vector<Sent> sent;
};

TEST_F(UnitConversionTest, FormatKeywordsNeedNoConversion)
{
    Register(kSpeed, "[r rpm]N*60/4096");
    for (const char* unit : {"", "DEC", "ASCII", "HEX"}) {
        const Shown shown = Display(kSpeed, unit, 8192);
        EXPECT_TRUE(shown.ok) << unit;
        EXPECT_TRUE(shown.done) << unit;
        EXPECT_DOUBLE_EQ(shown.value, 8192.0) << unit;
        EXPECT_EQ(shown.formula, QStringLiteral("untouched")) << unit;
    }
    // Even a key without units is shown in a format keyword.
    EXPECT_TRUE(Display(0x123400, "HEX", 1).ok);

    // No value or no key: nothing to show.
    QString formula;
    bool done = false;
    EXPECT_FALSE(
        sys->ConvertForDisplay(kPage, kSpeed, QStringLiteral("DEC"), nullptr, formula, done));
    double value = 1.0;
    EXPECT_FALSE(sys->ConvertForDisplay(kPage, 0, QStringLiteral("DEC"), &value, formula, done));
    EXPECT_FALSE(done);
    EXPECT_TRUE(sent.empty());
}

TEST_F(UnitConversionTest, LabelledUnitConvertsAndUnlabelledUnitShowsTheRawValue)
{
    Register(kSpeed, "[r rpm]N*60/4096,[rps]N/4096");
    Shown shown = Display(kSpeed, "rpm", 8192);
    EXPECT_TRUE(shown.ok);
    EXPECT_TRUE(shown.done);
    EXPECT_DOUBLE_EQ(shown.value, 120.0);
    EXPECT_EQ(shown.formula, QStringLiteral("N*60/4096"));

    // Matched by name because it has no label, but not converted.
    shown = Display(kSpeed, "rps", 8192);
    EXPECT_TRUE(shown.ok);
    EXPECT_TRUE(shown.done);
    EXPECT_DOUBLE_EQ(shown.value, 8192.0);
    EXPECT_EQ(shown.formula, QStringLiteral("N/4096"));

    // A labelled record is not matched by its name; unknown units and keys fail.
    for (const char* unit : {"r", "rad"}) {
        shown = Display(kSpeed, unit, 8192);
        EXPECT_FALSE(shown.ok) << unit;
        EXPECT_FALSE(shown.done) << unit;
        EXPECT_DOUBLE_EQ(shown.value, 8192.0) << unit;
    }
    EXPECT_FALSE(Display(0x123400, "rpm", 1).ok);
    Register(0x123500, "xyz");
    EXPECT_FALSE(Display(0x123500, "xyz", 1).ok);
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("Add default unit failure \n")});
    EXPECT_TRUE(sent.empty());
}

TEST_F(UnitConversionTest, DisplayingAConstantObjectRefreshesItsCache)
{
    sys->evaluator.AddConst(kGearNumerator, 3);
    EXPECT_TRUE(Display(kGearNumerator, "DEC", 7).ok);
    EXPECT_EQ(sys->evaluator.GetConst(kGearNumerator), 7);
    // An unsigned 32-bit reading is cached with its bit pattern, as an arrival would be.
    EXPECT_TRUE(Display(kGearNumerator, "DEC", 4294967295.0).ok);
    EXPECT_EQ(sys->evaluator.GetConst(kGearNumerator), -1);
    // Objects that are no constant are not added.
    EXPECT_TRUE(Display(kGearDivisor, "DEC", 7).ok);
    EXPECT_FALSE(sys->evaluator.ConstExists(kGearDivisor));
}

TEST_F(UnitConversionTest, DisplayWaitsForAConstantAndReadsTheRowAgain)
{
    Register(kSpeed, "[v rpm]N*[60910120]");
    Shown shown = Display(kSpeed, "rpm", 10);
    EXPECT_FALSE(shown.ok);
    EXPECT_DOUBLE_EQ(shown.value, 10.0);
    EXPECT_EQ(sent, (std::vector<Sent>{{kMainFrame, 0x40, kGearNumerator, 0}}));

    // The answer completes the parked read of the row.
    sent.clear();
    OnConstantArrived(sys->evaluator, kGearNumerator, 3);
    EXPECT_EQ(sent, (std::vector<Sent>{{kPage, 0x40, kSpeed, 0}}));

    // Cached now: converted at once, nothing more requested; a second answer changes nothing.
    sent.clear();
    shown = Display(kSpeed, "rpm", 10);
    EXPECT_TRUE(shown.ok);
    EXPECT_DOUBLE_EQ(shown.value, 30.0);
    OnConstantArrived(sys->evaluator, kGearNumerator, 5);
    EXPECT_EQ(sys->evaluator.GetConst(kGearNumerator), 3);
    EXPECT_TRUE(sent.empty());

    // The arriving 32 bits are taken as signed.
    OnConstantArrived(sys->evaluator, kGearDivisor, 0xFFFFFFFEu);
    EXPECT_EQ(sys->evaluator.GetConst(kGearDivisor), -2);
}

TEST_F(UnitConversionTest, WriteMatchesByNameAndUsesTheWidthsCommand)
{
    Register(kTarget, "[inc]N*1,[rev]N*4096,[r rpm]N*4096/60");
    Write(kTarget, "rev", "INTEGER32", "2.5");
    Write(kTarget, "rev", "UNSIGNED16", "1");
    Write(kTarget, "rev", "U8", "0.5");
    Write(kTarget, "inc", "INTEGER32", "-3");
    Write(kTarget, "r", "INTEGER32", "60"); // the name of a labelled record
    Write(kTarget, "rev", "VISIBLE STRING", "1");
    EXPECT_EQ(sent, (std::vector<Sent>{{kPage, 0x23, kTarget, 10240},
                                       {kPage, 0x2B, kTarget, 4096},
                                       {kPage, 0x2F, kTarget, 2048},
                                       {kPage, 0x23, kTarget, 0xFFFFFFFDu},
                                       {kPage, 0x23, kTarget, 4096},
                                       {kPage, 0x00, kTarget, 4096}}));

    // The standard conversion: leading blanks, the number as far as it goes, else 0.
    sent.clear();
    Write(kTarget, "rev", "INTEGER32", " 2abc");
    Write(kTarget, "rev", "INTEGER32", "abc");
    EXPECT_EQ(sent, (std::vector<Sent>{{kPage, 0x23, kTarget, 8192}, {kPage, 0x23, kTarget, 0}}));
}

TEST_F(UnitConversionTest, WriteThroughALabelOrAnUnknownUnitSendsNothing)
{
    Register(kTarget, "[r rpm]N*4096/60");
    Write(kTarget, "rpm", "INTEGER32", "60");
    Write(kTarget, "rev", "INTEGER32", "60");
    Write(0x123400, "rpm", "INTEGER32", "60");
    EXPECT_TRUE(sent.empty());
    // Nor was anything parked.
    OnConstantArrived(sys->evaluator, kGearNumerator, 3);
    EXPECT_TRUE(sent.empty());
}

TEST_F(UnitConversionTest, EveryRecordOfTheNameWrites)
{
    Register(kTarget, "[a]N*1,[a]N*2");
    Write(kTarget, "a", "INTEGER16", "5");
    EXPECT_EQ(sent, (std::vector<Sent>{{kPage, 0x2B, kTarget, 5}, {kPage, 0x2B, kTarget, 10}}));
}

TEST_F(UnitConversionTest, ParkedWriteIsSentWhenItsConstantsArrive)
{
    Register(kTarget, "[v]N*[60910120]");
    Write(kTarget, "v", "UNSIGNED16", "5");
    EXPECT_EQ(sent, (std::vector<Sent>{{kMainFrame, 0x40, kGearNumerator, 0}}));
    sent.clear();
    OnConstantArrived(sys->evaluator, kGearNumerator, 3);
    EXPECT_EQ(sent, (std::vector<Sent>{{kPage, 0x2B, kTarget, 15}}));
}

TEST_F(UnitConversionTest, TwoMissingConstantsHoldTheWriteUntilBothArrived)
{
    Register(kTarget, "[v]N*[60910120]/[60920120]");
    Write(kTarget, "v", "INTEGER32", "8");
    EXPECT_EQ(sent, (std::vector<Sent>{{kMainFrame, 0x40, kGearNumerator, 0}}));

    sent.clear();
    OnConstantArrived(sys->evaluator, kGearNumerator, 4);
    EXPECT_EQ(sent, (std::vector<Sent>{{kMainFrame, 0x40, kGearDivisor, 0}}));

    sent.clear();
    OnConstantArrived(sys->evaluator, kGearDivisor, 2);
    EXPECT_EQ(sent, (std::vector<Sent>{{kPage, 0x23, kTarget, 16}}));
}

} // namespace
