#include "comm/DriveState.h"

#include <gtest/gtest.h>

// Each power state from a statusword with unrelated bits (voltage enabled, remote, warnings) set.
TEST(DriveState, StatuswordNamesThePowerState)
{
    const std::pair<uint16_t, const char*> cases[] = {
        {0x0000, "Not ready to switch on"},
        {0x0250, "Switch on disabled"},
        {0x0231, "Ready to switch on"},
        {0x0233, "Switched on"},
        {0x0237, "Operation enabled"},
        {0x02B7, "Operation enabled"},
        {0x0217, "Quick stop active"},
        {0x021F, "Fault reaction active"},
        {0x0218, "Fault"},
        {0x0238, "Fault"},
        {0x0001, "Unknown state"},
    };
    for (const auto& [statusword, state] : cases)
        EXPECT_EQ(DriveStateText(statusword), QString::fromLatin1(state)) << std::hex << statusword;
}
