// Raw drive values to cell texts, and the write command of a data type.

#include "app/SysData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
QString Format(const char* format, const char* type, double value, const char* formula = "")
{
    return CSysData::FormatValue(QLatin1String(format), QLatin1String(type), QLatin1String(formula),
                                 value);
}

double Raw(const char* type, uint32_t raw)
{
    double value = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(CSysData::RawToValue(QLatin1String(type), raw, value)) << type;
    return value;
}
} // namespace

TEST(FormatValue, AsciiTakesTheBytesLowFirstUpToTheFirstZero)
{
    EXPECT_EQ(Format("ASCII", "U8", 65), "A");
    EXPECT_EQ(Format("ASCII", "U16", 16961), "AB");
    EXPECT_EQ(Format("ASCII", "U16", 0), "");
    EXPECT_EQ(Format("ASCII", "U32", 0x44434241), "ABCD");
    EXPECT_EQ(Format("ASCII", "U32", 0x44004241), "AB");
    EXPECT_EQ(Format("ASCII", "U8", 0x4241), "A") << "one byte for an 8-bit type";
    // Bytes above 0x7F are one character each, so the write side gets the same value back.
    EXPECT_EQ(Format("ASCII", "U16", 0xE9C4), QString::fromUtf8("Äé"));
    EXPECT_EQ(Format("ASCII", "VISIBLE STRING", 65), "???");
    EXPECT_EQ(Format("ASCII", "U24", 65), "???");
}

TEST(FormatValue, HexMasksToTheTypeSize)
{
    EXPECT_EQ(Format("HEX", "I16", -1), "ffff");
    EXPECT_EQ(Format("HEX", "I32", -1), "ffffffff");
    EXPECT_EQ(Format("HEX", "I8", -1), "ff");
    EXPECT_EQ(Format("HEX", "U16", 0x0A), "a") << "no zero fill";
    EXPECT_EQ(Format("HEX", "U32", 4294967295.0), "ffffffff");
    EXPECT_EQ(Format("HEX", "U64", 1), "???");
}

TEST(FormatValue, DecimalBySizeAndSign)
{
    EXPECT_EQ(Format("DEC", "U32", Raw("U32", 0xFFFFFFFF)), "4294967295");
    EXPECT_EQ(Format("DEC", "I32", Raw("I32", 0xFFFFFFFF)), "-1");
    EXPECT_EQ(Format("DEC", "I16", Raw("I16", 0xFF80)), "-128");
    EXPECT_EQ(Format("DEC", "U16", Raw("U16", 0xFF80)), "65408");
    EXPECT_EQ(Format("DEC", "U8", 200.9), "200") << "truncated toward zero";
    EXPECT_EQ(Format("DEC", "I8", -3.7), "-3");
    EXPECT_EQ(Format("DEC", "", 5), "???");
    // An empty format shows decimal, as an empty unit writes decimal.
    EXPECT_EQ(Format("", "U32", 4294967295.0), "4294967295");
    EXPECT_EQ(Format("", "I16", -7), "-7");
    // Values no integer holds show as 0 instead of being undefined.
    EXPECT_EQ(Format("DEC", "I32", std::nan("")), "0");
    EXPECT_EQ(Format("DEC", "I32", std::numeric_limits<double>::infinity()), "0");
}

TEST(FormatValue, UnitNamesShowThreeDecimalsUnlessTheFormulaIsIdentity)
{
    EXPECT_EQ(Format("rpm", "I32", 120, "N*60/4096"), "120.000");
    EXPECT_EQ(Format("rpm", "I32", -0.0626, "N/16"), "-0.063");
    EXPECT_EQ(Format("cnt", "U32", 4294967295.0, "N*1"), "4294967295");
    EXPECT_EQ(Format("cnt", "I16", -12.0, "N*1"), "-12");
    EXPECT_EQ(Format("dec", "I16", 3, ""), "3.000") << "keywords are case-sensitive";
}

TEST(RawToValue, SignExtendsBySize)
{
    EXPECT_EQ(Raw("I16", 0xFF80), -128);
    EXPECT_EQ(Raw("U16", 0xFF80), 65408);
    EXPECT_EQ(Raw("INTEGER8", 0x80), -128);
    EXPECT_EQ(Raw("I8", 0x7F), 127);
    EXPECT_EQ(Raw("I32", 0x80000000), -2147483648.0);
    EXPECT_EQ(Raw("UNSIGNED32", 0xFFFFFFFF), 4294967295.0);
    EXPECT_EQ(Raw("u8", 0x1FF), 511) << "unsigned values are not masked";

    double untouched = 42;
    EXPECT_FALSE(CSysData::RawToValue(QString(), 1, untouched));
    EXPECT_FALSE(CSysData::RawToValue(QStringLiteral("VISIBLE STRING"), 1, untouched));
    EXPECT_FALSE(CSysData::RawToValue(QStringLiteral("U24"), 1, untouched));
    EXPECT_FALSE(CSysData::RawToValue(QStringLiteral("I64"), 1, untouched));
    EXPECT_EQ(untouched, 42);
}

TEST(WriteCommandForType, ExpeditedCommandOfTheSize)
{
    EXPECT_EQ(CSysData::WriteCommandForType(QStringLiteral("U8")), 0x2F);
    EXPECT_EQ(CSysData::WriteCommandForType(QStringLiteral("INTEGER16")), 0x2B);
    EXPECT_EQ(CSysData::WriteCommandForType(QStringLiteral("U32")), 0x23);
    EXPECT_EQ(CSysData::WriteCommandForType(QStringLiteral("VISIBLE STRING")), 0);
    EXPECT_EQ(CSysData::WriteCommandForType(QStringLiteral("U24")), 0);
}
