#include "comm/SdoFrame.h"

#include <gtest/gtest.h>

#include <vector>

using namespace SdoFrame;

namespace {

std::vector<uint8_t> Bytes(const Serial& frame)
{
    return {frame.begin(), frame.end()};
}

std::vector<uint8_t> Bytes(const Can& frame)
{
    return {frame.begin(), frame.end()};
}

// The eight SDO bytes of a reply: command, index, subindex, four data bytes.
std::array<uint8_t, 8> Reply(uint8_t command, uint8_t d0, uint8_t d1 = 0, uint8_t d2 = 0,
                             uint8_t d3 = 0)
{
    return {command, 0x41, 0x60, 0x00, d0, d1, d2, d3};
}

} // namespace

TEST(SdoFrameSerial, ReadOfStatuswordFromNodeOne)
{
    EXPECT_EQ(Bytes(BuildSerial(1, kRead, 0x604100, 0)),
              (std::vector<uint8_t>{0x01, 0x40, 0x41, 0x60, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1E}));
}

TEST(SdoFrameSerial, WritesOfEachWidth)
{
    // Checksums worked out by hand: 0x100 minus the byte sum of bytes 0-8.
    EXPECT_EQ(Bytes(BuildSerial(1, kWrite1, 0x606000, 0x03)),
              (std::vector<uint8_t>{0x01, 0x2F, 0x60, 0x60, 0x00, 0x03, 0x00, 0x00, 0x00, 0x0D}));
    EXPECT_EQ(Bytes(BuildSerial(2, kWrite2, 0x604000, 0x000F)),
              (std::vector<uint8_t>{0x02, 0x2B, 0x40, 0x60, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x24}));
    EXPECT_EQ(Bytes(BuildSerial(5, kWrite4, 0x607A00, 0x12345678)),
              (std::vector<uint8_t>{0x05, 0x23, 0x7A, 0x60, 0x00, 0x78, 0x56, 0x34, 0x12, 0xEA}));
    // Subindex in byte 4, "save" as the value.
    EXPECT_EQ(Bytes(BuildSerial(1, kWrite4, 0x2FF001, 0x65766173)),
              (std::vector<uint8_t>{0x01, 0x23, 0xF0, 0x2F, 0x01, 0x73, 0x61, 0x76, 0x65, 0x0D}));
}

TEST(SdoFrameSerial, ChecksumCatchesAnySingleByteChange)
{
    const Serial good = BuildSerial(3, kWrite4, 0x607A00, 0xCAFEF00D);
    EXPECT_TRUE(ChecksumHolds(good));
    int sum = 0;
    for (uint8_t b : good)
        sum += b;
    EXPECT_EQ(sum % 256, 0);
    for (size_t i = 0; i < good.size(); ++i) {
        Serial bad = good;
        bad[i] ^= 0x10;
        EXPECT_FALSE(ChecksumHolds(bad)) << "byte " << i;
    }
    const Serial zeros{};
    EXPECT_TRUE(ChecksumHolds(zeros)); // a cleared reply passes the sum; its command decides
}

