#include "SdoChannel.h"

#include "AbortCodes.h"
#include "LittleEndian.h"

#include <algorithm>
#include <chrono>

namespace {

// A transfer gives up after the fourth reply that did not come (or came damaged), counted over
// a write and its read-back together, so that a silent drive fails the connection within four
// reply timeouts. Refused sends: four on the serial line, three on CAN.
constexpr int kMissingReplyLimit = 4;
constexpr int kSerialSendLimit = 4;
constexpr int kCanSendLimit = 3;

using Clock = std::chrono::steady_clock;

} // namespace

CSdoChannel::CSdoChannel(CLinkFlags& flags, const QString& dataDir)
    : m_flags(flags), m_port(dataDir)
{
}

void CSdoChannel::Interrupt()
{
    // Counted first: an exchange that has not begun to wait yet sees the change instead of the
    // cancel, which its send forgets.
    ++m_generation;
    m_port.CancelReceive();
}

int CSdoChannel::SetMode(int mode, QString& error)
{
    std::lock_guard<std::mutex> connection(m_connectionMutex);
    Interrupt();
    std::lock_guard<std::mutex> lock(m_portMutex);
    m_mode = mode;
    return m_port.Load(mode, &error);
}

void CSdoChannel::SetNodeId(uint32_t id)
{
    std::lock_guard<std::mutex> connection(m_connectionMutex);
    Interrupt();
    std::lock_guard<std::mutex> lock(m_portMutex);
    m_nodeId = id;
}

int CSdoChannel::Open(const uint32_t* settings, QString& error, const QString& portName)
{
    std::lock_guard<std::mutex> connection(m_connectionMutex);
    Interrupt();
    std::lock_guard<std::mutex> lock(m_portMutex);
    m_closeAsked = false;
    return m_port.Open(settings, &error, portName);
}

void CSdoChannel::Close()
{
    std::lock_guard<std::mutex> connection(m_connectionMutex);
    m_closeAsked = true;
    Interrupt();
    std::lock_guard<std::mutex> lock(m_portMutex);
    CloseIfAsked();
}

void CSdoChannel::CloseIfAsked()
{
    if (m_closeAsked.exchange(false))
        m_port.Close();
}

// The library calls below do not touch the exchange's state, so they need not wait for it.
int CSdoChannel::GetVersion(char* buffer256)
{
    std::lock_guard<std::mutex> connection(m_connectionMutex);
    return m_port.GetVersion(buffer256);
}

void CSdoChannel::SetCanDevice(const QString& plugin, const QString& interfaceName)
{
    std::lock_guard<std::mutex> connection(m_connectionMutex);
    Interrupt();
    std::lock_guard<std::mutex> lock(m_portMutex);
    m_port.SetCanDevice(plugin, interfaceName);
}

void CSdoChannel::SetDeviceFolder(const QString& folder)
{
    std::lock_guard<std::mutex> connection(m_connectionMutex);
    m_port.SetDeviceFolder(folder);
}

QString CSdoChannel::LastError()
{
    std::lock_guard<std::mutex> connection(m_connectionMutex);
    return m_port.LastError();
}

int CSdoChannel::mode()
{
    std::lock_guard<std::mutex> lock(m_portMutex);
    return m_mode;
}

uint32_t CSdoChannel::nodeId()
{
    std::lock_guard<std::mutex> lock(m_portMutex);
    return m_nodeId;
}

