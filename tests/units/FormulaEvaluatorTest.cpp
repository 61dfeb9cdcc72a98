#include "UnitsTestSupport.h"

#include "units/UnitTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

using namespace UnitsTest;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");
const int32_t kMin = std::numeric_limits<int32_t>::min();

class FormulaEvaluatorTest : public ::testing::Test
{
protected:
    FormulaEvaluatorTest()
    {
        RecordRequests(evaluator, sent, [] { return kMainFrame; });
    }

    bool Eval(const std::string& formula, double n, double& out)
    {
        return evaluator.EvaluateToDouble(kPage, QString::fromStdString(formula), n, out);
    }

    MessageRecorder messages;
    CFormulaEvaluator evaluator;
    SentList sent;
};

TEST_F(FormulaEvaluatorTest, EvaluatesEveryFormulaToADefinedResult)
{
    struct Case
    {
        std::string formula;
        double n, expected;
        const char* reported = ""; // the operator messages, joined by "|"
    };
    // clang-format off
    const Case cases[] = {
        // * and / strictly left to right, then at most one + or - with a single operand; a
        // number is read as far as it parses.
        {"N*60/4096", 8192, 120}, {"N/2+3", 10, 8}, {"N+3*2", 10, 13}, {"N-3*2", 10, 7},
        {"N/4*2", 10, 5}, {"n*2", 21, 42}, {"2.5*N", 4, 10}, {"N*1.5.5", 2, 3}, {"N*1", 1e300, 1e300},
        {"N*1", kNaN, kNaN}, {"N/0", 1, kInf}, {"N/0", 0, kNaN}, {"N*" + std::string(400, '9'), 1, kInf},
        // The square root skips the "." (2.5 reads as 25) and applies the first operator found
        // in the order * / + -, searching past its ")".
        {"sqrt(N*4)", 9, 6}, {"sqrt(16)", 0, 4}, {"sqrt(N/4)", 64, 4}, {"sqrt(N+7)", 9, 4},
        {"sqrt(N-7)", 23, 4}, {"sqrt(N-7)", 3, kNaN}, {"SQRT(N*4)", 9, 6}, {"sqrt(2.5)", 0, 5},
        {"sqrt(N*4)*2+1", 9, 13}, {"sqrt(N)*2", 9, 0}, {"sqrt(N+9)*1", 16, 12},
        // Outside the grammar: a leading operator works on 0; an operator without operand, or
        // an operand without operator, ends the evaluation with the value so far.
        {"42", 5, 42}, {"N", 5, 5}, {"-N", 5, -5}, {"*5", 5, 0}, {"N*/2", 6, 6}, {"N*2+-3", 6, 12},
        {"N*", 6, 6}, {"N+", 6, 6}, {"2N*3", 5, 2},
        // Faults are reported and the result stays defined. No operator in the root; then the
        // formula stops at the "q". Unknown characters end the formula.
        {"sqrt(N)", 10, 0, "sqrt function express error!! \n|Formula =>ASC: 113"},
        {"N*2 +5", 10, 20, "Formula =>ASC: 32"}, {"N*3\xC2\xB0", 10, 30, "Formula =>ASC: 176"},
        {"", 10, 0, "Formula stack is Err!!!!!\n"}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.formula.substr(0, 20) + " with N = " + std::to_string(c.n));
        messages.Take();
        double out = -12345.0;
        EXPECT_TRUE(Eval(c.formula, c.n, out));
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(out)) << out;
        else
            EXPECT_DOUBLE_EQ(out, c.expected);
        EXPECT_EQ(messages.Take().join(QLatin1Char('|')), QString::fromUtf8(c.reported));
    }
    EXPECT_TRUE(sent.empty());
}

// The integer evaluation is the double one through this truncation.
TEST(FormulaEvaluator, IntegerResultIsTheTruncated32BitRawValue)
{
    // clang-format off
    const std::pair<double, int32_t> truncations[] = {
        {2.9, 2}, {-2.9, -2}, {2147483647.5, 2147483647}, {2147483648.0, kMin}, {4294967294.5, -2},
        {kInf, -1}, {-2147483648.9, kMin}, {-kInf, kMin}, {kNaN, 0}};
    // clang-format on
    for (const auto& [value, expected] : truncations)
        EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(value), expected) << value;
}

