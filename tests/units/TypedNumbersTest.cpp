// Numbers typed by a person, and the integer types they must fit.

#include "base/TextNumbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

TEST(TypedNumbers, WholeTextDecimalOrHexNeverOctal)
{
    const double no = std::nan(""); // the text is refused
    // clang-format off
    const std::tuple<const char*, double, double> cases[] = {
        // text, as an integer, as a number with a fraction
        {"0", 0, 0}, {"010", 10, 10}, {"-7", -7, -7}, {"+7", 7, 7}, {" 42 ", 42, 42},
        {"0x1F", 31, 31}, {"0X1f", 31, 31}, {"0x", no, no}, {"0x-1", no, no}, {"-0x10", no, no},
        {"1.15", no, 1.15}, {"-.5", no, -0.5}, {"3.", no, 3}, {".", no, no}, {"1.2.3", no, no},
        {"abc", no, no}, {"12x", no, no}, {"1 2", no, no}, {"", no, no}, {"-", no, no},
        {"1e3", no, no}, {"0x1.8", no, no}, {"٣", no, no}, // digits of other scripts are not digits
        {"9223372036854775807", 9223372036854775807.0, 9223372036854775807.0},
        {"9223372036854775808", no, 9223372036854775808.0},
        {"0x7FFFFFFFFFFFFFFF", 9223372036854775807.0, 9223372036854775807.0},
        {"0x8000000000000000", no, no}};
    // clang-format on
    for (const auto& [text, integer, number] : cases) {
        SCOPED_TRACE(text);
        int64_t i = -99;
        double d = -99;
        EXPECT_EQ(ParseTypedInteger(QString::fromUtf8(text), i), !std::isnan(integer));
        if (!std::isnan(integer)) {
            EXPECT_EQ(double(i), integer);
        }
        EXPECT_EQ(ParseTypedNumber(QString::fromUtf8(text), d), !std::isnan(number));
        if (!std::isnan(number)) {
            EXPECT_DOUBLE_EQ(d, number);
        }
    }

    uint64_t hex = 0;
    EXPECT_TRUE(ParseTypedHex(QStringLiteral("ffff"), hex) && hex == 0xFFFF);
    EXPECT_TRUE(ParseTypedHex(QStringLiteral("0x1F4"), hex) && hex == 0x1F4);
    for (const char* text : {"", "0x", "-1", "fg", "12345678901234567"})
        EXPECT_FALSE(ParseTypedHex(QString::fromUtf8(text), hex)) << text;
}

TEST(TypedNumbers, TypeWidths)
{
    // name, bits, signed, min, max, the raw 0xFFFF8001 read as the type
    // clang-format off
    const std::tuple<const char*, int, bool, int64_t, int64_t, int64_t> cases[] = {
        {"U8", 8, false, 0, 255, 1}, {"UNSIGNED16", 16, false, 0, 65535, 0x8001},
        {"u32", 32, false, 0, 4294967295, 0xFFFF8001}, {"I8", 8, true, -128, 127, 1},
        {"INTEGER16", 16, true, -32768, 32767, -32767}, {"I32", 32, true, -2147483648LL, 2147483647, -32767}};
    // clang-format on
    for (const auto& [name, bits, isSigned, min, max, value] : cases) {
        SCOPED_TRACE(name);
        const TypeWidth type = TypeWidthOf(QString::fromLatin1(name));
        ASSERT_TRUE(type.valid());
        EXPECT_EQ(type.bits, bits);
        EXPECT_EQ(type.isSigned, isSigned);
        EXPECT_EQ(type.min(), min);
        EXPECT_EQ(type.max(), max);
        EXPECT_TRUE(type.fits(min) && type.fits(max));
        EXPECT_FALSE(type.fits(min - 1) || type.fits(max + 1));
        EXPECT_EQ(type.value(0xFFFF8001u), value);
        EXPECT_EQ(TypeWidthFromName(type.name().toLower()).bits, bits);
    }
    for (const char* name : {"VISIBLE STRING", "U24", "I64", ""})
        EXPECT_FALSE(TypeWidthOf(QString::fromLatin1(name)).valid()) << name;
    for (const char* name : {"u64", "uint16", "16", ""})
        EXPECT_FALSE(TypeWidthFromName(QString::fromLatin1(name)).valid()) << name;
}
