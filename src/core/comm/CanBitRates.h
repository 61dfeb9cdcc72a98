#pragma once

#include <cstdint>

// The CAN bit rates the program offers, by the PCAN BTR0/BTR1 code that the settings carry.
// Shared by the connection status text and the CAN library, which turns the code into the rate
// it asks the bus device for. Header-only: the CAN library does not link the core.
namespace CanBitRates {

struct Rate
{
    uint32_t code;    // PCAN BTR0/BTR1
    uint32_t bitRate; // bit/s
    const char* text; // as the status bar shows it
};

inline constexpr Rate kRates[] = {
    {0x0014, 1000000, "1 MBit/s"},  {0x001C, 500000, "500 KBit/s"}, {0x011C, 250000, "250 KBit/s"},
    {0x031C, 125000, "125 KBit/s"}, {0x432F, 100000, "100 KBit/s"}, {0x472F, 50000, "50 KBit/s"},
};

// Null for a code outside the table.
inline const Rate* Find(uint32_t code)
{
    for (const Rate& rate : kRates) {
        if (rate.code == code)
            return &rate;
    }
    return nullptr;
}

} // namespace CanBitRates
