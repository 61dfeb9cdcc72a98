#include "SdoFrame.h"

#include "ConnectionFacts.h"
#include "LittleEndian.h"

#include <cstring>

namespace SdoFrame {

namespace {

void PutKeyAndValue(uint8_t* sdo, uint8_t command, uint32_t key, uint32_t value)
{
    sdo[0] = command;
    sdo[1] = static_cast<uint8_t>(key >> 8);  // index low byte
    sdo[2] = static_cast<uint8_t>(key >> 16); // index high byte
    sdo[3] = static_cast<uint8_t>(key);       // subindex
    LittleEndian::Write32(sdo + 4, value);
}

bool SameObject(const uint8_t* a, const uint8_t* b)
{
    return a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

bool IsReadReply(uint8_t command)
{
    switch (command) {
    case kReadReply4:
    case kReadReply3:
    case kReadReply2:
    case kReadReply1:
    case kReadReplyUnsized:
    case kUploadStart:
        return true;
    default:
        return false;
    }
}

} // namespace

int ExpeditedBytes(uint8_t command)
{
    if ((command & 0x03) != 0x03)
        return 0;
    return 4 - ((command >> 2) & 3);
}

uint8_t ExpeditedWrite(int bytes)
{
    return static_cast<uint8_t>(0x23 | ((4 - bytes) << 2));
}

uint8_t WriteCommand(int widthBits)
{
    return widthBits == 8 ? kWrite1 : widthBits == 16 ? kWrite2 : kWrite4;
}

uint8_t ReadReply(int widthBits)
{
    return widthBits == 8 ? kReadReply1 : widthBits == 16 ? kReadReply2 : kReadReply4;
}

uint8_t SegmentReply(uint8_t toggle, int length, bool last)
{
    return static_cast<uint8_t>((toggle & kToggleBit) | ((kSegmentBytes - length) << 1) |
                                (last ? kLastSegmentBit : 0));
}

uint32_t KeyOf(const uint8_t* sdo8)
{
    return (uint32_t(sdo8[2]) << 16) | (uint32_t(sdo8[1]) << 8) | uint32_t(sdo8[3]);
}

uint32_t DataOf(const uint8_t* sdo8)
{
    return LittleEndian::Read32(sdo8 + 4);
}

Sdo BuildSdo(uint8_t command, uint32_t key, uint32_t value)
{
    Sdo sdo{};
    PutKeyAndValue(sdo.data(), command, key, value);
    return sdo;
}

Serial BuildSerial(uint32_t nodeId, uint8_t command, uint32_t key, uint32_t value)
{
    Serial frame{};
    frame[0] = static_cast<uint8_t>(nodeId);
    PutKeyAndValue(&frame[kSerialSdoOffset], command, key, value);
    frame[9] = Checksum(frame.data());
    return frame;
}

uint8_t Checksum(const uint8_t* bytes, int count)
{
    uint8_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return static_cast<uint8_t>(0x100 - sum);
}

bool ChecksumHolds(const Serial& frame)
{
    return Checksum(frame.data()) == frame[9];
}

Can BuildCan(uint32_t nodeId, uint8_t command, uint32_t key, uint32_t value)
{
    Can frame{};
    LittleEndian::Write32(frame.data(), kSdoRequestBaseId + nodeId);
    frame[4] = 0; // standard frame
    frame[5] = 8;
    PutKeyAndValue(&frame[kCanSdoOffset], command, key, value);
    return frame;
}

Can BuildCan(uint32_t nodeId, const Sdo& sdo)
{
    Can frame = BuildCan(nodeId, 0, 0, 0);
    std::memcpy(&frame[kCanSdoOffset], sdo.data(), sdo.size());
    return frame;
}

Serial BuildSerial(uint32_t nodeId, const Sdo& sdo)
{
    Serial frame{};
    frame[0] = static_cast<uint8_t>(nodeId);
    std::memcpy(&frame[kSerialSdoOffset], sdo.data(), sdo.size());
    frame[9] = Checksum(frame.data());
    return frame;
}

Sdo BuildDownloadSegment(uint8_t toggle, const uint8_t* bytes, int length, bool last)
{
    Sdo sdo{};
    sdo[0] = SegmentReply(toggle, length, last); // the same bit layout as an upload segment
    if (length > 0)
        std::memcpy(&sdo[1], bytes, size_t(length));
    return sdo;
}

bool Answers(const uint8_t* request8, const uint8_t* reply8)
{
    const uint8_t request = request8[0];
    const uint8_t reply = reply8[0];
    if (reply == request || std::memcmp(request8, reply8, 8) == 0)
        return false;
    // A download segment names no object: its confirmation goes by the toggle bit alone, and an
    // abort while the segments run can only be for the write under way.
    if (IsDownloadSegment(request))
        return reply == kAbort || reply == (kDownloadSegmentReply | (request & kToggleBit));
    if (reply == kAbort)
        return SameObject(request8, reply8);
    if (IsSegmentRequest(request))
        return (reply & 0xE0) == 0 && (reply & kToggleBit) == (request & kToggleBit);
    if (!SameObject(request8, reply8))
        return false;
    if (request == kRead)
        return IsReadReply(reply);
    if (IsWrite(request))
        return reply == kWriteReply;
    return false;
}

DecodeState Decode(uint8_t requestCommand, const uint8_t* data8, uint32_t& value)
{
    const uint8_t reply = data8[0];
    if (reply == kAbort) {
        value = LittleEndian::Read(data8 + 4, 4);
        return StateAbort;
    }
    switch (requestCommand) {
    case kWrite4:
        value = LittleEndian::Read(data8 + 4, 4);
        return StateValue;
    case kWrite2:
        value = LittleEndian::Read(data8 + 4, 2);
        return StateValue;
    case kWrite1:
        value = LittleEndian::Read(data8 + 4, 1);
        return StateValue;
    case kRead:
        switch (reply) {
        case kReadReply4:
            value = LittleEndian::Read(data8 + 4, 4);
            return StateValue;
        case kReadReply2:
            value = LittleEndian::Read(data8 + 4, 2);
            return StateValue;
        case kReadReply1:
        case kReadReplyUnsized:
        case kUploadStart:
            value = LittleEndian::Read(data8 + 4, 1);
            return StateValue;
        default:
            return StateNone;
        }
    case kSegment0:
    case kSegment1:
        return StateSegment;
    default:
        return StateNone;
    }
}

DecodeState DecodeCanOpen(uint8_t requestCommand, const uint8_t* data8, uint32_t& value,
                          int unsizedBytes)
{
    const uint8_t reply = data8[0];
    if (reply == kAbort) {
        value = LittleEndian::Read(data8 + 4, 4);
        return StateAbort;
    }
    if (requestCommand == kSegment0 || requestCommand == kSegment1)
        return StateSegment;
    // A write confirmation that carries the value (the link's own, for an object that cannot
    // be read back) reads as the drive's does.
    if (IsWrite(requestCommand) && reply == kWriteReply)
        return Decode(requestCommand, data8, value);
    if (requestCommand != kRead)
        return StateNone;
    const int bytes = unsizedBytes >= 1 && unsizedBytes <= 4 ? unsizedBytes : 4;
    switch (reply) {
    case kReadReply4:
    case kReadReply3:
    case kReadReply2:
    case kReadReply1:
        value = LittleEndian::Read(data8 + 4, ExpeditedBytes(reply));
        return StateValue;
    case kReadReplyUnsized:
    case kUploadStart:
        value = LittleEndian::Read(data8 + 4, bytes);
        return StateValue;
    default:
        return StateNone;
    }
}

int SegmentLength(uint8_t replyCommand)
{
    return kSegmentBytes - ((replyCommand >> 1) & 7);
}

} // namespace SdoFrame
