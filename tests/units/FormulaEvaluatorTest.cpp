#include "UnitsTestSupport.h"

#include "pages/FormulaEvaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace UnitsTest;

namespace {

const QString kSqrtError = QStringLiteral("sqrt function express error!! \n");
const QString kStackError = QStringLiteral("Formula stack is Err!!!!!\n");

class FormulaEvaluatorTest : public ::testing::Test
{
protected:
    FormulaEvaluatorTest()
    {
        RecordRequests(evaluator, sent, [] { return kMainFrame; });
    }

    // Evaluation that must succeed (no constant missing).
    double Eval(const char* formula, double n)
    {
        double out = -12345.0;
        EXPECT_TRUE(evaluator.EvaluateToDouble(kPage, QString::fromUtf8(formula), n, out))
            << formula;
        return out;
    }
    int32_t EvalInt(const char* formula, double n)
    {
        int32_t out = -12345;
        EXPECT_TRUE(evaluator.EvaluateToInteger(kPage, QString::fromUtf8(formula), n, out))
            << formula;
        return out;
    }

    MessageRecorder messages;
    CFormulaEvaluator evaluator;
    std::vector<Sent> sent;
};

TEST_F(FormulaEvaluatorTest, MultiplyAndDivideLeftToRightThenOneAddOrSubtract)
{
    EXPECT_DOUBLE_EQ(Eval("N*60/4096", 8192), 120.0);
    EXPECT_DOUBLE_EQ(Eval("N/2+3", 10), 8.0);
    // Only the operand after the + counts: 10 + 3, not 10 + 6.
    EXPECT_DOUBLE_EQ(Eval("N+3*2", 10), 13.0);
    EXPECT_DOUBLE_EQ(Eval("N-3*2", 10), 7.0);
    EXPECT_DOUBLE_EQ(Eval("N*60/4096+5", 8192), 125.0);
    EXPECT_DOUBLE_EQ(Eval("N/4*2", 10), 5.0); // (10 / 4) * 2, not 10 / 8
    EXPECT_DOUBLE_EQ(Eval("n*2", 21), 42.0);
    EXPECT_DOUBLE_EQ(Eval("2.5*N", 4), 10.0);
    // A number is the run of digits and dots, read as far as it parses.
    EXPECT_DOUBLE_EQ(Eval("N*1.5.5", 2), 3.0);
    EXPECT_DOUBLE_EQ(Eval("0.001*N", 1000), 1.0);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(sent.empty());
}

TEST_F(FormulaEvaluatorTest, IntegerResultIsTruncatedTowardZero)
{
    EXPECT_EQ(EvalInt("N/3", 10), 3);
    EXPECT_EQ(EvalInt("N/4", -10), -2);
    EXPECT_EQ(EvalInt("N*60/4096", 8191), 119);
    // An unsigned 32-bit raw value keeps its bit pattern.
    EXPECT_EQ(static_cast<uint32_t>(EvalInt("N*2", 2147483648.0)), 0xFFFFFFFFu);
}

TEST_F(FormulaEvaluatorTest, TruncationToInt32IsDefinedForEveryDouble)
{
    const double inf = std::numeric_limits<double>::infinity();
    const int32_t min = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(2.9), 2);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(-2.9), -2);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(2147483647.5), 2147483647);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(2147483648.0), min);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(4294967295.0), -1);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(4294967294.5), -2);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(1e300), -1);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(inf), -1);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(-2147483648.9), min);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(-1e300), min);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(-inf), min);
    EXPECT_EQ(CFormulaEvaluator::TruncateToInt32(std::nan("")), 0);
}

