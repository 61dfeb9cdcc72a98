#include "TestSupport.h"
#include "UnitsTestSupport.h"

#include "app/SysData.h"
#include "units/ConstantArrival.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

using namespace UnitsTest;

namespace {

constexpr uint32_t kSpeed = 0x606C00;
constexpr uint32_t kTarget = 0x607A00;
constexpr uint32_t kNoUnits = 0x123400;
constexpr uint32_t kGearNumerator = 0x609101;
constexpr uint32_t kGearDivisor = 0x609201;

// The program-wide data object of a temporary installation, with the formula requests recorded
// at the evaluator's requester (the link is never opened here).
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

    // ConvertForDisplay's outcome: whether it succeeded, the value, the formula and done.
    std::tuple<bool, double, QString, bool> Display(uint32_t key, const char* unit, double raw)
    {
        QString formula = QStringLiteral("-");
        bool done = false;
        const bool ok =
            sys->ConvertForDisplay(kPage, key, QString::fromUtf8(unit), &raw, formula, done);
        return {ok, raw, formula, done};
    }

    void Write(uint32_t key, const char* unit, const char* dataType, const char* text)
    {
        sys->WriteThroughFormula(kPage, key, QString::fromUtf8(unit), QString::fromUtf8(dataType),
                                 QString::fromUtf8(text));
    }

    MessageRecorder messages;
    TestSupport::TempInstall install;
    std::unique_ptr<CSysData> sys;
    SentList sent;
};

TEST_F(UnitConversionTest, DisplayByUnitKind)
{
    Register(kSpeed, "[r rpm]N*60/4096,[rps]N/4096");
    Register(0x123500, "xyz");
    // key, unit, and the outcome for 8192: success, value, formula ("-": untouched), done.
    // Format keywords need no conversion, even for a key without units; a labelled record
    // converts; one without a label is matched by name and not converted. A labelled record is
    // not matched by its name; unknown units and keys fail.
    using Shown = std::tuple<bool, double, QString, bool>;
    const Shown raw{true, 8192, "-", true}, failed{false, 8192, "-", false};
    // clang-format off
    const std::tuple<uint32_t, const char*, Shown> cases[] = {
        {kSpeed, "", raw}, {kSpeed, "DEC", raw}, {kSpeed, "ASCII", raw}, {kSpeed, "HEX", raw},
        {kNoUnits, "HEX", raw},
        {kSpeed, "rpm", {true, 120, "N*60/4096", true}}, {kSpeed, "rps", {true, 8192, "N/4096", true}},
        {kSpeed, "r", failed}, {kSpeed, "rad", failed}, {kNoUnits, "rpm", failed},
        {0x123500, "xyz", failed}};
    // clang-format on
    for (const auto& [key, unit, expected] : cases)
        EXPECT_EQ(Display(key, unit, 8192), expected) << std::hex << key << " " << unit;

    // No value or no key: nothing to show.
    QString formula;
    bool done = false;
    EXPECT_FALSE(
        sys->ConvertForDisplay(kPage, kSpeed, QStringLiteral("DEC"), nullptr, formula, done));
    double value = 1.0;
    EXPECT_FALSE(sys->ConvertForDisplay(kPage, 0, QStringLiteral("DEC"), &value, formula, done));
    EXPECT_FALSE(done);
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("Add default unit failure \n")});
    EXPECT_TRUE(sent.empty());
}

