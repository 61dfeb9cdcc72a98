// The parts of the control link that depend on the connection's profile: how a reply is read,
// the whole-value write that a CANopen device takes by segments, and the bus services (reads of
// other nodes, NMT commands).
#include "CtrlLink.h"
#include "LittleEndian.h"
#include "MessageLayer.h"

#include <algorithm>

namespace {

// A node counts as lost when its heartbeat is this many periods late, and never sooner than
// kMinLostMs (a bus under load delays a beat or two).
constexpr int64_t kLostPeriods = 3;
constexpr int64_t kMinLostMs = 300;
// A node heard only once: its period is not known yet.
constexpr int64_t kUnknownPeriodLostMs = 1000;
constexpr uint8_t kBootUpState = 0x00;

// A text longer than this is no object value; it is refused before anything goes out.
constexpr int kMaxDownloadBytes = 1 << 20;

} // namespace

void CCtrlLink::SetProfile(LinkProfile profile)
{
    m_channel.SetProfile(profile);
}

void CCtrlLink::SetObjectWidths(std::function<int(uint32_t key)> widthOf)
{
    std::lock_guard<std::mutex> lock(m_widthMutex);
    m_widthOf = std::move(widthOf);
}

SdoFrame::DecodeState CCtrlLink::DecodeReply(uint8_t command, const SdoFrame::Sdo& reply,
                                             uint32_t key, uint32_t& value)
{
    if (m_channel.profile() != LinkProfile::CanOpen || m_channel.mode() != CCommPort::ModeCan)
        return SdoFrame::Decode(command, reply.data(), value);
    int width = 0;
    {
        std::lock_guard<std::mutex> lock(m_widthMutex);
        if (m_widthOf)
            width = m_widthOf(key);
    }
    return SdoFrame::DecodeCanOpen(command, reply.data(), value, width);
}

// Bytes of an expedited read reply (an object short enough to need no segments); 0 for any
// other reply. The drive's replies name their width by command; a CANopen device's by its size
// bits, or not at all (0x42: the object's width).
int CCtrlLink::ExpeditedUploadLength(uint8_t replyCommand, uint32_t key)
{
    if (m_channel.profile() == LinkProfile::CanOpen && m_channel.mode() == CCommPort::ModeCan) {
        if (replyCommand == SdoFrame::kReadReplyUnsized) {
            std::lock_guard<std::mutex> lock(m_widthMutex);
            const int width = m_widthOf ? m_widthOf(key) : 0;
            return width >= 1 && width <= 4 ? width : 4;
        }
        return (replyCommand & 0xE0) == 0x40 ? SdoFrame::ExpeditedBytes(replyCommand) : 0;
    }
    switch (replyCommand) {
    case SdoFrame::kReadReply1:
        return 1;
    case SdoFrame::kReadReply2:
        return 2;
    case SdoFrame::kReadReply4:
    case SdoFrame::kReadReplyUnsized:
        return 4;
    default:
        return 0;
    }
}

int CCtrlLink::RequestDownload(HWND hwnd, uint32_t key, const QByteArray& bytes)
{
    if (bytes.size() > kMaxDownloadBytes)
        return kRequestInvalid;
    SdoRequest request{hwnd, key, 0, SdoFrame::kDownloadStart, SdoRequest::Download};
    request.bytes = std::make_shared<const QByteArray>(bytes);
    return Enqueue(request);
}

// Up to four bytes go in one expedited write; more announce their length and follow seven to a
// segment, each confirmed with its toggle bit before the next goes out. Every frame goes out
// once: a segment sent twice would be taken twice.
bool CCtrlLink::RunDownload(const SdoRequest& request)
{
    const QByteArray& bytes = *request.bytes;
    const uint32_t key = request.key;
    SdoWriteResult result;
    result.total = 1;
    result.key = key;
    const auto refused = [&](const CSdoChannel::Outcome& outcome) {
        result.refused = true;
        result.abortCode =
            outcome.writeRefused ? outcome.writeAbortCode : SdoFrame::DataOf(outcome.reply.data());
        return DeliverWrites(request, result);
    };
    const int size = int(bytes.size());
    if (size >= 1 && size <= 4) {
        uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = (value << 8) | uint8_t(bytes[i]);
        const CSdoChannel::Outcome outcome =
            m_channel.Transfer(key, SdoFrame::ExpeditedWrite(size), value);
        if (outcome.result != CSdoChannel::Ok)
            return DeliverFailure(request.hwnd, key, outcome.result);
        if (outcome.writeRefused)
            return refused(outcome);
        if (outcome.writeUnconfirmed) {
            result.failure = kSdoUnconfirmed;
            return DeliverWrites(request, result);
        }
        result.confirmed = 1;
        return DeliverWrites(request, result);
    }
    CSdoChannel::Outcome outcome =
        m_channel.TransferOnce(SdoFrame::BuildSdo(SdoFrame::kDownloadStart, key, uint32_t(size)));
    if (outcome.result != CSdoChannel::Ok)
        return DeliverFailure(request.hwnd, key, outcome.result);
    if (outcome.reply[0] == SdoFrame::kAbort)
        return refused(outcome);
    if (outcome.reply[0] != SdoFrame::kWriteReply)
        return Deliver(request.hwnd, WM_SDO_FAILED, kSdoBadReply, key);
    uint8_t toggle = 0;
    int position = 0;
    do {
        if (Stopping())
            return false;
        if (!CMessageLayer::Instance().IsWindow(request.hwnd))
            return true;
        const int n = std::min(SdoFrame::kSegmentBytes, size - position);
        const bool last = position + n >= size;
        outcome = m_channel.TransferOnce(SdoFrame::BuildDownloadSegment(
            toggle, reinterpret_cast<const uint8_t*>(bytes.constData()) + position, n, last));
        if (outcome.result != CSdoChannel::Ok)
            return DeliverFailure(request.hwnd, key, outcome.result);
        if (outcome.reply[0] == SdoFrame::kAbort)
            return refused(outcome);
        position += n;
        toggle ^= SdoFrame::kToggleBit;
    } while (position < size);
    result.confirmed = 1;
    return DeliverWrites(request, result);
}

