#include "base/TextNumbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

// Hex and decimal texts skip every character that is not a digit of their base and negate on a
// "-" at the very start only; the standard conversion stops at the first non-digit. All wrap
// at 32 bits.
TEST(TextNumbers, EdgeCases)
{
    // clang-format off
    // text, as hex, as decimal, by the standard conversion
    const std::tuple<const char*, int32_t, int32_t, int32_t> cases[] = {
        {"", 0, 0, 0}, {"-", 0, 0, 0}, {"ff", 0xFF, 0, 0}, {"1 0 0 0", 0x1000, 1000, 1},
        {"60:41.00", 0x604100, 604100, 60}, {"0x1F", 0x1F, 1, 0}, {"-10", -0x10, -10, -10},
        {" -10", 0x10, 10, -10}, {"--10", -0x10, -10, 0}, {"- 5", -5, -5, 0}, {"+7", 7, 7, 7},
        {"  42abc", 0x42ABC, 42, 42}, {"UNSIGNED32", 0xED32, 32, 0}, {"FFFFFFFF", -1, 0, 0},
        {"123456789", 0x23456789, 123456789, 123456789}, {"-80000000", INT32_MIN, -80000000, -80000000},
        {"4294967297", int32_t(0x94967297u), 1, 1}, {"-2147483648", -0x47483648, INT32_MIN, INT32_MIN}};
    // clang-format on
    for (const auto& [text, hex, dec, standard] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(HexTextToInt(QString::fromLatin1(text)), hex);
        EXPECT_EQ(DecTextToInt(QString::fromLatin1(text)), dec);
        EXPECT_EQ(TextToLong(QString::fromLatin1(text)), standard);
    }
}

// Numbers typed by a person, by one rule for drivactl and the page editor. The integer types they
// must fit are checked through the write path (PrepareWrite and drivactl), which names each type's
// range.
TEST(TypedNumbers, WholeTextDecimalOrHexNeverOctal)
{
    const double no = 0.25;                   // the text is refused (no text here reads as 0.25)
    const double top = 9223372036854775807.0; // the largest int64, as a double
    // clang-format off
    const std::tuple<const char*, double, double> cases[] = {
        // text, as an integer, as a number with a fraction
        {"0", 0, 0}, {"010", 10, 10}, {"-7", -7, -7}, {"+7", 7, 7}, {"+-7", no, no},
        // The whole text is the number: no blank before or after it, none after the sign.
        {" 12", no, no}, {"12 ", no, no}, {"\t5", no, no}, {"- 5", no, no}, {" 1.5", no, no},
        {"0X1f", 31, 31}, {"0x", no, no}, {"0x-1", no, no}, {"-0x10", no, no}, {"1.15", no, 1.15},
        {"-.5", no, -0.5}, {"3.", no, 3}, {".", no, no}, {"1.2.3", no, no}, {"12x", no, no},
        // Digits of other scripts (the last here) are not digits.
        {"1 2", no, no}, {"", no, no}, {"-", no, no}, {"1e3", no, no}, {"0x1.8", no, no}, {"٣", no, no},
        {"9223372036854775807", top, top}, {"9223372036854775808", no, top},
        {"0x7FFFFFFFFFFFFFFF", top, top}, {"0x8000000000000000", no, no}};
    // clang-format on
    for (const auto& [text, integer, number] : cases) {
        SCOPED_TRACE(text);
        int64_t i = -99;
        double d = -99;
        EXPECT_EQ(ParseTypedInteger(QString::fromUtf8(text), i) ? double(i) : no, integer);
        EXPECT_DOUBLE_EQ(ParseTypedNumber(QString::fromUtf8(text), d) ? d : no, number);
    }
    // The accepted hexadecimal texts are the write preparation's (unit HEX).
    uint64_t hex = 0;
    for (const char* text : {"", "0x", "-1", "fg", "12345678901234567", " ff", "ff "})
        EXPECT_FALSE(ParseTypedHex(QString::fromUtf8(text), hex)) << text;
}
