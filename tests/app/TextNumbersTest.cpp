#include "base/TextNumbers.h"

#include <gtest/gtest.h>

#include <climits>

// Hex and decimal texts skip every character that is not a digit of their base and negate on a
// "-" at the very start only; the standard conversion stops at the first non-digit. All wrap
// at 32 bits.
TEST(TextNumbers, EdgeCases)
{
    const struct
    {
        const char* text;
        int32_t hex, dec, standard;
    } cases[] = {
        // clang-format off
        {"", 0, 0, 0}, {"-", 0, 0, 0}, {"zz", 0, 0, 0}, {"ff", 0xFF, 0, 0},
        {"1 0 0 0", 0x1000, 1000, 1}, {"60:41.00", 0x604100, 604100, 60}, {"0x1F", 0x1F, 1, 0},
        {"-10", -0x10, -10, -10}, {" -10", 0x10, 10, -10}, {"--10", -0x10, -10, 0},
        {"- 5", -5, -5, 0}, {"+7", 7, 7, 7}, {"\t-7", 7, 7, -7}, {"  42abc", 0x42ABC, 42, 42},
        {"3 4", 0x34, 34, 3}, {"UNSIGNED32", 0xED32, 32, 0}, {"FFFFFFFF", -1, 0, 0},
        {"123456789", 0x23456789, 123456789, 123456789}, {"-80000000", INT32_MIN, -80000000, -80000000},
        {"4294967295", int32_t(0x94967295u), -1, -1}, {"4294967297", int32_t(0x94967297u), 1, 1},
        {"-2147483648", -0x47483648, INT32_MIN, INT32_MIN},
        // clang-format on
    };
    for (const auto& c : cases) {
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(HexTextToInt(text), c.hex) << '"' << c.text << '"';
        EXPECT_EQ(DecTextToInt(text), c.dec) << '"' << c.text << '"';
        EXPECT_EQ(TextToLong(text), c.standard) << '"' << c.text << '"';
    }
    EXPECT_EQ(DataTypeBits("VISIBLE STRING"), 0);
    EXPECT_TRUE(DataTypeIsUnsigned("U32") && DataTypeIsUnsigned("unsigned8"));
    EXPECT_FALSE(DataTypeIsUnsigned("I32") || DataTypeIsUnsigned(""));
}
