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
        ASSERT_TRUE(sys->dictionary.WaitUntilLoaded(30000));
        messages.Take(); // whatever loading had to say is not ours
        sys->mainFrameWnd = kMainFrame;
        RecordRequests(sys->evaluator, sent, [this] { return sys->mainFrameWnd.load(); });
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

    CRawWrite Prepare(uint32_t key, const char* unit, const char* dataType, const char* text)
    {
        return sys->PrepareWrite(kPage, key, QString::fromUtf8(unit), QString::fromUtf8(dataType),
                                 QString::fromUtf8(text));
    }

    MessageRecorder messages;
    TestSupport::TempInstall install;
    std::unique_ptr<CSysData> sys =
        std::make_unique<CSysData>(CSysDataOptions{install.base(), 1033});
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
        {kSpeed, "", raw}, {kSpeed, "ASCII", raw}, {kNoUnits, "HEX", raw},
        {kSpeed, "rpm", {true, 120, "N*60/4096", true}}, {kSpeed, "rps", {true, 8192, "N/4096", true}},
        {kSpeed, "r", failed}, {kSpeed, "rad", failed}, {kNoUnits, "rpm", failed},
        {0x123500, "xyz", failed}};
    // clang-format on
    for (const auto& [key, unit, expected] : cases)
        EXPECT_EQ(Display(key, unit, 8192), expected) << std::hex << key << " " << unit;

    // No value or no key: nothing to show.
    QString formula;
    bool done = false;
    double value = 1.0;
    EXPECT_FALSE(sys->ConvertForDisplay(kPage, kSpeed, "DEC", nullptr, formula, done) ||
                 sys->ConvertForDisplay(kPage, 0, "DEC", &value, formula, done) || done);
    EXPECT_EQ(messages.Take(), QStringList{QStringLiteral("Add default unit failure \n")});
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

// Typed text to the raw value: the whole text must be a number, it must fit the object's type
// after the unit's conversion (rounded to the nearest raw step), or nothing is written and the
// message names what the unit accepts.
TEST_F(UnitConversionTest, PrepareWriteChecksTheTypedValue)
{
    Register(kTarget, "[v rpm]N*60/4096,[rpm DEC]N*4096/60,[inc/s inc/s]N*1,[x10]N*10,"
                      "[l mH]N/100,[mH DEC]N*100,[c]N*1");
    const uint32_t no = 0xDEAD; // marks a row whose text must be refused
    // clang-format off
    const std::tuple<const char*, const char*, const char*, uint8_t, uint32_t, const char*> cases[] = {
        // unit, type, text: command, raw, or (no) a part of the refusal. 1.15 mH is 114.99999...
        // raw: rounded to the nearest step.
        {"rpm", "I32", "1500", 0x23, 102400, ""}, {"rpm", "I32", "31457280", 0, no, "31457279.985 rpm"},
        {"rpm", "I32", "abc", 0, no, "from -31457280.000 to 31457279.985 rpm"},
        {"mH", "U16", "1.15", 0x2B, 115, ""}, {"mH", "U16", "-0.004", 0x2B, 0, ""},
        {"mH", "U16", "655.36", 0, no, "from 0.000 to 655.350 mH"},
        {"inc/s", "I32", " 0x10 ", 0, no, "is not a number"},
        {"inc/s", "I16", "40000", 0, no, "from -32768 to 32767 inc/s"},
        // An unlabelled N*1 is writable as shown; x10 is shown without converting.
        {"c", "U8", "7", 0x2F, 7, ""}, {"x10", "I32", "1", 0, no, "cannot be written"},
        {"v", "I32", "1", 0, no, "unit v cannot be written; it can be written in rpm, inc/s, mH, c, DEC, HEX"},
        {"deg", "I32", "1", 0, no, "cannot be written"}, {"DEC", "U8", "255", 0x2F, 255, ""},
        {"DEC", "U8", "256", 0, no, "from 0 to 255"}, {"DEC", "I8", "-128", 0x2F, 0xFFFFFF80u, ""},
        {"", "I8", "-129", 0, no, "-128 to 127"}, {"DEC", "I16", "1.5", 0, no, ""},
        {"DEC", "I32", "3000000000", 0, no, "-2147483648 to 2147483647"},
        {"DEC", "U32", "4294967295", 0x23, 0xFFFFFFFFu, ""}, {"HEX", "U16", "ffff", 0x2B, 0xFFFF, ""},
        {"HEX", "I16", "0x1F4", 0x2B, 500, ""}, {"HEX", "U16", "10000", 0, no, "from 0 to ffff"},
        {"HEX", "U16", "-1", 0, no, ""}, {"ASCII", "U32", "ABCD", 0x23, 0x44434241, ""},
        // Ä is one byte, the euro sign is not.
        {"ASCII", "U32", "ABC", 0, no, "exactly 4"}, {"ASCII", "U32", "AB\xE2\x82\xAC" "D", 0, no, "one byte each"},
        {"ASCII", "U32", "AB\xC3\x84" "D", 0x23, 0x44C44241, ""},
        {"DEC", "VISIBLE STRING", "1", 0, no, "cannot be written"}};
    // clang-format on
    for (const auto& [unit, type, text, command, raw, message] : cases) {
        SCOPED_TRACE(std::string(unit) + " " + type + " \"" + text + "\"");
        const CRawWrite write = Prepare(kTarget, unit, type, text);
        EXPECT_EQ(write.outcome, raw == no ? CRawWrite::Refused : CRawWrite::Ready)
            << write.error.toStdString();
        EXPECT_TRUE(write.error.contains(QString::fromUtf8(message))) << write.error.toStdString();
        if (raw != no) {
            EXPECT_EQ(std::make_pair(write.command, write.raw), std::make_pair(command, raw));
        }
    }
    EXPECT_TRUE(sent.empty());
}