TEST_F(FormulaEvaluatorTest, SquareRootReadsAllDigitsAndPicksTheFirstOperatorFound)
{
    EXPECT_DOUBLE_EQ(Eval("sqrt(N*4)", 9), 6.0);
    EXPECT_DOUBLE_EQ(Eval("sqrt(16)", 0), 4.0);
    EXPECT_DOUBLE_EQ(Eval("sqrt(N/4)", 64), 4.0);
    EXPECT_DOUBLE_EQ(Eval("sqrt(N+7)", 9), 4.0);
    EXPECT_DOUBLE_EQ(Eval("sqrt(N-7)", 23), 4.0);
    EXPECT_DOUBLE_EQ(Eval("SQRT(N*4)", 9), 6.0);
    // The "." is skipped: 2.5 reads as 25.
    EXPECT_DOUBLE_EQ(Eval("sqrt(2.5)", 0), 5.0);
    // The compile goes on after the ")".
    EXPECT_DOUBLE_EQ(Eval("sqrt(N*4)*2+1", 9), 13.0);
    // The operator search runs past the ")": the "*" after it is found, with k = 0.
    EXPECT_DOUBLE_EQ(Eval("sqrt(N)*2", 9), 0.0);
    // "*" is tested before "+", wherever they stand.
    EXPECT_DOUBLE_EQ(Eval("sqrt(N+9)*1", 16), 12.0);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(QLatin1Char('|')).toStdString();

    // A negative argument gives NaN, which the integer result turns into 0.
    EXPECT_TRUE(std::isnan(Eval("sqrt(N-7)", 3)));
    EXPECT_EQ(EvalInt("sqrt(N-7)", 3), 0);
}

TEST_F(FormulaEvaluatorTest, SquareRootWithoutOperatorReportsAndGivesZero)
{
    EXPECT_DOUBLE_EQ(Eval("sqrt(N)", 9), 0.0);
    // The compile then stops at the "q" after the "s".
    EXPECT_EQ(messages.texts, QStringList({kSqrtError, QStringLiteral("Formula =>ASC: 113")}));
}

TEST_F(FormulaEvaluatorTest, PassThroughGivesTheValueItself)
{
    EXPECT_DOUBLE_EQ(Eval("N*1", 123456.75), 123456.75);
    EXPECT_EQ(EvalInt("N*1", 123456.75), 123456);
    EXPECT_EQ(EvalInt("N*1", -7.9), -7);
    EXPECT_EQ(static_cast<uint32_t>(EvalInt("N*1", 4294967295.0)), 0xFFFFFFFFu);
    EXPECT_TRUE(std::isnan(Eval("N*1", std::nan(""))));
    EXPECT_EQ(EvalInt("N*1", std::nan("")), 0);
    EXPECT_DOUBLE_EQ(Eval("N*1", 1e300), 1e300);
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(FormulaEvaluatorTest, UnknownCharacterEndsTheFormulaWithItsCode)
{
    EXPECT_DOUBLE_EQ(Eval("N*2 +5", 10), 20.0);
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("Formula =>ASC: 32")});

    messages.texts.clear();
    EXPECT_DOUBLE_EQ(Eval("N*3,N", 10), 30.0);
    EXPECT_DOUBLE_EQ(Eval("N*3\xC2\xB0", 10), 30.0); // a degree sign
    EXPECT_EQ(messages.texts, QStringList({QStringLiteral("Formula =>ASC: 44"),
                                           QStringLiteral("Formula =>ASC: 176")}));
}

TEST_F(FormulaEvaluatorTest, FormulasOutsideTheGrammarGiveDefinedResults)
{
    // Empty: the stack message and 0, still a success.
    EXPECT_DOUBLE_EQ(Eval("", 5), 0.0);
    EXPECT_EQ(messages.texts, QStringList{kStackError});
    messages.texts.clear();

    // A single operand is its own value.
    EXPECT_DOUBLE_EQ(Eval("42", 5), 42.0);
    EXPECT_DOUBLE_EQ(Eval("N", 5), 5.0);
    // A leading operator works on 0.
    EXPECT_DOUBLE_EQ(Eval("-N", 5), -5.0);
    EXPECT_DOUBLE_EQ(Eval("+N", 5), 5.0);
    EXPECT_DOUBLE_EQ(Eval("*5", 5), 0.0);
    // An operator without an operand after it ends the evaluation with the value so far.
    EXPECT_DOUBLE_EQ(Eval("N*/2", 6), 6.0);
    EXPECT_DOUBLE_EQ(Eval("N*2+-3", 6), 12.0);
    EXPECT_DOUBLE_EQ(Eval("N*", 6), 6.0);
    EXPECT_DOUBLE_EQ(Eval("N+", 6), 6.0);
    EXPECT_DOUBLE_EQ(Eval("*", 6), 0.0);
    // An operand where an operator belongs ends it as well.
    EXPECT_DOUBLE_EQ(Eval("2N*3", 5), 2.0);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(QLatin1Char('|')).toStdString();
}

