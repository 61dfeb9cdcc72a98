// Input: one request command byte, then a serial reply frame (zero-padded to 10 bytes).
// Checks that decoding never reads past the frame, that serial and CAN framing of the same SDO
// bytes decode alike, that the segment and none states leave the value alone, that a reply is
// matched only with a request it can answer, and that every built serial frame carries a checksum
// that holds.

#include "comm/SdoFrame.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t request = data[0];
    SdoFrame::Serial serial{};
    std::memcpy(serial.data(), data + 1, size - 1 < serial.size() ? size - 1 : serial.size());

    const bool checksumHolds = SdoFrame::ChecksumHolds(serial);
    int sum = 0;
    for (uint8_t b : serial)
        sum += b;
    Check(checksumHolds == (sum % 256 == 0));

    const uint32_t before = 0xA5A5A5A5;
    uint32_t fromSerial = before;
    const SdoFrame::DecodeState state = SdoFrame::Decode(request, &serial[1], fromSerial);
    Check(state <= SdoFrame::StateNone);
    if (state == SdoFrame::StateSegment || state == SdoFrame::StateNone)
        Check(fromSerial == before);
    if (state == SdoFrame::StateAbort)
        Check(serial[1] == SdoFrame::kAbort);

    // The same SDO bytes in a CAN frame.
    SdoFrame::Can can{};
    std::memcpy(&can[6], &serial[1], 8);
    uint32_t fromCan = before;
    Check(SdoFrame::Decode(request, &can[6], fromCan) == state);
    Check(fromCan == fromSerial);

    // A reply never answers the request it repeats, and an answer to a read, write or abort
    // names the request's object.
    const uint32_t replyKey = SdoFrame::KeyOf(&serial[1]);
    const SdoFrame::Sdo asked = SdoFrame::BuildSdo(
        request, (serial[0] & 1) ? replyKey : replyKey ^ 0x100, SdoFrame::DataOf(&serial[1]));
    Check(!SdoFrame::Answers(&serial[1], &serial[1]));
    if (SdoFrame::Answers(asked.data(), &serial[1])) {
        Check(serial[1] != request);
        // Segments name no object: an abort during them is for the transfer under way.
        if (!SdoFrame::IsSegmentRequest(request) && !SdoFrame::IsDownloadSegment(request))
            Check(SdoFrame::KeyOf(&serial[1]) == SdoFrame::KeyOf(asked.data()));
    }

    const int length = SdoFrame::SegmentLength(serial[1]);
    Check(length >= 0 && length <= 7);

    // Whatever the fields, a built frame's checksum holds and its bytes read back.
    const uint32_t key = (uint32_t(serial[3]) << 16) | (uint32_t(serial[2]) << 8) | serial[4];
    uint32_t value = 0;
    std::memcpy(&value, &serial[5], 4);
    const SdoFrame::Serial built = SdoFrame::BuildSerial(serial[0], serial[1], key, value);
    Check(SdoFrame::ChecksumHolds(built));
    Check(std::memcmp(built.data(), serial.data(), 9) == 0);
    return 0;
}