CSdoChannel::Outcome CSdoChannel::Transfer(uint32_t key, uint8_t command, uint32_t value)
{
    const uint32_t generation = m_generation.load();
    Outcome out;
    // Without a transport mode (never chosen, or not serial/CAN) nothing can be sent: that
    // counts as "no port", which the link reports as a failed connection.
    const int current = mode();
    if (current != CCommPort::ModeSerial && current != CCommPort::ModeCan) {
        out.result = NoPort;
        return out;
    }
    int missing = 0;
    if (!SdoFrame::IsWrite(command)) {
        out.result = Repeat(generation, command, key, value, missing, out.reply);
        out.answeredCommand = command;
        return out;
    }

    // A write goes out once: store, initialise and restart commands and relative moves must
    // not run twice. Only a frame the port refused (so nothing went out) is sent again.
    const int sendLimit = current == CCommPort::ModeCan ? kCanSendLimit : kSerialSendLimit;
    int failedSends = 0;
    for (;;) {
        const Attempt attempt = Exchange(generation, command, key, value, out.reply);
        if (attempt == Attempt::Answered) {
            // A CANopen device confirms a write without the value it took (it may have
            // clamped or ignored it): what it holds is read back, as after a lost
            // confirmation, but without calling the write unconfirmed.
            const bool readBack = profile() == LinkProfile::CanOpen && (command & 0x02) != 0 &&
                                  current == CCommPort::ModeCan;
            if (out.reply[0] != SdoFrame::kAbort && !readBack) {
                out.answeredCommand = command;
                return out;
            }
            if (out.reply[0] != SdoFrame::kAbort)
                break;
            out.writeRefused = true;
            out.writeAbortCode = SdoFrame::DataOf(out.reply.data());
            break;
        }
        if (attempt == Attempt::Interrupted) {
            out.result = Interrupted;
            return out;
        }
        if (attempt == Attempt::NoAnswer) {
            ++missing;
            out.writeUnconfirmed = true;
            break;
        }
        if (m_flags.retryOnSendFailure.load() == 0) {
            out.result = NotSent;
            return out;
        }
        if (++failedSends >= sendLimit) {
            out.result = TooManyFailedSends;
            return out;
        }
    }
    // What the drive holds now is the truth the window shows, whether it refused the write or
    // its confirmation was lost.
    out.result = Repeat(generation, SdoFrame::kRead, key, 0, missing, out.reply);
    out.answeredCommand = SdoFrame::kRead;
    // A confirmed write of an object that cannot be read (write-only): the device took it, so
    // the value written stands, as the drive's own confirmation would give it.
    if (out.result == Ok && !out.writeRefused && !out.writeUnconfirmed &&
        out.reply[0] == SdoFrame::kAbort) {
        out.reply = SdoFrame::BuildSdo(SdoFrame::kWriteReply, key, value);
        out.answeredCommand = command;
    }
    return out;
}

int CSdoChannel::Repeat(uint32_t generation, uint8_t command, uint32_t key, uint32_t value,
                        int& missing, SdoFrame::Sdo& reply)
{
    const int sendLimit = mode() == CCommPort::ModeCan ? kCanSendLimit : kSerialSendLimit;
    int failedSends = 0;
    for (;;) {
        switch (Exchange(generation, command, key, value, reply)) {
        case Attempt::Answered:
            return Ok;
        case Attempt::Interrupted:
            return Interrupted;
        case Attempt::NoAnswer:
            if (++missing >= kMissingReplyLimit)
                return TooManyBadReplies;
            break;
        case Attempt::SendRefused:
            if (m_flags.retryOnSendFailure.load() == 0)
                return NotSent;
            if (++failedSends >= sendLimit)
                return TooManyFailedSends;
            break;
        }
    }
}

CSdoChannel::Outcome CSdoChannel::TransferOnce(const SdoFrame::Sdo& request)
{
    const uint32_t generation = m_generation.load();
    Outcome out;
    const int current = mode();
    if (current != CCommPort::ModeSerial && current != CCommPort::ModeCan) {
        out.result = NoPort;
        return out;
    }
    const int sendLimit = current == CCommPort::ModeCan ? kCanSendLimit : kSerialSendLimit;
    int failedSends = 0;
    for (;;) {
        switch (Exchange(generation, request, out.reply)) {
        case Attempt::Answered:
            out.answeredCommand = request[0];
            return out;
        case Attempt::Interrupted:
            out.result = Interrupted;
            return out;
        case Attempt::NoAnswer:
            out.result = TooManyBadReplies;
            return out;
        case Attempt::SendRefused:
            if (m_flags.retryOnSendFailure.load() == 0 || ++failedSends >= sendLimit) {
                out.result = m_flags.retryOnSendFailure.load() == 0 ? NotSent : TooManyFailedSends;
                return out;
            }
            break;
        }
    }
}

CSdoChannel::Attempt CSdoChannel::Exchange(uint32_t generation, uint8_t command, uint32_t key,
                                           uint32_t value, SdoFrame::Sdo& reply)
{
    return Exchange(generation, SdoFrame::BuildSdo(command, key, value), reply);
}

