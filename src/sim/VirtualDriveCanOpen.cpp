// The virtual drive as a CANopen device's SDO server (CiA 301): what differs from the drive's
// own protocol.
#include "VirtualDrive.h"

#include "comm/LittleEndian.h"
#include "comm/SdoFrame.h"

#include <algorithm>
#include <cstring>

namespace {

// What a device that states no size puts into the bytes past the value.
constexpr uint8_t kJunk = 0xA5;
constexpr int kMaxTextBytes = 4096;

void Confirm(uint32_t key, uint8_t* reply, uint8_t command)
{
    std::memset(reply, 0, 8);
    reply[0] = command;
    reply[1] = uint8_t(key >> 8);
    reply[2] = uint8_t(key >> 16);
    reply[3] = uint8_t(key);
}

} // namespace

void CVirtualDrive::SetCanOpen(bool on, bool unsized, bool blocks)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_canOpen = on;
    m_unsized = unsized;
    m_blocks = blocks;
    m_download = Download();
}

bool CVirtualDrive::CanOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_canOpen;
}

bool CVirtualDrive::CanOpenRequest(uint8_t command, uint32_t key, const uint8_t* request,
                                   uint8_t* reply, Clock::time_point now)
{
    if (SdoFrame::IsDownloadSegment(command)) {
        DownloadSegment(command, request, reply);
        return true;
    }
    // A new request of any other kind ends a segmented write that was under way.
    m_download = Download();
    if (command == SdoFrame::kRead) {
        if (key == kDeviceLabel) {
            m_upload = Upload();
            m_upload.active = true;
            m_upload.data = m_label;
            Confirm(key, reply, SdoFrame::kUploadStart);
            LittleEndian::Write32(reply + 4, uint32_t(m_label.size()));
            return true;
        }
        Read(key, request, reply, now);
        const int bytes = SdoFrame::ExpeditedBytes(reply[0]);
        if (m_unsized && (reply[0] & 0xE0) == 0x40 && bytes > 0) {
            reply[0] = SdoFrame::kReadReplyUnsized;
            for (int i = 4 + bytes; i < 8; ++i)
                reply[i] = kJunk;
        }
        return true;
    }
    if (command == SdoFrame::kDownloadStart) {
        const auto it = m_objects.constFind(key);
        const bool text = key == kDeviceLabel || (it != m_objects.constEnd() && !it->numeric);
        if (key != kDeviceLabel && it == m_objects.constEnd())
            Abort(request, reply, kAbortNoObject);
        else if (key != kDeviceLabel && !it->writable)
            Abort(request, reply, kAbortReadOnly);
        else if (!text || SdoFrame::DataOf(request) > uint32_t(kMaxTextBytes))
            Abort(request, reply, kAbortLength);
        else {
            m_download.active = true;
            m_download.key = key;
            m_download.size = int(SdoFrame::DataOf(request));
            Confirm(key, reply, SdoFrame::kWriteReply);
        }
        return true;
    }
    if (SdoFrame::IsWrite(command))
        return CanOpenWrite(key, command, request, reply, now);
    return false;
}

bool CVirtualDrive::CanOpenWrite(uint32_t key, uint8_t command, const uint8_t* request,
                                 uint8_t* reply, Clock::time_point now)
{
    if ((command & 0x02) == 0) {
        Abort(request, reply, kAbortCommand);
        return true;
    }
    const auto it = m_objects.constFind(key);
    const bool text = key == kDeviceLabel || (it != m_objects.constEnd() && !it->numeric);
    int bytes = SdoFrame::ExpeditedBytes(command);
    if (text) {
        if (key != kDeviceLabel && !it->writable) {
            Abort(request, reply, kAbortReadOnly);
            return true;
        }
        const QByteArray value(reinterpret_cast<const char*>(request) + 4, bytes ? bytes : 4);
        if (const uint32_t refused = TakeText(key, value))
            Abort(request, reply, refused);
        else
            Confirm(key, reply, SdoFrame::kWriteReply);
        return true;
    }
    // Without size bits the object's own width counts; the drive's handling checks the rest.
    if (bytes == 0)
        bytes = it != m_objects.constEnd() ? it->width / 8 : 4;
    if (bytes == 3) {
        Abort(request, reply, kAbortLength);
        return true;
    }
    const uint8_t width = SdoFrame::WriteCommand(bytes * 8);
    Write(key, width, LittleEndian::Read(request + 4, bytes), request, reply, now);
    // A device confirms without the value; a client reads it back when it wants to know.
    if (reply[0] == SdoFrame::kWriteReply)
        std::memset(reply + 4, 0, 4);
    return true;
}

