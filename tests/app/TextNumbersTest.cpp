#include "app/TextNumbers.h"

#include <gtest/gtest.h>

#include <climits>

TEST(TextNumbers, HexTextSkipsWhatIsNotADigit)
{
    EXPECT_EQ(HexTextToInt(""), 0);
    EXPECT_EQ(HexTextToInt("-"), 0);
    EXPECT_EQ(HexTextToInt("zz"), 0);
    EXPECT_EQ(HexTextToInt("6041"), 0x6041);
    EXPECT_EQ(HexTextToInt("ff"), 0xFF);
    EXPECT_EQ(HexTextToInt("1 0 0 0"), 0x1000);
    EXPECT_EQ(HexTextToInt("60:41.00"), 0x604100);
    EXPECT_EQ(HexTextToInt("0x1F"), 0x1F); // the X is skipped, the 0 adds nothing
    EXPECT_EQ(HexTextToInt("-10"), -16);
    // Only a sign at the very start counts.
    EXPECT_EQ(HexTextToInt(" -10"), 0x10);
    EXPECT_EQ(HexTextToInt("--10"), -16);
    // 32-bit wrap-around: older digits are shifted out.
    EXPECT_EQ(HexTextToInt("FFFFFFFF"), -1);
    EXPECT_EQ(HexTextToInt("123456789"), 0x23456789);
    EXPECT_EQ(HexTextToInt("-80000000"), INT32_MIN);
}

TEST(TextNumbers, DecimalTextReadsAllItsDigitsAsOneNumber)
{
    EXPECT_EQ(DecTextToInt(""), 0);
    EXPECT_EQ(DecTextToInt("-"), 0);
    EXPECT_EQ(DecTextToInt("U16"), 16);
    EXPECT_EQ(DecTextToInt("UNSIGNED32"), 32);
    EXPECT_EQ(DecTextToInt("VISIBLE STRING"), 0);
    EXPECT_EQ(DecTextToInt("2.5"), 25);
    EXPECT_EQ(DecTextToInt("1,000"), 1000);
    EXPECT_EQ(DecTextToInt("12-3"), 123);
    EXPECT_EQ(DecTextToInt("0x10"), 10);
    EXPECT_EQ(DecTextToInt("-12"), -12);
    EXPECT_EQ(DecTextToInt("4294967295"), -1);
    EXPECT_EQ(DecTextToInt("4294967296"), 0);
    EXPECT_EQ(DecTextToInt("-2147483648"), INT32_MIN);
}

TEST(TextNumbers, TextToLongStopsAtTheFirstNonDigit)
{
    EXPECT_EQ(TextToLong(""), 0);
    EXPECT_EQ(TextToLong("abc"), 0);
    EXPECT_EQ(TextToLong("-"), 0);
    EXPECT_EQ(TextToLong("  42abc"), 42);
    EXPECT_EQ(TextToLong("\t-7"), -7);
    EXPECT_EQ(TextToLong("+7"), 7);
    EXPECT_EQ(TextToLong("- 5"), 0);
    EXPECT_EQ(TextToLong("3 4"), 3);
    EXPECT_EQ(TextToLong("0x10"), 0);
    EXPECT_EQ(TextToLong("4294967297"), 1);
}

TEST(TextNumbers, DataTypeNames)
{
    EXPECT_EQ(DataTypeBits("U8"), 8);
    EXPECT_EQ(DataTypeBits("INTEGER16"), 16);
    EXPECT_EQ(DataTypeBits("VISIBLE STRING"), 0);
    EXPECT_TRUE(DataTypeIsUnsigned("U32"));
    EXPECT_TRUE(DataTypeIsUnsigned("unsigned8"));
    EXPECT_FALSE(DataTypeIsUnsigned("I32"));
    EXPECT_FALSE(DataTypeIsUnsigned(""));
}