CSdoChannel::Outcome CSdoChannel::Probe(uint32_t nodeId, uint32_t key)
{
    const uint32_t generation = m_generation.load();
    Outcome out;
    if (mode() != CCommPort::ModeCan) {
        out.result = NoPort;
        return out;
    }
    switch (Exchange(generation, SdoFrame::BuildSdo(SdoFrame::kRead, key, 0), out.reply, nodeId)) {
    case Attempt::Answered:
        out.answeredCommand = SdoFrame::kRead;
        break;
    case Attempt::Interrupted:
        out.result = Interrupted;
        break;
    case Attempt::NoAnswer:
        out.result = NotAnswered;
        break;
    case Attempt::SendRefused:
        out.result = NotSent;
        break;
    }
    return out;
}

namespace {

// Segments per block: the CAN library keeps 64 replies, so a block never overruns it.
constexpr uint8_t kBlockSegments = 32;
constexpr uint8_t kBlockInitiate = 0xA4; // client: upload, CRC supported
constexpr uint8_t kBlockStart = 0xA3;
constexpr uint8_t kBlockAck = 0xA2;
constexpr uint8_t kBlockEnd = 0xA1;
constexpr uint32_t kAbortCrc = 0x05040004;

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

} // namespace

CSdoChannel::BlockOutcome CSdoChannel::BlockUpload(uint32_t key, QByteArray& out)
{
    const uint32_t generation = m_generation.load();
    BlockOutcome outcome;
    out.clear();
    std::lock_guard<std::mutex> lock(m_portMutex);
    if (m_mode != CCommPort::ModeCan) {
        outcome.result = NoPort;
        return outcome;
    }
    const auto send = [&](const SdoFrame::Sdo& sdo) {
        const SdoFrame::Can frame = SdoFrame::BuildCan(m_nodeId, sdo);
        return m_port.Send(frame.data(), int(frame.size())) == 0;
    };
    // The next frame from the device, its eight SDO bytes; false on timeout or a change.
    const auto receive = [&](SdoFrame::Sdo& sdo) {
        SdoFrame::Can frame{};
        int length = int(frame.size());
        if (m_port.Receive(frame.data(), &length) != 0 || generation != m_generation.load() ||
            frame[5] != 8)
            return false;
        std::copy(frame.begin() + SdoFrame::kCanSdoOffset, frame.end() - 2, sdo.begin());
        return true;
    };
    const auto fail = [&](int result) {
        outcome.result = generation != m_generation.load() ? Interrupted : result;
        CloseIfAsked();
        return outcome;
    };
    SdoFrame::Sdo initiate = SdoFrame::BuildSdo(kBlockInitiate, key, 0);
    initiate[4] = kBlockSegments;
    SdoFrame::Sdo reply{};
    if (!send(initiate))
        return fail(NotSent);
    if (!receive(reply))
        return fail(TooManyBadReplies);
    if (reply[0] == SdoFrame::kAbort) {
        const uint32_t code = SdoFrame::DataOf(reply.data());
        outcome.offered = code != AbortCode::kCommand;
        outcome.abortCode = outcome.offered ? code : 0;
        return outcome;
    }
    if ((reply[0] & 0xE3) != 0xC2) // upload initiated, size indicated
        return fail(TooManyBadReplies);
    const uint32_t announced = SdoFrame::DataOf(reply.data());
    if (!send(SdoFrame::Sdo{kBlockStart}))
        return fail(NotSent);
    bool last = false;
    while (!last) {
        uint8_t expected = 1;
        SdoFrame::Sdo segment{};
        while (!last && expected <= kBlockSegments) {
            if (!receive(segment))
                return fail(TooManyBadReplies);
            // A segment out of sequence is dropped; the acknowledgement asks again from there.
            if ((segment[0] & 0x7F) != expected)
                continue;
            out.append(reinterpret_cast<const char*>(segment.data()) + 1, 7);
            last = (segment[0] & 0x80) != 0;
            ++expected;
        }
        if (!send(SdoFrame::Sdo{kBlockAck, uint8_t(expected - 1), kBlockSegments}))
            return fail(NotSent);
    }
    if (!receive(reply) || (reply[0] & 0xE3) != 0xC1)
        return fail(TooManyBadReplies);
    out.chop((reply[0] >> 2) & 7);
    const uint16_t crc = uint16_t(reply[1] | reply[2] << 8);
    outcome.complete = uint32_t(out.size()) == announced && crc == BlockCrc(out);
    SdoFrame::Sdo end{kBlockEnd};
    if (!outcome.complete)
        end = SdoFrame::BuildSdo(SdoFrame::kAbort, key, kAbortCrc);
    send(end);
    CloseIfAsked();
    return outcome;
}