// A write whose formula needs constants waits for all of them, and is then checked like any
// other: sent once when it fits, refused with a message when it does not.
TEST_F(UnitConversionTest, ParkedWriteIsCheckedWhenItsConstantsArrive)
{
    Register(kTarget, "[p rev]N/[60910120]*[60920120],[rev DEC]N*[60910120]/[60920120]");
    EXPECT_EQ(Prepare(kTarget, "rev", "I16", "8.4").outcome, CRawWrite::WaitsForConstant);
    EXPECT_EQ(sent, (SentList{{kMainFrame, 0x40, kGearNumerator, 0}}));

    sent.clear();
    OnConstantArrived(sys->evaluator, kGearNumerator, 4);
    EXPECT_EQ(sent, (SentList{{kMainFrame, 0x40, kGearDivisor, 0}}));

    // 8.4 x 4 / 1 = 33.6: the nearest raw step is 34. Completing again sends nothing more.
    sent.clear();
    OnConstantArrived(sys->evaluator, kGearDivisor, 1);
    sys->evaluator.CompleteParkedRequest();
    EXPECT_EQ(sent, (SentList{{kPage, 0x2B, kTarget, 34}}));

    // Outside the type once converted: nothing is sent, the operator is told.
    sys->evaluator.ClearConsts();
    sent.clear();
    EXPECT_EQ(Prepare(kTarget, "rev", "I16", "9000").outcome, CRawWrite::WaitsForConstant);
    OnConstantArrived(sys->evaluator, kGearNumerator, 4);
    OnConstantArrived(sys->evaluator, kGearDivisor, 1);
    EXPECT_EQ(sent, (SentList{{kMainFrame, 0x40, kGearNumerator, 0},
                              {kMainFrame, 0x40, kGearDivisor, 0}}));
    const QStringList texts = messages.Take();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("-32768 to 32767"))) << texts[0].toStdString();
}

} // namespace
