// The I/O page's texts and the drive's I/O arithmetic.

#include "dio/IoBits.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(IoBitsTest, FunctionTextsAndTips)
{
    const auto name = [](int bit) {
        return bit == 0 ? QStringLiteral("A") : bit == 2 ? QStringLiteral("B") : QString();
    };
    const struct
    {
        uint32_t mask;
        const char* text;
        QStringList tip;
    } cases[] = {
        {0, "NULL", {}},
        {5, "A+B", {"1.A", "2.B"}},
        {0x12, "+", {"1.", "2."}}, // names missing from the file stay empty
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Dio::FunctionText(c.mask, name), c.text) << c.mask;
        EXPECT_EQ(Dio::FunctionTipLines(c.mask, name), c.tip) << c.mask;
    }
}

TEST(IoBitsTest, MixedFunctionsAndTheDrivesLevels)
{
    for (const auto& [mask, mixed] : {std::pair{0x8004u, true},
                                      {0x18000u, false},
                                      {0x7FFFu, false},
                                      {0u, false},
                                      {0xFFFFFFFFu, true}})
        EXPECT_EQ(Dio::IsMixedFunctionMask(mask), mixed) << std::hex << mask;
    // Terminals 0101b, DIN1 inverted, DIN2 and DIN3 simulated at 10b: 0011b... as the functions
    // see it: DIN1 off, DIN2 on (simulated), DIN3 off (simulated), DIN4 untouched.
    EXPECT_EQ(Dio::InputVirtualState(0x5, 0x1, 0x6, 0x2), 0x2u);
    const std::array<uint32_t, Dio::kInputs> inputs{0x1, 0x402, 0, 0, 0, 0, 0, 0x8000};
    EXPECT_EQ(Dio::ActiveInputFunctions(0x82, inputs), 0x8402u);
    // Functions 0 and 2 on: DOUT1 (function 0), DOUT3 (2 or 5); DOUT2 inverted; DOUT5 simulated.
    const std::array<uint32_t, Dio::kOutputs> outputs{0x1, 0x2, 0x24, 0x8, 0x1};
    EXPECT_EQ(Dio::OutputState(0x5, outputs, 0x2, 0x10, 0x0), 0x7u);
}

TEST(IoBitsTest, DialogRowsFollowTheFileWithoutGaps)
{
    TestSupport::TempInstall install;
    ASSERT_TRUE(install.writeFile(QStringLiteral("sys/io.ini"),
                                  "[in]\nenBit03=C\nenBit01=A\nchBit01=Ch\n[out]\nenBit00=Z\n"));
    const Dio::CFunctionNames english(install.path(QStringLiteral("sys/io.ini")), 2);
    const QVector<Dio::CFunctionNames::Row> rows = english.DialogRows(false);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].id, "Bit03"); // row 1 stands for bit 1, whatever the key's number
    EXPECT_EQ(english.Name(false, 2), "C");
    EXPECT_EQ(english.Name(true, 0), "");
    EXPECT_EQ(Dio::CFunctionNames(install.path(QStringLiteral("sys/io.ini")), 1).Name(false, 0),
              "Ch");
}

} // namespace