TEST_F(FormulaEvaluatorTest, VeryLongFormulasCompileInOnePass)
{
    std::string products = "N";
    for (int i = 0; i < 100000; ++i)
        products += "*1";
    double out = 0.0;
    ASSERT_TRUE(Eval(products, 7, out));
    EXPECT_DOUBLE_EQ(out, 7.0);

    // Every "s" is a square root without operator; each retries at the next character.
    const int count = 20000;
    ASSERT_TRUE(Eval(std::string(count, 's') + "N)", 9, out));
    EXPECT_DOUBLE_EQ(out, 0.0);
    const QStringList texts = messages.Take();
    ASSERT_EQ(texts.size(), count + 1);
    EXPECT_EQ(texts.count(QStringLiteral("sqrt function express error!! \n")), count);
    EXPECT_EQ(texts.last(), QStringLiteral("Formula =>ASC: 41"));
}

TEST_F(FormulaEvaluatorTest, ConstantsAreReadOneAtATimeAndThenCached)
{
    double out = -1.0;
    EXPECT_FALSE(Eval("N*[60910120]/[60920120]", 5, out));
    EXPECT_DOUBLE_EQ(out, -1.0);
    EXPECT_EQ(sent, (SentList{{kMainFrame, 0x40, 0x609101, 0}}));

    // The key is the text shifted right by 8, rounding toward zero: -128 gives key 0.
    sent.clear();
    EXPECT_FALSE(Eval("N*[FFFFFF80]", 5, out));
    EXPECT_EQ(sent, (SentList{{kMainFrame, 0x40, 0x0, 0}}));

    sent.clear();
    evaluator.AddConst(0x609101, 3);
    evaluator.AddConst(0x609201, -2);
    const std::pair<const char*, double> cached[] = {
        {"N*[60910120]/[60920120]", -7.5}, {"[60910120]", 3}, {"N*[609101FF]+1", 16}};
    for (const auto& [formula, expected] : cached) {
        ASSERT_TRUE(Eval(formula, 5, out)) << formula;
        EXPECT_DOUBLE_EQ(out, expected) << formula;
    }
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(messages.Take().isEmpty());

    // Without a requester a missing constant still fails.
    CFormulaEvaluator bare;
    EXPECT_FALSE(bare.EvaluateToDouble(kPage, QStringLiteral("N*[60910120]"), 5, out));
    EXPECT_EQ(bare.SendRequest(kPage, 0x40, 1, 0), 0);
}

TEST_F(FormulaEvaluatorTest, ParkedRequestIsSentOnlyWhenItEvaluates)
{
    evaluator.CompleteParkedRequest(); // nothing parked
    EXPECT_TRUE(sent.empty());

    // Waiting for a constant is the conversion test's. The answer goes to the window of the
    // latest evaluation, and the slot stays.
    const QString formula = QStringLiteral("N*[60910120]");
    evaluator.ParkRequest(0x200001, 0x2B, 100, formula);
    double out = 0.0;
    ASSERT_TRUE(evaluator.EvaluateToDouble(kOtherPage, QStringLiteral("N"), 1, out));
    evaluator.AddConst(0x609101, 3);
    evaluator.CompleteParkedRequest();
    evaluator.CompleteParkedRequest();
    EXPECT_EQ(sent, SentList(2, {kOtherPage, 0x2B, 0x200001, 300}));

    // Parking again overwrites; a negative result goes out as its 32-bit pattern.
    sent.clear();
    evaluator.ParkRequest(0x200002, 0x23, -2, formula);
    evaluator.CompleteParkedRequest();
    EXPECT_EQ(sent, (SentList{{kOtherPage, 0x23, 0x200002, 0xFFFFFFFAu}}));
    EXPECT_TRUE(messages.Take().isEmpty());
}

// name|label|formula of each record.
QStringList Describe(const QVector<CUnitRecord>* records)
{
    QStringList out;
    for (const CUnitRecord& r : records ? *records : QVector<CUnitRecord>())
        out << r.name + QLatin1Char('|') + r.label + QLatin1Char('|') + r.formula;
    return out;
}

