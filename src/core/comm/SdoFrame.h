#pragma once

#include <array>
#include <cstdint>

// The two wire frames of the reduced SDO protocol and the decoding of a reply.
namespace SdoFrame {

constexpr uint8_t kRead = 0x40;
constexpr uint8_t kWrite1 = 0x2F;
constexpr uint8_t kWrite2 = 0x2B;
constexpr uint8_t kWrite4 = 0x23;
constexpr uint8_t kSegment0 = 0x60;
constexpr uint8_t kSegment1 = 0x70;
constexpr uint8_t kAbort = 0x80;

using Serial = std::array<uint8_t, 10>;
using Can = std::array<uint8_t, 16>;

// node, command, index lo, index hi, subindex, value LE, checksum.
Serial BuildSerial(uint32_t nodeId, uint8_t command, uint32_t key, uint32_t value);
// Two's complement of the sum of bytes 0-8: all ten bytes add up to 0.
uint8_t Checksum(const uint8_t* bytes9);
bool ChecksumHolds(const Serial& frame);

// PCAN message layout: id LE (0x600 + node), type 0, length 8, then the eight data bytes.
Can BuildCan(uint32_t nodeId, uint8_t command, uint32_t key, uint32_t value);

enum DecodeState : uint8_t
{
    StateValue = 0,
    StateSegment = 1,
    StateAbort = 2,
    StateNone = 3
};

// Decodes a reply to the given request command. data points at the eight SDO bytes (command
// byte first). value keeps its previous contents for the segment and none states.
DecodeState Decode(uint8_t requestCommand, const uint8_t* data8, uint32_t& value);

// Bytes and length of a segment reply: the seven bytes after the command byte,
// length 7 - ((command >> 1) & 7).
int SegmentLength(uint8_t replyCommand);

} // namespace SdoFrame