void CVirtualDrive::DownloadSegment(uint8_t command, const uint8_t* request, uint8_t* reply)
{
    Download& d = m_download;
    if (!d.active) {
        Abort(request, reply, kAbortCommand);
        std::memset(reply + 1, 0, 3); // no write under way: no object to name
        return;
    }
    const uint32_t key = d.key;
    const auto refuse = [&](uint32_t code) {
        m_download = Download();
        Confirm(key, reply, SdoFrame::kAbort);
        LittleEndian::Write32(reply + 4, code);
    };
    if ((command & SdoFrame::kToggleBit) != d.nextToggle) {
        refuse(kAbortToggle);
        return;
    }
    const int n = SdoFrame::SegmentLength(command);
    d.data.append(reinterpret_cast<const char*>(request) + 1, n);
    if (d.data.size() > d.size) {
        refuse(AbortCode::kLength);
        return;
    }
    std::memset(reply, 0, 8);
    reply[0] = uint8_t(SdoFrame::kDownloadSegmentReply | d.nextToggle);
    d.nextToggle ^= SdoFrame::kToggleBit;
    if ((command & SdoFrame::kLastSegmentBit) == 0)
        return;
    const QByteArray text = d.data;
    const bool complete = text.size() == d.size;
    m_download = Download();
    if (!complete) {
        refuse(AbortCode::kLength);
        return;
    }
    if (const uint32_t refused = TakeText(key, text))
        refuse(refused);
}

uint32_t CVirtualDrive::TakeText(uint32_t key, const QByteArray& text)
{
    if (key == kDeviceLabel) {
        m_label = text;
        return 0;
    }
    auto it = m_objects.find(key);
    if (it == m_objects.end())
        return kAbortNoObject;
    it->bytes = text;
    return 0;
}

namespace {

// CRC-16-CCITT (polynomial 0x1021, initial 0), as CiA 301 has it for block transfers.
uint16_t BlockCrc(const QByteArray& data)
{
    uint16_t crc = 0;
    for (const char c : data) {
        crc ^= uint16_t(uint8_t(c)) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

QByteArray Frame(const uint8_t* bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes), 8);
}

} // namespace

bool CVirtualDrive::HandleBlock(const uint8_t request[8], QList<QByteArray>& replies)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint8_t command = request[0];
    if (!m_canOpen || (command & 0xE0) != 0xA0)
        return false;
    ++m_requests;
    uint8_t reply[8] = {};
    const uint32_t key = SdoFrame::KeyOf(request);
    BlockUpload& b = m_block;
    const auto sendBlock = [&] {
        b.sentInBlock = 0;
        for (int seq = 1; seq <= b.blockSize; ++seq) {
            const int at = b.position + (seq - 1) * SdoFrame::kSegmentBytes;
            const int n = std::min(SdoFrame::kSegmentBytes, int(b.data.size()) - at);
            std::memset(reply, 0, 8);
            const bool last = at + n >= b.data.size();
            reply[0] = uint8_t(seq | (last ? 0x80 : 0));
            if (n > 0)
                std::memcpy(reply + 1, b.data.constData() + at, size_t(n));
            replies.append(Frame(reply));
            b.sentInBlock = seq;
            if (last)
                break;
        }
    };
    switch (command & 0x03) {
    case 0x00: { // initiate
        const auto it = m_objects.constFind(key);
        const bool known = key == kRecord || key == kDeviceLabel || it != m_objects.constEnd();
        if (!m_blocks || !known || (key != kRecord && key != kDeviceLabel && it->numeric)) {
            Abort(request, reply, known ? kAbortCommand : kAbortNoObject);
            replies.append(Frame(reply));
            return true;
        }
        b = BlockUpload();
        b.active = true;
        b.key = key;
        b.data = key == kRecord ? m_record : key == kDeviceLabel ? m_label : it->bytes;
        b.blockSize = std::clamp(int(request[4]), 1, 127);
        Confirm(key, reply, 0xC6); // CRC supported, size indicated
        LittleEndian::Write32(reply + 4, uint32_t(b.data.size()));
        replies.append(Frame(reply));
        return true;
    }
    case 0x03: // start
        if (b.active)
            sendBlock();
        return true;
    case 0x02: { // acknowledge: the segments the client took, the next block's size
        if (!b.active)
            break;
        const int taken = std::min(int(request[1]), b.sentInBlock);
        b.position = std::min(int(b.data.size()), b.position + taken * SdoFrame::kSegmentBytes);
        b.blockSize = std::clamp(int(request[2]), 1, 127);
        if (b.position < b.data.size()) {
            sendBlock();
            return true;
        }
        // All taken: the end, with the unused bytes of the last segment and the CRC.
        const int rest = int(b.data.size()) % SdoFrame::kSegmentBytes;
        const int unused = b.data.isEmpty() ? SdoFrame::kSegmentBytes
                           : rest == 0      ? 0
                                            : SdoFrame::kSegmentBytes - rest;
        std::memset(reply, 0, 8);
        reply[0] = uint8_t(0xC1 | (unused << 2));
        const uint16_t crc = BlockCrc(b.data);
        reply[1] = uint8_t(crc);
        reply[2] = uint8_t(crc >> 8);
        replies.append(Frame(reply));
        return true;
    }
    case 0x01: // end: the client is done
        b = BlockUpload();
        return true;
    }
    Abort(request, reply, kAbortCommand);
    replies.append(Frame(reply));
    return true;
}
