#pragma once

#include <cstdint>

// Wire values are least significant byte first, in the serial frame, the CAN frame and the PCAN
// identifier alike. Header-only so that the transport libraries, which do not link the core,
// read them the same way.
namespace LittleEndian {

inline uint32_t Read32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16) |
           (uint32_t(bytes[3]) << 24);
}

// The first count bytes (1 to 4) as an unsigned number.
inline uint32_t Read(const uint8_t* bytes, int count)
{
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= uint32_t(bytes[i]) << (8 * i);
    return value;
}

inline void Write32(uint8_t* bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace LittleEndian