TEST_F(FormulaEvaluatorTest, DivisionByZeroAndHugeNumbersStayDefined)
{
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Eval("N/0", 1), inf);
    EXPECT_EQ(Eval("N/0", -1), -inf);
    EXPECT_TRUE(std::isnan(Eval("N/0", 0)));
    EXPECT_EQ(EvalInt("N/0", 1), -1);
    EXPECT_EQ(EvalInt("N/0", -1), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(EvalInt("N/0", 0), 0);

    const std::string huge = "N*" + std::string(400, '9');
    EXPECT_EQ(Eval(huge.c_str(), 1), inf);
    EXPECT_EQ(EvalInt(huge.c_str(), 1), -1);
}

TEST_F(FormulaEvaluatorTest, VeryLongFormulasCompileInOnePass)
{
    QString products = QStringLiteral("N");
    for (int i = 0; i < 100000; ++i)
        products += QStringLiteral("*1");
    double out = 0.0;
    ASSERT_TRUE(evaluator.EvaluateToDouble(kPage, products, 7, out));
    EXPECT_DOUBLE_EQ(out, 7.0);

    // Every "s" is a square root without operator; each retries at the next character.
    const int count = 20000;
    const QString roots = QString(count, QLatin1Char('s')) + QStringLiteral("N)");
    ASSERT_TRUE(evaluator.EvaluateToDouble(kPage, roots, 9, out));
    EXPECT_DOUBLE_EQ(out, 0.0);
    ASSERT_EQ(messages.texts.size(), count + 1);
    EXPECT_EQ(messages.texts.count(kSqrtError), count);
    EXPECT_EQ(messages.texts.last(), QStringLiteral("Formula =>ASC: 41"));
}

TEST_F(FormulaEvaluatorTest, MissingConstantIsReadForTheMainFrameAndFailsQuietly)
{
    double out = -1.0;
    EXPECT_FALSE(evaluator.EvaluateToDouble(kPage, QStringLiteral("N*[60910120]"), 5, out));
    EXPECT_DOUBLE_EQ(out, -1.0);
    EXPECT_EQ(sent, (std::vector<Sent>{{kMainFrame, 0x40, 0x609101, 0}}));
    EXPECT_TRUE(messages.texts.isEmpty());

    // The compile stops at the first missing constant: one read at a time.
    sent.clear();
    EXPECT_FALSE(
        evaluator.EvaluateToDouble(kPage, QStringLiteral("N*[60910120]/[60920120]"), 5, out));
    EXPECT_EQ(sent, (std::vector<Sent>{{kMainFrame, 0x40, 0x609101, 0}}));

    // The key is the 9 characters shifted right by 8, rounding toward zero: a negative text
    // of -128 gives key 0, not 0xFFFFFFFF.
    sent.clear();
    int32_t raw = 0;
    EXPECT_FALSE(evaluator.EvaluateToInteger(kPage, QStringLiteral("N*[FFFFFF80]"), 5, raw));
    EXPECT_EQ(sent, (std::vector<Sent>{{kMainFrame, 0x40, 0x0, 0}}));
}