TEST(UnitTable, UnitTextGrammar)
{
    // Split at the first space only; text before a segment is ignored. The formula stops at the
    // first character outside its set (lower-case hex is); a "]" before the "[" makes a unit
    // without a name.
    // clang-format off
    const std::pair<const char*, QStringList> cases[] = {
        {"[rps]N/4096,[rpm]N*60/4096", {"rps||N/4096", "rpm||N*60/4096"}},
        {"[r rpm]N*60/4096", {"r|rpm|N*60/4096"}}, {"speed: [v mm s]N*2 [w]N", {"v|mm s|N*2", "w||N"}},
        {"[x]N*2abc", {"x||N*2"}}, {"[s]sqrt(N*4)+[60910120];", {"s||sqrt(N*4)+[60910120]"}},
        {"[x]N*2[y]N", {"x||N*2["}}, {"a]b[c]N", {"||", "c||N"}}, {"[]", {"||"}}, {"rpm", {}}, {"[rpm", {}}};
    // clang-format on
    for (const auto& [text, expected] : cases) {
        const QVector<CUnitRecord> records = CUnitTable::ParseUnitText(QString::fromUtf8(text));
        EXPECT_EQ(Describe(&records), expected) << text;
    }

    QString longText;
    for (int i = 0; i < 50000; ++i)
        longText += QStringLiteral("],");
    const QVector<CUnitRecord> records =
        CUnitTable::ParseUnitText(longText + QStringLiteral("[u]N*2"));
    ASSERT_EQ(records.size(), 50001);
    EXPECT_EQ(Describe(&records).last(), QStringLiteral("u||N*2"));
}

TEST(UnitTable, FirstRegistrationOfAKeyGivesItsDefaultUnit)
{
    // The default unit name after each registration; "-": left unchanged, with the failure
    // message (each time). The first text of a key stays, whatever comes later.
    // clang-format off
    const std::tuple<uint32_t, const char*, const char*> steps[] = {
        {0x100001, "", "DEC"}, {0x100002, "N", "DEC"}, {0x100003, "[]", "DEC"},
        {0x606C00, "[rps]N/4096,[rpm]N*60/4096", "rps"}, {0x606B00, "[r rpm]N*60/4096", "rpm"},
        {0x200001, "rpm", "-"}, {0x200002, "[rpm", "-"}, {0x200001, "rpm", "-"},
        {0x300001, "[a]N*2", "a"}, {0x300001, "[b]N*3", "a"}, {0x300002, "xyz", "-"}, {0x300002, "[b]N*3", "-"}};
    // clang-format on
    MessageRecorder messages;
    CUnitTable table;
    for (const auto& [key, text, expected] : steps) {
        messages.Take();
        QString name = QStringLiteral("-");
        EXPECT_TRUE(table.GetDefaultUnit(key, QString::fromUtf8(text), name));
        EXPECT_EQ(name, QString::fromUtf8(expected)) << key << " " << text;
        EXPECT_EQ(messages.Take(),
                  name == "-" ? QStringList{"Add default unit failure \n"} : QStringList())
            << text;
    }
    EXPECT_EQ(Describe(table.LookupUnits(0x300001)), QStringList{"a||N*2"});
    for (uint32_t key : {0x100001u, 0x200001u}) // registered, without units
        EXPECT_TRUE(table.LookupUnits(key) && table.LookupUnits(key)->isEmpty()) << key;
    EXPECT_EQ(table.LookupUnits(0x606300), nullptr);
}

// Each unit once, by the name the unit cell shows, writable only when a typed value converts
// back to the raw value the display side would show again.
TEST(UnitTable, UnitChoices)
{
    // The common kinds (labelled, named after themselves, unlabelled) are in the write
    // preparation's refusal, which lists the writable units.
    const std::pair<const char*, QStringList> cases[] = {
        {"[HEX HEX]N*1,[DEC DEC]N*1", {}}, // format keywords are not units
        {"[c A]N/1000,[A DEC]N*1000,[mA mA]N*1,[mA mA]N*2", {"A|N/1000|N*1000", "mA|N*1|N*1"}},
        {"[x y]N*2", {"y|N*2|"}}, // no record named y converts back
        // Named after itself with a display formula: typed 1.5 V would be written as 0.0015.
        {"[V V]N/1000,[mA mA]N*1", {"V|N/1000|", "mA|N*1|N*1"}},
        {"rpm", {}}};
    for (const auto& [text, expected] : cases) {
        QStringList got;
        for (const CUnitChoice& c : CUnitTable::UnitChoices(CUnitTable::ParseUnitText(text)))
            got << c.name + QLatin1Char('|') + c.displayFormula + QLatin1Char('|') + c.writeFormula;
        EXPECT_EQ(got, expected) << text;
    }
}

} // namespace
