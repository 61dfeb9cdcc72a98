#pragma once

#include <cstdint>

// Facts of the connection that the core, the transport libraries and the virtual drive all rely
// on. Header-only: the transport libraries do not link the core.

// The communication mode, with the numbers sys.ini's "comm" and the link's SetMode use. Any
// other number read from a file counts as offline.
enum class CommMode : uint8_t
{
    Offline = 1,
    Rs232 = 2,
    Can = 5
};

// A number from a file or the link as the mode it stands for.
constexpr CommMode CommModeFromNumber(long number)
{
    return number == long(CommMode::Rs232) ? CommMode::Rs232
           : number == long(CommMode::Can) ? CommMode::Can
                                           : CommMode::Offline;
}

// The number a mode is written and handed to the link as.
constexpr int CommModeNumber(CommMode mode)
{
    return int(mode);
}

// CAN identifiers of the SDO exchange: a request goes out on 0x600 + node id, its reply comes
// back on 0x580 + node id.
constexpr uint32_t kSdoRequestBaseId = 0x600;
constexpr uint32_t kSdoReplyBaseId = 0x580;
// The other CANopen services on the bus (CiA 301): NMT commands, emergencies and heartbeats
// (the node id added to the last two).
constexpr uint32_t kNmtBaseId = 0x000;
constexpr uint32_t kEmcyBaseId = 0x080;
constexpr uint32_t kHeartbeatBaseId = 0x700;

// The node ids a drive can have on either line.
constexpr uint32_t kMinDriverId = 1;
constexpr uint32_t kMaxDriverId = 127;
