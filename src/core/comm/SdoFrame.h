#pragma once

#include <array>
#include <cstdint>

// The two wire frames of the reduced SDO protocol, its command bytes, and how a reply is matched
// with its request and decoded. The one home of these facts: the link, the virtual drive and the
// tests all take them from here.
namespace SdoFrame {

// Requests.
constexpr uint8_t kRead = 0x40;
constexpr uint8_t kWrite1 = 0x2F;
constexpr uint8_t kWrite2 = 0x2B;
constexpr uint8_t kWrite4 = 0x23;
constexpr uint8_t kWrite3 = 0x27;        // canopen profile: three bytes by the size bits
constexpr uint8_t kWriteUnsized = 0x22;  // canopen profile: the object's own width
constexpr uint8_t kDownloadStart = 0x21; // segmented write follows; the data bytes hold the length
constexpr uint8_t kSegment0 = 0x60;
constexpr uint8_t kSegment1 = 0x70;
// Replies.
constexpr uint8_t kReadReply1 = 0x4F;
constexpr uint8_t kReadReply2 = 0x4B;
constexpr uint8_t kReadReply4 = 0x43;
constexpr uint8_t kReadReply3 = 0x47;
constexpr uint8_t kReadReplyUnsized = 0x42;
constexpr uint8_t kUploadStart = 0x41; // segmented read follows; the data bytes hold the length
constexpr uint8_t kWriteReply = 0x60;
constexpr uint8_t kDownloadSegmentReply = 0x20; // with the toggle bit of the segment it confirms
constexpr uint8_t kAbort = 0x80;
// Segment replies: bit 4 the toggle, bits 3-1 the unused byte count, bit 0 the last segment.
constexpr uint8_t kToggleBit = 0x10;
constexpr uint8_t kLastSegmentBit = 0x01;
constexpr int kSegmentBytes = 7;

using Serial = std::array<uint8_t, 10>;
using Can = std::array<uint8_t, 16>;
// The eight SDO bytes: command, index low, index high, subindex, four data bytes.
using Sdo = std::array<uint8_t, 8>;

constexpr int kSerialSdoOffset = 1;
constexpr int kCanSdoOffset = 6;

inline bool IsWrite(uint8_t command)
{
    return (command & 0xE0) == 0x20;
}

inline bool IsSegmentRequest(uint8_t command)
{
    return command == kSegment0 || command == kSegment1;
}

// A segment of a segmented write (client command specifier 0): toggle, unused bytes, last bit.
inline bool IsDownloadSegment(uint8_t command)
{
    return (command & 0xE0) == 0;
}

// The byte count an expedited request or reply states with its size bits (0x43 to 0x4F, 0x23 to
// 0x2F); 0 when it states none (0x42, 0x22) or is not expedited.
int ExpeditedBytes(uint8_t command);
// The expedited write of 1 to 4 bytes.
uint8_t ExpeditedWrite(int bytes);

// The write request and the read reply for an object of 8, 16 or 32 bits.
uint8_t WriteCommand(int widthBits);
uint8_t ReadReply(int widthBits);
// A segment reply carrying length bytes (0 to 7).
uint8_t SegmentReply(uint8_t toggle, int length, bool last);

// Key = index << 8 | subindex, from the SDO bytes.
uint32_t KeyOf(const uint8_t* sdo8);
uint32_t DataOf(const uint8_t* sdo8);
// Builds the eight SDO bytes.
Sdo BuildSdo(uint8_t command, uint32_t key, uint32_t value);

// node, command, index lo, index hi, subindex, value LE, checksum.
Serial BuildSerial(uint32_t nodeId, uint8_t command, uint32_t key, uint32_t value);
// Two's complement of the sum of the first count bytes, so that they and it add up to 0.
uint8_t Checksum(const uint8_t* bytes, int count = 9);
bool ChecksumHolds(const Serial& frame);

// PCAN message layout: id LE (0x600 + node), type 0, length 8, then the eight data bytes.
Can BuildCan(uint32_t nodeId, uint8_t command, uint32_t key, uint32_t value);
// The same frames around eight SDO bytes already built (a download segment has no object).
Can BuildCan(uint32_t nodeId, const Sdo& sdo);
Serial BuildSerial(uint32_t nodeId, const Sdo& sdo);
// A download segment carrying length bytes (0 to 7).
Sdo BuildDownloadSegment(uint8_t toggle, const uint8_t* bytes, int length, bool last);

// Whether a reply answers the request (both as the eight SDO bytes). Never the request coming
// back (an echoing line); a read, write or abort reply only for the same index and subindex
// and only with a reply command of that request; a segment only with the toggle bit asked for.
bool Answers(const uint8_t* request8, const uint8_t* reply8);

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

// The canopen profile's decoding: an expedited read reply is as long as its size bits say; one
// without them (0x42), and the upload start 0x41, count unsizedBytes (the object's width, 4 when
// it is not known). A write confirmation carries no value: state none, for the read-back.
DecodeState DecodeCanOpen(uint8_t requestCommand, const uint8_t* data8, uint32_t& value,
                          int unsizedBytes);

// Bytes and length of a segment reply: the seven bytes after the command byte,
// length 7 - ((command >> 1) & 7).
int SegmentLength(uint8_t replyCommand);

} // namespace SdoFrame
