#include "SdoChannel.h"

namespace {

// A serial exchange gives up after the fourth bad reply or refused send; a CAN exchange after
// the third refused send (and, like the serial line, after the fourth missing reply).
constexpr uint8_t kSerialBadReplyLimit = 4;
constexpr uint8_t kSerialSendLimit = 4;
constexpr uint8_t kCanBadReplyLimit = 4;
constexpr uint8_t kCanSendLimit = 3;

// Offset of the command byte inside the two frames.
constexpr int kSerialCommandOffset = 1;
constexpr int kCanCommandOffset = 6;

bool IsWrite(uint8_t command)
{
    return (command & 0xE0) == 0x20;
}

} // namespace

CSdoChannel::CSdoChannel(CLinkFlags& flags, const QString& dataDir)
    : m_flags(flags), m_port(dataDir)
{
}

int CSdoChannel::SetMode(int mode)
{
    m_mode = mode;
    return m_port.Load(mode);
}

int CSdoChannel::Transfer(uint32_t key, uint8_t command, uint32_t value)
{
    m_readBack = false;
    int result = TransferOnce(key, command, value);
    // A drive that refuses a write is asked for the value it holds instead, so that the window
    // shows what the drive really has.
    if (result == Ok && IsWrite(command) && replyData()[0] == SdoFrame::kAbort) {
        m_readBack = true;
        result = TransferOnce(key, SdoFrame::kRead, value);
    }
    return result;
}

// Without a transport mode (never chosen, or not serial/CAN) nothing can be sent: that counts as
// "no port", which the link reports as a failed connection.
int CSdoChannel::TransferOnce(uint32_t key, uint8_t command, uint32_t value)
{
    if (m_mode == CCommPort::ModeSerial)
        return TransferSerial(key, command, value);
    if (m_mode == CCommPort::ModeCan)
        return TransferCan(key, command, value);
    return NoPort;
}

int CSdoChannel::TransferSerial(uint32_t key, uint8_t command, uint32_t value)
{
    m_serialRequest = SdoFrame::BuildSerial(m_nodeId, command, key, value);
    m_badReplies = 0;
    m_failedSends = 0;
    // A refused send that is not retried must not leave the previous exchange's reply behind.
    m_serialReply.fill(0);
    for (;;) {
        if (m_port.Send(m_serialRequest.data(), static_cast<int>(m_serialRequest.size())) == 0) {
            m_serialReply.fill(0);
            int length = static_cast<int>(m_serialReply.size());
            m_port.Receive(m_serialReply.data(), &length);
            // A short reply means the reply timeout ran out; its zero padding would pass the
            // checksum, so it is a bad reply like a corrupted one.
            if (length >= static_cast<int>(m_serialReply.size()) &&
                SdoFrame::ChecksumHolds(m_serialReply))
                return Ok;
            if (++m_badReplies >= kSerialBadReplyLimit)
                return TooManyBadReplies;
        } else {
            if (m_flags.retryOnSendFailure.load() == 0)
                return Ok;
            if (++m_failedSends >= kSerialSendLimit)
                return TooManyFailedSends;
        }
    }
}

int CSdoChannel::TransferCan(uint32_t key, uint8_t command, uint32_t value)
{
    m_canRequest = SdoFrame::BuildCan(m_nodeId, command, key, value);
    m_badReplies = 0;
    m_failedSends = 0;
    m_canReply.fill(0);
    for (;;) {
        if (m_port.Send(m_canRequest.data(), static_cast<int>(m_canRequest.size())) == 0) {
            m_canReply.fill(0);
            int length = static_cast<int>(m_canReply.size());
            // The reply's contents are not verified, but a drive that stays silent must still
            // end in a failed connection rather than in a zero reply.
            if (m_port.Receive(m_canReply.data(), &length) == 0)
                return Ok;
            if (++m_badReplies >= kCanBadReplyLimit)
                return TooManyBadReplies;
        } else {
            if (m_flags.retryOnSendFailure.load() == 0)
                return Ok;
            if (++m_failedSends >= kCanSendLimit)
                return TooManyFailedSends;
        }
    }
}

const uint8_t* CSdoChannel::replyData() const
{
    if (m_mode == CCommPort::ModeCan)
        return m_canReply.data() + kCanCommandOffset;
    return m_serialReply.data() + kSerialCommandOffset;
}

SdoFrame::DecodeState CSdoChannel::DecodeReply(uint8_t requestCommand)
{
    // After a refused write the reply answers the read-back, so it is decoded as a read.
    const uint8_t command = m_readBack ? SdoFrame::kRead : requestCommand;
    const SdoFrame::DecodeState state = SdoFrame::Decode(command, replyData(), m_decodedValue);
    m_decodeState = state;
    return state;
}