bool CSdoChannel::TakeBusFrame(SdoFrame::Can& frame)
{
    std::lock_guard<std::mutex> lock(m_portMutex);
    return m_port.TakeBusFrame(frame.data());
}

int CSdoChannel::SendFrame(uint32_t id, const uint8_t* data, int length)
{
    std::lock_guard<std::mutex> lock(m_portMutex);
    if (m_mode != CCommPort::ModeCan)
        return NoPort;
    SdoFrame::Can frame{};
    LittleEndian::Write32(frame.data(), id);
    frame[5] = uint8_t(std::min(length, 8));
    std::copy(data, data + frame[5], frame.begin() + SdoFrame::kCanSdoOffset);
    const int sent = m_port.Send(frame.data(), int(frame.size()));
    CloseIfAsked();
    return sent == 0 ? Ok : NotSent;
}

CSdoChannel::Attempt CSdoChannel::Exchange(uint32_t generation, const SdoFrame::Sdo& request,
                                           SdoFrame::Sdo& reply, uint32_t nodeId)
{
    std::lock_guard<std::mutex> lock(m_portMutex);
    if (nodeId == 0)
        nodeId = m_nodeId;
    if (generation != m_generation.load()) {
        CloseIfAsked();
        return Attempt::Interrupted;
    }
    int sent;
    if (m_mode == CCommPort::ModeCan) {
        const SdoFrame::Can frame = SdoFrame::BuildCan(nodeId, request);
        sent = m_port.Send(frame.data(), int(frame.size()));
    } else {
        const SdoFrame::Serial frame = SdoFrame::BuildSerial(nodeId, request);
        sent = m_port.Send(frame.data(), int(frame.size()));
    }
    Attempt attempt = Attempt::SendRefused;
    if (sent == 0) {
        // A change that came while the frame went out may have cancelled before the send
        // forgot it: the frame is out, but its reply is no longer awaited.
        attempt = generation != m_generation.load() ? Attempt::Interrupted
                                                    : AwaitReply(generation, request.data(), reply);
    }
    CloseIfAsked();
    return attempt;
}

CSdoChannel::Attempt CSdoChannel::AwaitReply(uint32_t generation, const uint8_t* request8,
                                             SdoFrame::Sdo& reply)
{
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(m_port.replyTimeoutMs());
    const bool can = m_mode == CCommPort::ModeCan;
    const int offset = can ? SdoFrame::kCanSdoOffset : SdoFrame::kSerialSdoOffset;
    for (;;) {
        SdoFrame::Can frame{}; // large enough for either
        int length = can ? int(sizeof(SdoFrame::Can)) : int(sizeof(SdoFrame::Serial));
        const int received = m_port.Receive(frame.data(), &length);
        // A connection change cancels the wait; nothing received then is no lost reply.
        if (generation != m_generation.load())
            return Attempt::Interrupted;
        if (can ? received != 0 : length < int(sizeof(SdoFrame::Serial)))
            return Attempt::NoAnswer; // the reply timeout ran out
        // A CAN reply always carries eight data bytes; fewer is a damaged frame.
        if (can && frame[5] != 8)
            return Attempt::NoAnswer;
        if (!can) {
            SdoFrame::Serial serial{};
            std::copy(frame.begin(), frame.begin() + serial.size(), serial.begin());
            // Damaged on the wire: asking again is quicker than waiting for a reply that will
            // not come. (Input is discarded before the next send, which realigns the frames.)
            if (!SdoFrame::ChecksumHolds(serial))
                return Attempt::NoAnswer;
        }
        const uint8_t* sdo = frame.data() + offset;
        if (SdoFrame::Answers(request8, sdo)) {
            std::copy(sdo, sdo + reply.size(), reply.begin());
            return Attempt::Answered;
        }
        // A late answer to an earlier request, another object's, or our own frame echoed.
        ++m_staleReplies;
        if (Clock::now() >= deadline)
            return Attempt::NoAnswer;
    }
}