TEST(SdoFrameCan, PcanLayoutForNodeOne)
{
    EXPECT_EQ(Bytes(BuildCan(1, kRead, 0x604100, 0)),
              (std::vector<uint8_t>{0x01, 0x06, 0x00, 0x00, 0x00, 0x08, 0x40, 0x41, 0x60, 0x00,
                                    0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Bytes(BuildCan(0x7F, kWrite4, 0x607A00, 0x12345678)),
              (std::vector<uint8_t>{0x7F, 0x06, 0x00, 0x00, 0x00, 0x08, 0x23, 0x7A, 0x60, 0x00,
                                    0x78, 0x56, 0x34, 0x12, 0x00, 0x00}));
}

TEST(SdoFrameDecode, ReadAnswersByReplyCommand)
{
    struct Case
    {
        uint8_t reply;
        uint32_t expected;
    };
    const Case cases[] = {
        {0x43, 0x12345678}, {0x4B, 0x5678}, {0x4F, 0x78}, {0x42, 0x78}, {0x41, 0x78}};
    for (const Case& c : cases) {
        uint32_t value = 0xDEADBEEF;
        const auto data = Reply(c.reply, 0x78, 0x56, 0x34, 0x12);
        EXPECT_EQ(Decode(kRead, data.data(), value), StateValue) << std::hex << int(c.reply);
        EXPECT_EQ(value, c.expected) << std::hex << int(c.reply);
    }
}

TEST(SdoFrameDecode, WriteAnswersTakeTheWidthOfTheRequest)
{
    const auto data = Reply(0x60, 0x78, 0x56, 0x34, 0x12);
    uint32_t value = 0;
    EXPECT_EQ(Decode(kWrite4, data.data(), value), StateValue);
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_EQ(Decode(kWrite2, data.data(), value), StateValue);
    EXPECT_EQ(value, 0x5678u);
    EXPECT_EQ(Decode(kWrite1, data.data(), value), StateValue);
    EXPECT_EQ(value, 0x78u);
}

TEST(SdoFrameDecode, AbortCarriesTheCodeWhateverTheRequest)
{
    // 0x06020000: object does not exist.
    const auto data = Reply(kAbort, 0x00, 0x00, 0x02, 0x06);
    for (uint8_t request : {kRead, kWrite1, kWrite2, kWrite4, kSegment0, uint8_t(0x99)}) {
        uint32_t value = 0;
        EXPECT_EQ(Decode(request, data.data(), value), StateAbort) << std::hex << int(request);
        EXPECT_EQ(value, 0x06020000u);
    }
}

TEST(SdoFrameDecode, SegmentAndUnknownKeepThePreviousValue)
{
    const auto data = Reply(0x00, 'D', 'r', 'i', 'v');
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(Decode(kSegment0, data.data(), value), StateSegment);
    EXPECT_EQ(Decode(kSegment1, data.data(), value), StateSegment);
    EXPECT_EQ(value, 0xDEADBEEFu);

    const auto odd = Reply(0x60, 1, 2, 3, 4);
    EXPECT_EQ(Decode(kRead, odd.data(), value), StateNone); // a read answered like a write
    EXPECT_EQ(Decode(0x99, odd.data(), value), StateNone);
    const auto cleared = Reply(0x00, 0);
    EXPECT_EQ(Decode(kRead, cleared.data(), value), StateNone); // nothing arrived
    EXPECT_EQ(value, 0xDEADBEEFu);
}

TEST(SdoFrameDecode, SerialAndCanRepliesDecodeAlike)
{
    const Serial serial = BuildSerial(1, 0x43, 0x606400, 0xFFFFFC18);
    const Can can = BuildCan(1, 0x43, 0x606400, 0xFFFFFC18);
    uint32_t fromSerial = 0;
    uint32_t fromCan = 0;
    EXPECT_EQ(Decode(kRead, &serial[1], fromSerial), StateValue);
    EXPECT_EQ(Decode(kRead, &can[6], fromCan), StateValue);
    EXPECT_EQ(fromSerial, 0xFFFFFC18u);
    EXPECT_EQ(fromCan, 0xFFFFFC18u);
}

TEST(SdoFrameSegment, LengthFromTheUnusedByteCount)
{
    EXPECT_EQ(SegmentLength(0x00), 7);
    EXPECT_EQ(SegmentLength(0x01), 7); // last segment, all seven bytes used
    EXPECT_EQ(SegmentLength(0x03), 6);
    EXPECT_EQ(SegmentLength(0x0B), 2);
    EXPECT_EQ(SegmentLength(0x0D), 1);
    EXPECT_EQ(SegmentLength(0x0F), 0);
    EXPECT_EQ(SegmentLength(0x10), 7); // toggle bit does not count
    EXPECT_EQ(SegmentLength(0x1D), 1);
}