TEST_F(UnitConversionTest, DisplayFetchesAConstantOnceAndReadsTheRowAgain)
{
    Register(kSpeed, "[v rpm]N*[60910120]");
    EXPECT_EQ(Display(kSpeed, "rpm", 10), std::make_tuple(false, 10.0, QString("-"), false));
    EXPECT_EQ(sent, (SentList{{kMainFrame, 0x40, kGearNumerator, 0}}));

    // The answer completes the parked read of the row.
    sent.clear();
    OnConstantArrived(sys->evaluator, kGearNumerator, 3);
    EXPECT_EQ(sent, (SentList{{kPage, 0x40, kSpeed, 0}}));

    // Cached now: converted at once, nothing more requested; a second answer changes nothing.
    sent.clear();
    EXPECT_EQ(Display(kSpeed, "rpm", 10),
              std::make_tuple(true, 30.0, QString("N*[60910120]"), true));
    OnConstantArrived(sys->evaluator, kGearNumerator, 5);
    EXPECT_EQ(sys->evaluator.GetConst(kGearNumerator), 3);
    EXPECT_TRUE(sent.empty());

    // Displaying the constant object itself refreshes the cache with its bit pattern; other
    // objects are not added.
    EXPECT_TRUE(std::get<0>(Display(kGearNumerator, "DEC", 4294967295.0)));
    EXPECT_EQ(sys->evaluator.GetConst(kGearNumerator), -1);
    EXPECT_TRUE(std::get<0>(Display(kGearDivisor, "DEC", 7)));
    EXPECT_FALSE(sys->evaluator.ConstExists(kGearDivisor));
    // The arriving 32 bits are taken as signed.
    OnConstantArrived(sys->evaluator, kGearDivisor, 0xFFFFFFFEu);
    EXPECT_EQ(sys->evaluator.GetConst(kGearDivisor), -2);
}

TEST_F(UnitConversionTest, WriteMatchesEveryRecordByNameAndUsesTheWidthsCommand)
{
    Register(kTarget, "[inc]N*1,[rev]N*4096,[r rpm]N*4096/60,[a]N*1,[a]N*2");
    Write(kTarget, "rev", "INTEGER32", "2.5");
    Write(kTarget, "rev", "UNSIGNED16", "1");
    Write(kTarget, "rev", "U8", "0.5");
    Write(kTarget, "inc", "INTEGER32", "-3");
    Write(kTarget, "r", "INTEGER32", "60"); // the name of a labelled record
    Write(kTarget, "rev", "VISIBLE STRING", "1");
    Write(kTarget, "a", "INTEGER16", "5");
    // The standard conversion: leading blanks, the number as far as it goes, else 0.
    Write(kTarget, "rev", "INTEGER32", " 2abc");
    Write(kTarget, "rev", "INTEGER32", "abc");
    // A label, an unknown unit or a key without units write nothing.
    Write(kTarget, "rpm", "INTEGER32", "60");
    Write(kTarget, "deg", "INTEGER32", "60");
    Write(kNoUnits, "rpm", "INTEGER32", "60");
    // clang-format off
    EXPECT_EQ(sent, (SentList{{kPage, 0x23, kTarget, 10240}, {kPage, 0x2B, kTarget, 4096},
                              {kPage, 0x2F, kTarget, 2048}, {kPage, 0x23, kTarget, 0xFFFFFFFDu},
                              {kPage, 0x23, kTarget, 4096}, {kPage, 0x00, kTarget, 4096},
                              {kPage, 0x2B, kTarget, 5}, {kPage, 0x2B, kTarget, 10},
                              {kPage, 0x23, kTarget, 8192}, {kPage, 0x23, kTarget, 0}}));
    // clang-format on
    // Nor was anything parked.
    sent.clear();
    OnConstantArrived(sys->evaluator, kGearNumerator, 3);
    EXPECT_TRUE(sent.empty());
}

TEST_F(UnitConversionTest, TwoMissingConstantsHoldTheWriteUntilBothArrived)
{
    Register(kTarget, "[v]N*[60910120]/[60920120]");
    Write(kTarget, "v", "INTEGER32", "8");
    EXPECT_EQ(sent, (SentList{{kMainFrame, 0x40, kGearNumerator, 0}}));

    sent.clear();
    OnConstantArrived(sys->evaluator, kGearNumerator, 4);
    EXPECT_EQ(sent, (SentList{{kMainFrame, 0x40, kGearDivisor, 0}}));

    // The parked write is completed on the last arrival.
    sent.clear();
    OnConstantArrived(sys->evaluator, kGearDivisor, 2);
    EXPECT_EQ(sent, (SentList{{kPage, 0x23, kTarget, 16}}));
}

} // namespace
