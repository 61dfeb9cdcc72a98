#include "UnitsTestSupport.h"

#include "pages/UnitTable.h"

#include <gtest/gtest.h>

using namespace UnitsTest;

namespace {

const QString kUnitFailure = QStringLiteral("Add default unit failure \n");

// name|label|formula of each record, for compact comparisons.
QStringList Describe(const QVector<CUnitRecord>& records)
{
    QStringList out;
    for (const CUnitRecord& r : records)
        out << r.name + QLatin1Char('|') + r.label + QLatin1Char('|') + r.formula;
    return out;
}

QStringList Parse(const char* text)
{
    return Describe(CUnitTable::ParseUnitText(QString::fromUtf8(text)));
}

TEST(UnitTextGrammar, SegmentsNamesLabelsAndFormulas)
{
    EXPECT_EQ(Parse("[rps]N/4096,[rpm]N*60/4096"), QStringList({"rps||N/4096", "rpm||N*60/4096"}));
    EXPECT_EQ(Parse("[r rpm]N*60/4096"), QStringList{"r|rpm|N*60/4096"});
    // Split at the first space only; text before a segment is ignored.
    EXPECT_EQ(Parse("speed: [v mm s]N*2 [w]N"), QStringList({"v|mm s|N*2", "w||N"}));
    // The formula stops at the first character outside its set (lower-case hex is outside).
    EXPECT_EQ(Parse("[x]N*2abc"), QStringList{"x||N*2"});
    EXPECT_EQ(Parse("[s]sqrt(N*4)+[60910120];"), QStringList{"s||sqrt(N*4)+[60910120]"});
    // Without a separator the next "[" belongs to the formula.
    EXPECT_EQ(Parse("[x]N*2[y]N"), QStringList{"x||N*2["});
    // A "]" before the "[" makes a unit without a name, the text up to it is consumed.
    EXPECT_EQ(Parse("a]b[c]N"), QStringList({"||", "c||N"}));
    EXPECT_EQ(Parse("[]"), QStringList{"||"});
    EXPECT_TRUE(Parse("rpm").isEmpty());
    EXPECT_TRUE(Parse("[rpm").isEmpty());
    EXPECT_TRUE(Parse("").isEmpty());
}

TEST(UnitTextGrammar, LongTextsParseInOnePass)
{
    QString text;
    for (int i = 0; i < 50000; ++i)
        text += QStringLiteral("],");
    text += QStringLiteral("[u]N*2");
    const QVector<CUnitRecord> records = CUnitTable::ParseUnitText(text);
    ASSERT_EQ(records.size(), 50001);
    EXPECT_EQ(records.last().name, QStringLiteral("u"));
    EXPECT_EQ(records.last().formula, QStringLiteral("N*2"));
}

class UnitTableTest : public ::testing::Test
{
protected:
    QString Register(uint32_t key, const char* unitText, const char* before = "unchanged")
    {
        QString name = QString::fromUtf8(before);
        EXPECT_TRUE(table.GetDefaultUnit(key, QString::fromUtf8(unitText), name));
        return name;
    }

    MessageRecorder messages;
    CUnitTable table;
};

TEST_F(UnitTableTest, ShortUnitTextIsDecimal)
{
    EXPECT_EQ(Register(0x100001, ""), QStringLiteral("DEC"));
    EXPECT_EQ(Register(0x100002, "N"), QStringLiteral("DEC"));
    EXPECT_EQ(Register(0x100003, "[]"), QStringLiteral("DEC"));
    // Registered again (a page opened a second time): still decimal, no message.
    EXPECT_EQ(Register(0x100001, ""), QStringLiteral("DEC"));
    EXPECT_EQ(Register(0x100003, "[]"), QStringLiteral("DEC"));
    EXPECT_TRUE(messages.texts.isEmpty());
    ASSERT_NE(table.LookupUnits(0x100001), nullptr);
    EXPECT_TRUE(table.LookupUnits(0x100001)->isEmpty());
}

TEST_F(UnitTableTest, DefaultUnitIsTheFirstRecordsDisplayName)
{
    EXPECT_EQ(Register(0x606C00, "[rps]N/4096,[rpm]N*60/4096"), QStringLiteral("rps"));
    EXPECT_EQ(Register(0x606B00, "[r rpm]N*60/4096"), QStringLiteral("rpm"));

    const QVector<CUnitRecord>* units = table.LookupUnits(0x606C00);
    ASSERT_NE(units, nullptr);
    EXPECT_EQ(Describe(*units), QStringList({"rps||N/4096", "rpm||N*60/4096"}));
    ASSERT_NE(table.LookupUnits(0x606B00), nullptr);
    EXPECT_EQ(table.LookupUnits(0x606B00)->first().DisplayName(), QStringLiteral("rpm"));
    EXPECT_EQ(table.LookupUnits(0x606300), nullptr);
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(UnitTableTest, TextWithoutUnitReportsEachTimeAndLeavesTheName)
{
    EXPECT_EQ(Register(0x200001, "rpm"), QStringLiteral("unchanged"));
    EXPECT_EQ(Register(0x200002, "[rpm"), QStringLiteral("unchanged"));
    EXPECT_EQ(Register(0x200001, "rpm"), QStringLiteral("unchanged"));
    EXPECT_EQ(messages.texts, QStringList({kUnitFailure, kUnitFailure, kUnitFailure}));
    ASSERT_NE(table.LookupUnits(0x200001), nullptr);
    EXPECT_TRUE(table.LookupUnits(0x200001)->isEmpty());
}

TEST_F(UnitTableTest, FirstRegistrationIsKept)
{
    EXPECT_EQ(Register(0x300001, "[a]N*2"), QStringLiteral("a"));
    // Another text for the same key is not seen: the entry is reused, never replaced.
    EXPECT_EQ(Register(0x300001, "[b]N*3"), QStringLiteral("a"));
    EXPECT_EQ(Register(0x300001, ""), QStringLiteral("a"));
    EXPECT_EQ(Describe(*table.LookupUnits(0x300001)), QStringList{"a||N*2"});

    // And the other way round: a key first seen without unit keeps failing.
    EXPECT_EQ(Register(0x300002, "xyz"), QStringLiteral("unchanged"));
    EXPECT_EQ(Register(0x300002, "[b]N*3"), QStringLiteral("unchanged"));
    EXPECT_EQ(messages.texts, QStringList({kUnitFailure, kUnitFailure}));
}

} // namespace