TEST_F(FormulaEvaluatorTest, CachedConstantsAreOperands)
{
    evaluator.AddConst(0x609101, 3);
    evaluator.AddConst(0x609201, -2);
    EXPECT_DOUBLE_EQ(Eval("N*[60910120]", 5), 15.0);
    EXPECT_DOUBLE_EQ(Eval("N*[60910120]/[60920120]", 8), -12.0);
    EXPECT_DOUBLE_EQ(Eval("[60910120]", 0), 3.0);
    // The size digits are dropped by the shift, whatever they are.
    EXPECT_DOUBLE_EQ(Eval("N*[609101FF]+1", 5), 16.0);
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(messages.texts.isEmpty());

    evaluator.ClearConsts();
    double out = 0.0;
    EXPECT_FALSE(evaluator.EvaluateToDouble(kPage, QStringLiteral("N*[60910120]"), 5, out));
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(FormulaEvaluatorTest, ConstantTableOperations)
{
    EXPECT_FALSE(evaluator.ConstExists(0x609101));
    EXPECT_EQ(evaluator.GetConst(0x609101), 1);
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("Not exist the const value!! \n")});

    // SetConst changes only what exists.
    evaluator.SetConst(0x609101, 9);
    EXPECT_FALSE(evaluator.ConstExists(0x609101));

    evaluator.AddConst(0x609101, 4);
    evaluator.AddConst(0x609101, 5); // a duplicate: the first entry wins
    EXPECT_EQ(evaluator.GetConst(0x609101), 4);
    evaluator.SetConst(0x609101, 9);
    EXPECT_EQ(evaluator.GetConst(0x609101), 9);

    evaluator.ClearConsts();
    EXPECT_FALSE(evaluator.ConstExists(0x609101));
    EXPECT_EQ(messages.texts.size(), 1);
}

TEST_F(FormulaEvaluatorTest, ParkedRequestIsSentOnlyWhenItEvaluates)
{
    // Nothing parked: nothing to complete, nothing sent.
    evaluator.CompleteParkedRequest();
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(messages.texts.isEmpty());

    int32_t raw = 0;
    const QString formula = QStringLiteral("N*[60910120]");
    ASSERT_FALSE(evaluator.EvaluateToInteger(kPage, formula, 100, raw));
    evaluator.ParkRequest(0x200001, 0x2B, 100, formula);
    sent.clear();

    // Still missing: the compile asks again, the parked write is not sent.
    evaluator.CompleteParkedRequest();
    EXPECT_EQ(sent, (std::vector<Sent>{{kMainFrame, 0x40, 0x609101, 0}}));

    sent.clear();
    evaluator.AddConst(0x609101, 3);
    evaluator.CompleteParkedRequest();
    EXPECT_EQ(sent, (std::vector<Sent>{{kPage, 0x2B, 0x200001, 300}}));

    // Completing does not clear the slot; answers go to the window of the latest evaluation.
    sent.clear();
    double out = 0.0;
    ASSERT_TRUE(evaluator.EvaluateToDouble(kOtherPage, QStringLiteral("N"), 1, out));
    evaluator.CompleteParkedRequest();
    EXPECT_EQ(sent, (std::vector<Sent>{{kOtherPage, 0x2B, 0x200001, 300}}));

    // Parking again overwrites; a negative result goes out as its 32-bit pattern.
    sent.clear();
    evaluator.ParkRequest(0x200002, 0x23, -2, formula);
    evaluator.CompleteParkedRequest();
    EXPECT_EQ(sent, (std::vector<Sent>{{kOtherPage, 0x23, 0x200002, 0xFFFFFFFAu}}));
}

TEST_F(FormulaEvaluatorTest, WithoutRequesterMissingConstantsStillFail)
{
    CFormulaEvaluator bare;
    double out = 0.0;
    EXPECT_FALSE(bare.EvaluateToDouble(kPage, QStringLiteral("N*[60910120]"), 5, out));
    EXPECT_EQ(bare.SendRequest(kPage, 0x40, 1, 0), 0);
}

} // namespace
