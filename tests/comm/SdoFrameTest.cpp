#include "comm/SdoFrame.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <tuple>

using namespace SdoFrame;

namespace {

template <size_t N> QByteArray Hex(const std::array<uint8_t, N>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(N)).toHex(' ');
}

} // namespace

TEST(SdoFrame, SerialAndCanFramesByteForByte)
{
    // Checksums worked out by hand: 0x100 minus the byte sum of bytes 0-8.
    EXPECT_EQ(Hex(BuildSerial(1, kRead, 0x604100, 0)), "01 40 41 60 00 00 00 00 00 1e");
    EXPECT_EQ(Hex(BuildSerial(5, kWrite4, 0x607A00, 0x12345678)), "05 23 7a 60 00 78 56 34 12 ea");
    EXPECT_EQ(Hex(BuildSerial(1, kWrite4, 0x2FF001, 0x65766173)), // "save" to subindex 1
              "01 23 f0 2f 01 73 61 76 65 0d");
    // PCAN layout: id 0x600 + node LE, type 0 (standard), length 8, the SDO bytes.
    EXPECT_EQ(Hex(BuildCan(1, kRead, 0x604100, 0)),
              "01 06 00 00 00 08 40 41 60 00 00 00 00 00 00 00");
    EXPECT_EQ(Hex(BuildCan(0x7F, kWrite4, 0x607A00, 0x12345678)),
              "7f 06 00 00 00 08 23 7a 60 00 78 56 34 12 00 00");
}

TEST(SdoFrame, DecodesEveryReplyCommand)
{
    constexpr uint32_t kPrevious = 0xDEADBEEF;
    constexpr uint8_t kUnknown = 0x99;
    // Request, reply, state, and the value from the data bytes 78 56 34 12 or kPrevious kept.
    const std::tuple<uint8_t, uint8_t, DecodeState, uint32_t> cases[] = {
        {kRead, 0x43, StateValue, 0x12345678},
        {kRead, 0x4B, StateValue, 0x5678},
        {kRead, 0x4F, StateValue, 0x78},
        {kRead, 0x41, StateValue, 0x78},
        // A write confirmation takes the width of the request.
        {kWrite4, 0x60, StateValue, 0x12345678},
        {kWrite2, 0x60, StateValue, 0x5678},
        {kWrite1, 0x60, StateValue, 0x78},
        // An abort carries its code whatever was asked.
        {kRead, kAbort, StateAbort, 0x12345678},
        {kUnknown, kAbort, StateAbort, 0x12345678},
        {kSegment0, 0x00, StateSegment, kPrevious},
        {kSegment1, 0x1D, StateSegment, kPrevious},
        {kRead, 0x60, StateNone, kPrevious}, // a read answered like a write
        {kRead, 0x00, StateNone, kPrevious}, // a cleared buffer: nothing arrived
        {kUnknown, 0x43, StateNone, kPrevious},
    };
    for (const auto& [request, reply, state, expected] : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << "request " << int(request) << " reply " << int(reply));
        const uint8_t data[8] = {reply, 0x41, 0x60, 0x00, 0x78, 0x56, 0x34, 0x12};
        uint32_t value = kPrevious;
        EXPECT_EQ(Decode(request, data, value), state);
        EXPECT_EQ(value, expected);
    }
}

TEST(SdoFrame, SegmentLengthFromTheUnusedByteCount)
{
    // Bit 0 (last segment) and bit 4 (toggle) do not count.
    const std::pair<uint8_t, int> cases[] = {{0x00, 7}, {0x03, 6}, {0x0F, 0}, {0x1D, 1}};
    for (const auto& [command, length] : cases)
        EXPECT_EQ(SegmentLength(command), length) << std::hex << int(command);
}

// Which reply answers which request, as the eight SDO bytes on the wire. Anything that does not
// answer is dropped as stale and waited past.
TEST(SdoFrame, ReplyMatchesItsRequestByteForByte)
{
    const auto bytes = [](const char* hex) { return QByteArray::fromHex(hex); };
    const char* const read6041 = "40 41 60 00 00 00 00 00";
    const char* const write607A = "23 7a 60 00 78 56 34 12";
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"read answered, 4 bytes", read6041, "43 41 60 00 37 02 00 00", true},
        {"read answered, 2 and 1 bytes", read6041, "4b 41 60 00 37 02 00 00", true},
        {"read answered, unsized", read6041, "42 41 60 00 37 00 00 00", true},
        {"upload start with length", "40 08 10 00 00 00 00 00", "41 08 10 00 10 00 00 00", true},
        {"read refused", read6041, "80 41 60 00 01 00 01 06", true},
        {"read echoed back", read6041, read6041, false},
        {"another object's value (stale)", read6041, "43 6c 60 00 37 02 00 00", false},
        {"another subindex", read6041, "43 41 60 01 37 02 00 00", false},
        {"another object's abort", read6041, "80 40 60 00 01 00 01 06", false},
        {"read answered like a write", read6041, "60 41 60 00 00 00 00 00", false},
        {"write confirmed", write607A, "60 7a 60 00 78 56 34 12", true},
        {"write echoed back", write607A, write607A, false},
        {"write answered like a read", write607A, "43 7a 60 00 78 56 34 12", false},
        {"write refused", write607A, "80 7a 60 00 02 00 01 06", true},
        {"segment, toggle 0", "60 08 10 00 00 00 00 00", "00 56 45 4c 4d 4f 52 20", true},
        {"last segment, toggle 1", "70 08 10 00 00 00 00 00", "1b 45 43 44 00 00 00 00", true},
        {"segment of the other toggle (replayed)", "70 08 10 00 00 00 00 00",
         "00 56 45 4c 4d 4f 52 20", false},
        {"segment answered by an upload start", "60 08 10 00 00 00 00 00",
         "41 08 10 00 10 00 00 00", false},
        {"segment refused", "60 08 10 00 00 00 00 00", "80 08 10 00 00 00 03 05", true},
        {"nothing arrived (cleared buffer)", read6041, "00 00 00 00 00 00 00 00", false},
    };
    for (const auto& [name, request, reply, answers] : cases) {
        const QByteArray q = bytes(request), r = bytes(reply);
        EXPECT_EQ(Answers(reinterpret_cast<const uint8_t*>(q.constData()),
                          reinterpret_cast<const uint8_t*>(r.constData())),
                  answers)
            << name;
    }
}