int CCtrlLink::RequestProbe(HWND hwnd, uint32_t node, uint32_t key)
{
    if (node < kMinDriverId || node > kMaxDriverId)
        return kRequestInvalid;
    return Enqueue(SdoRequest{hwnd, key, node, SdoFrame::kRead, SdoRequest::Probe});
}

int CCtrlLink::RequestNmt(HWND hwnd, uint8_t command, uint32_t node)
{
    if (node > kMaxDriverId)
        return kRequestInvalid;
    return Enqueue(SdoRequest{hwnd, kNmtTag + node, node, command, SdoRequest::Nmt});
}

// A node that does not answer is simply not there: the scan goes on and the connection stays.
bool CCtrlLink::RunProbe(const SdoRequest& request)
{
    const CSdoChannel::Outcome outcome = m_channel.Probe(request.value, request.key);
    if (outcome.result == CSdoChannel::NotAnswered)
        return Deliver(request.hwnd, WM_SDO_FAILED, kSdoNoAnswer, request.key);
    if (outcome.result != CSdoChannel::Ok)
        return DeliverFailure(request.hwnd, request.key, outcome.result);
    uint32_t value = 0;
    const SdoFrame::DecodeState state =
        DecodeReply(SdoFrame::kRead, outcome.reply, request.key, value);
    if (state == SdoFrame::StateAbort)
        return Deliver(request.hwnd, WM_SDO_ABORT, value, request.key);
    if (state != SdoFrame::StateValue)
        return Deliver(request.hwnd, WM_SDO_FAILED, kSdoBadReply, request.key);
    return Deliver(request.hwnd, WM_SDO_VALUE, value, request.key);
}

bool CCtrlLink::RunNmt(const SdoRequest& request)
{
    const uint8_t frame[2] = {request.command, uint8_t(request.value)};
    const int result = m_channel.SendFrame(kNmtBaseId, frame, 2);
    if (result != CSdoChannel::Ok)
        return Deliver(request.hwnd, WM_SDO_FAILED, kSdoNotSent, request.key);
    return Deliver(request.hwnd, WM_SDO_VALUE, request.command, request.key);
}

void CCtrlLink::WatchBus()
{
    const HWND window = m_busWindow.load();
    if (window == kNoWindow)
        return;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point now = Clock::now();
    const auto post = [window](BusEvent kind, uint32_t node, uint32_t data) {
        CMessageLayer::Instance().Post(window, WM_BUS_EVENT, data, uint32_t(kind) << 8 | node);
    };
    SdoFrame::Can frame{};
    while (m_channel.TakeBusFrame(frame)) {
        const uint32_t id = LittleEndian::Read32(frame.data());
        const uint8_t* data = frame.data() + SdoFrame::kCanSdoOffset;
        if (id > kHeartbeatBaseId) {
            const uint32_t node = id - kHeartbeatBaseId;
            Heartbeat& beat = m_heartbeats[node];
            // Beats taken together in one look tell nothing of the period.
            const int64_t sinceMs =
                std::chrono::duration_cast<std::chrono::milliseconds>(now - beat.last).count();
            if (beat.last != Clock::time_point{} && sinceMs > 0)
                beat.periodMs = sinceMs;
            beat.last = now;
            // Only news is reported: a node heard again, or in another state.
            if (beat.state != data[0] || beat.lost)
                post(kBusHeartbeat, node, data[0]);
            beat.state = data[0];
            beat.lost = false;
        } else if (frame[5] >= 3) {
            post(kBusEmergency, id - kEmcyBaseId,
                 uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                     uint32_t(frame[5] > 3 ? data[3] : 0) << 24);
        }
    }
    for (auto& [node, beat] : m_heartbeats) {
        // A boot-up message alone promises no heartbeat.
        if (beat.lost || (beat.periodMs == 0 && beat.state == kBootUpState))
            continue;
        const int64_t silentMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - beat.last).count();
        const int64_t limitMs =
            beat.periodMs == 0 ? kUnknownPeriodLostMs : kLostPeriods * beat.periodMs;
        if (silentMs > std::max(limitMs, kMinLostMs)) {
            beat.lost = true;
            post(kBusNodeLost, node, uint32_t(silentMs));
        }
    }
}

bool CCtrlLink::RunBlockUpload(const SdoRequest& request, bool& goOn)
{
    if (m_channel.profile() != LinkProfile::CanOpen || m_channel.mode() != CCommPort::ModeCan)
        return false;
    QByteArray bytes;
    const CSdoChannel::BlockOutcome outcome = m_channel.BlockUpload(request.key, bytes);
    if (outcome.result == CSdoChannel::Ok && !outcome.offered)
        return false;
    if (outcome.result != CSdoChannel::Ok)
        goOn = DeliverFailure(request.hwnd, request.key, outcome.result);
    else if (outcome.abortCode != 0)
        goOn = Deliver(request.hwnd, WM_SDO_ABORT, outcome.abortCode, request.key);
    else if (!outcome.complete)
        goOn = Deliver(request.hwnd, WM_SDO_FAILED, kSdoLengthMismatch, request.key);
    else
        goOn = DeliverUpload(request, bytes);
    return true;
}
