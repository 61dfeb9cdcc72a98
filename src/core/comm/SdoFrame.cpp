#include "SdoFrame.h"

namespace SdoFrame {

namespace {

void PutKeyAndValue(uint8_t* sdo, uint8_t command, uint32_t key, uint32_t value)
{
    sdo[0] = command;
    sdo[1] = static_cast<uint8_t>(key >> 8);  // index low byte
    sdo[2] = static_cast<uint8_t>(key >> 16); // index high byte
    sdo[3] = static_cast<uint8_t>(key);       // subindex
    for (int i = 0; i < 4; ++i)
        sdo[4 + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t DataBytes(const uint8_t* data8, int count)
{
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= static_cast<uint32_t>(data8[4 + i]) << (8 * i);
    return value;
}

} // namespace

Serial BuildSerial(uint32_t nodeId, uint8_t command, uint32_t key, uint32_t value)
{
    Serial frame{};
    frame[0] = static_cast<uint8_t>(nodeId);
    PutKeyAndValue(&frame[1], command, key, value);
    frame[9] = Checksum(frame.data());
    return frame;
}

uint8_t Checksum(const uint8_t* bytes9)
{
    uint8_t sum = 0;
    for (int i = 0; i < 9; ++i)
        sum = static_cast<uint8_t>(sum + bytes9[i]);
    return static_cast<uint8_t>(0x100 - sum);
}

bool ChecksumHolds(const Serial& frame)
{
    return Checksum(frame.data()) == frame[9];
}

Can BuildCan(uint32_t nodeId, uint8_t command, uint32_t key, uint32_t value)
{
    Can frame{};
    const uint32_t id = 0x600 + nodeId;
    for (int i = 0; i < 4; ++i)
        frame[i] = static_cast<uint8_t>(id >> (8 * i));
    frame[4] = 0; // standard frame
    frame[5] = 8;
    PutKeyAndValue(&frame[6], command, key, value);
    return frame;
}

DecodeState Decode(uint8_t requestCommand, const uint8_t* data8, uint32_t& value)
{
    const uint8_t reply = data8[0];
    if (reply == kAbort) {
        value = DataBytes(data8, 4);
        return StateAbort;
    }
    switch (requestCommand) {
    case kWrite4:
        value = DataBytes(data8, 4);
        return StateValue;
    case kWrite2:
        value = DataBytes(data8, 2);
        return StateValue;
    case kWrite1:
        value = DataBytes(data8, 1);
        return StateValue;
    case kRead:
        switch (reply) {
        case 0x43:
            value = DataBytes(data8, 4);
            return StateValue;
        case 0x4B:
            value = DataBytes(data8, 2);
            return StateValue;
        case 0x4F:
        case 0x42:
        case 0x41:
            value = DataBytes(data8, 1);
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

int SegmentLength(uint8_t replyCommand)
{
    return 7 - ((replyCommand >> 1) & 7);
}

} // namespace SdoFrame
