#include "CtrlLink.h"

#include "MessageLayer.h"
#include "base/Report.h"

#include <chrono>
#include <cstring>
#include <new>
#include <system_error>

namespace {

// Bounds that keep a runaway window from growing the link without end: polled items (a
// page's items leave with the page) and requests waiting behind the slot.
constexpr size_t kMaxLoopItems = 4096;
constexpr size_t kMaxQueuedRequests = 4096;
// A batch as long as a whole configuration written back; more is a runaway caller.
constexpr size_t kMaxBatchWrites = 65536;
// The most an upload may announce: the largest object a drive holds is its recorder's record
// of a few kilobytes; a larger length is a damaged reply, not a reason to hold the line.
constexpr uint32_t kMaxUploadBytes = 1u << 20;

constexpr int kNotConnectedWaitMs = 50;
constexpr int kLastQueuedPauseMs = 5;
constexpr int kPollingStepWaitMs = 10;
constexpr int kPollingOffWaitMs = 10;
constexpr int kAfterPassWaitMs = 30;

} // namespace

CCtrlLink::CCtrlLink(CLinkFlags& flags, const QString& dataDir)
    : m_flags(flags), m_channel(flags, dataDir)
{
    try {
        m_worker = std::thread(&CCtrlLink::Run, this);
    } catch (const std::system_error&) {
        ReportMessage(QStringLiteral("Control link, create thread fail!!\n"));
    }
}

CCtrlLink::~CCtrlLink()
{
    m_flags.stopThreads.store(1);
    Wake();
    if (m_worker.joinable())
        m_worker.join();
}

int CCtrlLink::Request(HWND hwnd, uint8_t command, uint32_t key, uint32_t value)
{
    return Enqueue(SdoRequest{hwnd, key, value, command, SdoRequest::Exchange});
}

int CCtrlLink::RequestUpload(HWND hwnd, uint32_t key, bool progress)
{
    return Enqueue(SdoRequest{hwnd, key, 0, SdoFrame::kRead,
                              progress ? SdoRequest::UploadWithProgress : SdoRequest::Upload});
}

bool CCtrlLink::TakeUpload(HWND hwnd, uint32_t key, QByteArray& bytes)
{
    return TakeHandedOver(m_finishedUploads, hwnd, key, bytes);
}

int CCtrlLink::RequestWrites(HWND hwnd, std::vector<SdoWrite> writes, uint32_t tag)
{
    if (writes.size() > kMaxBatchWrites)
        return kRequestInvalid;
    for (const SdoWrite& write : writes) {
        if (!SdoFrame::IsWrite(write.command))
            return kRequestInvalid;
    }
    SdoRequest request{hwnd, tag, 0, 0, SdoRequest::Writes};
    request.writes = std::make_shared<const std::vector<SdoWrite>>(std::move(writes));
    return Enqueue(request);
}

bool CCtrlLink::TakeWrites(HWND hwnd, uint32_t tag, SdoWriteResult& result)
{
    return TakeHandedOver(m_finishedWrites, hwnd, tag, result);
}

// A job's result waits in its box, under the lock, only while its message is handled: the window
// copies it out with the matching Take call, and nothing is left behind for a window that went.
template <class T>
bool CCtrlLink::HandOver(HandOverBox<T>& box, const SdoRequest& request, unsigned message,
                         uint32_t wParam, const T& result)
{
    const std::pair<HWND, uint32_t> id{request.hwnd, request.key};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        box[id] = result;
    }
    const bool goOn = Deliver(request.hwnd, message, wParam, request.key);
    std::lock_guard<std::mutex> lock(m_mutex);
    box.erase(id);
    return goOn;
}

template <class T>
bool CCtrlLink::TakeHandedOver(const HandOverBox<T>& box, HWND hwnd, uint32_t key, T& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = box.find({hwnd, key});
    if (it == box.end())
        return false;
    out = it->second;
    return true;
}

void CCtrlLink::SetIdleWindow(HWND hwnd)
{
    m_idleWindow.store(hwnd);
}

int CCtrlLink::Enqueue(const SdoRequest& request)
{
    const HWND hwnd = request.hwnd;
    if (m_flags.connected.load() != 1)
        return kRequestNotConnected;
    SdoRequest replaced;
    bool hasReplaced = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_flags.exclusiveMode.load() != 0) {
            const HWND owner = m_flags.exclusiveOwner.load();
            if (owner != kNoWindow && owner != hwnd)
                return kRequestNotOwner;
            // The owner's newest request replaces one that has not started yet.
            if (m_slotPending) {
                replaced = m_slot;
                hasReplaced = true;
            }
            m_slot = request;
            m_slotPending = true;
        } else {
            if (m_deferred.size() + m_backlog.size() >= kMaxQueuedRequests)
                return kRequestQueueFull;
            const HWND deferOwner = m_flags.deferOwner.load();
            if (deferOwner != kNoWindow && m_flags.othersReleased.load() == 0 &&
                hwnd != deferOwner) {
                m_deferred.push_back(request);
                return kRequestDeferred;
            }
            if (m_slotPending)
                m_backlog.push_back(m_slot);
            m_slot = request;
            m_slotPending = true;
        }
        m_wake = true;
    }
    m_wakeCondition.notify_one();
    // Posted, not sent: the caller may be that window, and no lock is held any more.
    if (hasReplaced)
        PostMessage(replaced.hwnd, WM_SDO_FAILED, kSdoReplaced, replaced.key);
    return kRequestQueued;
}

bool CCtrlLink::AddLoop(HWND hwnd, uint32_t key, uint8_t group)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const LoopItem* item = m_loopHead; item; item = item->next) {
            if (item->hwnd == hwnd && item->key == key)
                return false;
        }
        try {
            if (m_loopItems.size() < kMaxLoopItems) {
                LoopItem& added = m_loopItems.emplace_back();
                added.hwnd = hwnd;
                added.key = key;
                added.enabled = 1;
                added.group = group;
                if (m_loopTail)
                    m_loopTail->next = &added;
                else
                    m_loopHead = &added;
                m_loopTail = &added;
                return true;
            }
        } catch (const std::bad_alloc&) {
        }
    }
    // Reported outside the lock: a message sink may take its time.
    ReportMessage(QStringLiteral("Loop: No Free Memory!!\n"));
    return false;
}

bool CCtrlLink::EnableLoop(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_loopHead)
        return false;
    for (LoopItem* item = m_loopHead; item; item = item->next) {
        if (item->hwnd == hwnd)
            item->enabled = 1;
    }
    return true;
}

bool CCtrlLink::DisableLoop(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_loopHead)
        return false;
    for (LoopItem* item = m_loopHead; item; item = item->next) {
        if (item->hwnd == hwnd)
            item->enabled = 0;
    }
    return true;
}

bool CCtrlLink::RemoveLoop(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A group's walk goes on where it would have gone had the items stayed.
    for (LoopItem*& cursor : m_cursor) {
        while (cursor && cursor->hwnd == hwnd)
            cursor = cursor->next;
    }
    const size_t before = m_loopItems.size();
    m_loopItems.remove_if([hwnd](const LoopItem& item) { return item.hwnd == hwnd; });
    if (m_loopItems.size() == before)
        return false;
    RelinkLocked();
    return true;
}

void CCtrlLink::RelinkLocked()
{
    LoopItem* previous = nullptr;
    m_loopHead = nullptr;
    for (LoopItem& item : m_loopItems) {
        if (previous)
            previous->next = &item;
        else
            m_loopHead = &item;
        previous = &item;
    }
    if (previous)
        previous->next = nullptr;
    m_loopTail = previous;
}

bool CCtrlLink::FindLoop(HWND hwnd, uint32_t key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const LoopItem* item = m_loopHead; item; item = item->next) {
        if (item->hwnd == hwnd && item->key == key)
            return true;
    }
    return false;
}

int CCtrlLink::LoopCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_loopItems.size());
}

bool CCtrlLink::GetSegment(uint8_t* data7, int& length)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::memcpy(data7, m_segment, sizeof m_segment);
    length = m_segmentLength;
    return m_segmentLast;
}

bool CCtrlLink::IsDeferredQueueEmpty()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_deferred.empty();
}

bool CCtrlLink::HasPendingRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_slotPending || m_requestRunning || !m_backlog.empty() || !m_deferred.empty();
}

int CCtrlLink::SetMode(int mode)
{
    if (mode == CCommPort::ModeCan)
        m_flags.canChosen.store(1);
    QString error;
    const int result = m_channel.SetMode(mode, error);
    // Reported once the channel let go: a message box runs an event loop.
    if (!error.isEmpty())
        ReportMessage(error);
    return result;
}

void CCtrlLink::SetNodeId(uint32_t id)
{
    m_channel.SetNodeId(id);
}

int CCtrlLink::Open(const uint32_t* settings)
{
    return Open(settings, QString());
}

int CCtrlLink::Open(const OpenSettings& settings)
{
    return Open(settings.data(), settings.portName);
}

int CCtrlLink::Open(const uint32_t* settings, const QString& portName)
{
    QString error;
    const int result = m_channel.Open(settings, error, portName);
    if (!error.isEmpty())
        ReportMessage(error);
    Wake();
    return result;
}

void CCtrlLink::Close()
{
    m_channel.Close();
}

int CCtrlLink::GetCanVersion(char* buffer256)
{
    return m_channel.GetVersion(buffer256);
}

void CCtrlLink::SetCanDevice(const QString& plugin, const QString& interfaceName)
{
    m_channel.SetCanDevice(plugin, interfaceName);
}

void CCtrlLink::SetDeviceFolder(const QString& folder)
{
    m_channel.SetDeviceFolder(folder);
}

QString CCtrlLink::LastOpenError()
{
    return m_channel.LastError();
}

// The worker: requests first, polling when there are none. Every return ends the thread.
void CCtrlLink::Run()
{
    for (;;) {
        if (!WaitUntilConnected())
            return;
        WatchBus();
        PromoteQueued();
        if (SlotPending()) {
            // A request that finds the connection gone stays in the slot until it comes back.
            if (m_flags.connected.load() != 1)
                continue;
            if (Stopping())
                return;
            SdoRequest request;
            if (TakeNextRequest(request)) {
                const bool goOn = RunRequest(request);
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_requestRunning = false;
                }
                if (!goOn)
                    return;
                NotifyIfIdle();
            }
            continue;
        }
        if (m_flags.pollingEnabled.load() == 0) {
            IdleWait(kPollingOffWaitMs, true);
            continue;
        }
        if (!PollingPass())
            return;
        IdleWait(kAfterPassWaitMs, true);
    }
}

bool CCtrlLink::WaitUntilConnected()
{
    while (m_flags.connected.load() != 1) {
        if (Stopping())
            return false;
        // A request left in the slot must not end this wait: it can only run once connected.
        IdleWait(kNotConnectedWaitMs, false);
    }
    return !Stopping();
}

// Held-back requests run once the owner releases the line; the backlog holds requests that a
// newer one pushed out of the slot.
void CCtrlLink::PromoteQueued()
{
    if (m_flags.othersReleased.load() != 0 && PromoteFrom(m_deferred))
        return;
    PromoteFrom(m_backlog);
}

bool CCtrlLink::PromoteFrom(std::deque<SdoRequest>& queue)
{
    bool last;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_slotPending || queue.empty())
            return false;
        last = queue.size() == 1;
    }
    if (last)
        std::this_thread::sleep_for(std::chrono::milliseconds(kLastQueuedPauseMs));
    std::lock_guard<std::mutex> lock(m_mutex);
    // A request that came in during the pause has the slot and runs first.
    if (m_slotPending || queue.empty())
        return m_slotPending;
    m_slot = queue.front();
    queue.pop_front();
    m_slotPending = true;
    return true;
}

// The slot is emptied as its request starts, so a request that arrives during the exchange
// waits in the slot and is neither lost nor run twice.
bool CCtrlLink::TakeNextRequest(SdoRequest& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_slotPending)
        return false;
    out = m_slot;
    m_slotPending = false;
    m_requestRunning = true;
    return true;
}

bool CCtrlLink::RunRequest(const SdoRequest& request)
{
    if (request.job == SdoRequest::Writes)
        return RunWrites(request);
    if (request.job == SdoRequest::Download)
        return RunDownload(request);
    if (request.job == SdoRequest::Probe)
        return RunProbe(request);
    if (request.job == SdoRequest::Nmt)
        return RunNmt(request);
    if (request.job != SdoRequest::Exchange)
        return RunUpload(request);
    const CSdoChannel::Outcome outcome =
        m_channel.Transfer(request.key, request.command, request.value);
    return DeliverOutcome(request, outcome);
}

bool CCtrlLink::DeliverOutcome(const SdoRequest& request, const CSdoChannel::Outcome& outcome)
{
    if (outcome.writeRefused &&
        !Deliver(request.hwnd, WM_SDO_ABORT, outcome.writeAbortCode, request.key))
        return false;
    // What the read-back finds follows; the window must not take it for a confirmation.
    if (outcome.writeUnconfirmed &&
        !Deliver(request.hwnd, WM_SDO_FAILED, kSdoUnconfirmed, request.key))
        return false;
    if (outcome.result != CSdoChannel::Ok)
        return DeliverFailure(request.hwnd, request.key, outcome.result);

    const SdoFrame::DecodeState state =
        DecodeReply(outcome.answeredCommand, outcome.reply, request.key, m_decodedValue);
    switch (state) {
    case SdoFrame::StateValue:
        return Deliver(request.hwnd, WM_SDO_VALUE, m_decodedValue, request.key);
    case SdoFrame::StateSegment: {
        const uint8_t command = outcome.reply[0];
        const int length = SdoFrame::SegmentLength(command);
        SetSegment(outcome.reply.data() + 1, length, (command & SdoFrame::kLastSegmentBit) != 0);
        return Deliver(request.hwnd, WM_SDO_SEGMENT, m_decodedValue, request.key);
    }
    case SdoFrame::StateAbort:
        return Deliver(request.hwnd, WM_SDO_ABORT, m_decodedValue, request.key);
    case SdoFrame::StateNone:
        break;
    }
    // A command the link does not know, answered without an abort: nothing to decode.
    return Deliver(request.hwnd, WM_SDO_FAILED, kSdoNoAnswer, request.key);
}

// The read and every segment on the worker, so that the text is judged whole: it counts only
// when the drive's last segment brings the byte count to what its first reply announced. A
// window that went away ends the upload where it stands.
bool CCtrlLink::RunUpload(const SdoRequest& request)
{
    const HWND hwnd = request.hwnd;
    const uint32_t key = request.key;
    bool goOn = true;
    if (RunBlockUpload(request, goOn))
        return goOn;
    CSdoChannel::Outcome outcome = m_channel.Transfer(key, SdoFrame::kRead, 0);
    if (outcome.result != CSdoChannel::Ok)
        return DeliverFailure(hwnd, key, outcome.result);
    const uint8_t first = outcome.reply[0];
    if (first == SdoFrame::kAbort)
        return Deliver(hwnd, WM_SDO_ABORT, SdoFrame::DataOf(outcome.reply.data()), key);
    if (const int expedited = ExpeditedUploadLength(first, key))
        return DeliverUpload(
            request,
            QByteArray(reinterpret_cast<const char*>(outcome.reply.data()) + 4, expedited));
    const uint32_t announced = SdoFrame::DataOf(outcome.reply.data());
    if (first != SdoFrame::kUploadStart || announced > kMaxUploadBytes)
        return Deliver(hwnd, WM_SDO_FAILED, kSdoBadReply, key);

    QByteArray bytes;
    bytes.reserve(int(announced));
    uint8_t toggle = SdoFrame::kSegment0;
    for (;;) {
        if (Stopping())
            return false;
        if (!CMessageLayer::Instance().IsWindow(hwnd))
            return true;
        outcome = m_channel.Transfer(key, toggle, 0);
        if (outcome.result != CSdoChannel::Ok)
            return DeliverFailure(hwnd, key, outcome.result);
        const uint8_t command = outcome.reply[0];
        if (command == SdoFrame::kAbort)
            return Deliver(hwnd, WM_SDO_ABORT, SdoFrame::DataOf(outcome.reply.data()), key);
        const int length = SdoFrame::SegmentLength(command);
        bytes.append(reinterpret_cast<const char*>(outcome.reply.data()) + 1, length);
        // A drive may mark its last segment, or (as the older ones do) end with a short one or
        // simply with the announced count.
        const bool last = (command & SdoFrame::kLastSegmentBit) != 0 ||
                          length != SdoFrame::kSegmentBytes || uint32_t(bytes.size()) >= announced;
        if (last)
            return uint32_t(bytes.size()) == announced
                       ? DeliverUpload(request, bytes)
                       : Deliver(hwnd, WM_SDO_FAILED, kSdoLengthMismatch, key);
        if (request.job == SdoRequest::UploadWithProgress &&
            !Deliver(hwnd, WM_SDO_SEGMENT, uint32_t(bytes.size()), key))
            return false;
        toggle = toggle == SdoFrame::kSegment0 ? SdoFrame::kSegment1 : SdoFrame::kSegment0;
    }
}

bool CCtrlLink::DeliverUpload(const SdoRequest& request, const QByteArray& bytes)
{
    return HandOver(m_finishedUploads, request, WM_SDO_UPLOAD, uint32_t(bytes.size()), bytes);
}

// Each write is one transfer, so it goes out once: a missing confirmation is settled by reading
// the object back, never by writing again, and it ends the batch like a refusal does.
bool CCtrlLink::RunWrites(const SdoRequest& request)
{
    SdoWriteResult result;
    const std::vector<SdoWrite>& writes = *request.writes;
    result.total = int(writes.size());
    for (const SdoWrite& write : writes) {
        if (Stopping())
            return false;
        // A window that went away is told nothing and gets nothing more written.
        if (!CMessageLayer::Instance().IsWindow(request.hwnd))
            return true;
        const CSdoChannel::Outcome outcome =
            m_channel.Transfer(write.key, write.command, write.value);
        const bool linkFailed = outcome.result != CSdoChannel::Ok &&
                                outcome.result != CSdoChannel::NotSent &&
                                outcome.result != CSdoChannel::Interrupted;
        if (linkFailed && !ReportLinkFailure(outcome.result))
            return false;
        if (outcome.result == CSdoChannel::Ok && !outcome.writeRefused &&
            !outcome.writeUnconfirmed) {
            ++result.confirmed;
            continue;
        }
        result.key = write.key;
        if (outcome.writeRefused) {
            result.refused = true;
            result.abortCode = outcome.writeAbortCode;
        } else if (outcome.result == CSdoChannel::NotSent) {
            result.failure = kSdoNotSent;
        } else if (outcome.result == CSdoChannel::Interrupted) {
            result.failure = kSdoClosed;
        } else if (linkFailed) {
            result.failure = kSdoNoAnswer;
        } else {
            result.failure = kSdoUnconfirmed;
        }
        break;
    }
    return DeliverWrites(request, result);
}

bool CCtrlLink::DeliverWrites(const SdoRequest& request, const SdoWriteResult& result)
{
    return HandOver(m_finishedWrites, request, WM_SDO_WRITTEN, uint32_t(result.confirmed), result);
}

void CCtrlLink::SetSegment(const uint8_t* data7, int length, bool last)
{
    // The GUI thread reads the copy with GetSegment while it handles WM_SDO_SEGMENT.
    std::lock_guard<std::mutex> lock(m_mutex);
    std::memcpy(m_segment, data7, sizeof m_segment);
    m_segmentLength = length;
    m_segmentLast = last;
}

bool CCtrlLink::DeliverFailure(HWND hwnd, uint32_t key, int result)
{
    switch (result) {
    case CSdoChannel::NotSent:
        return Deliver(hwnd, WM_SDO_FAILED, kSdoNotSent, key);
    case CSdoChannel::Interrupted:
        return Deliver(hwnd, WM_SDO_FAILED, kSdoClosed, key);
    default:
        // The main frame closes the connection; then the requester learns it got no answer.
        if (!ReportLinkFailure(result))
            return false;
        return Deliver(hwnd, WM_SDO_FAILED, kSdoNoAnswer, key);
    }
}

bool CCtrlLink::ReportLinkFailure(int result)
{
    // A device that went away (a CAN bus gone off) says why in its own words.
    if (result == CSdoChannel::TooManyFailedSends) {
        const QString cause = m_channel.LastError();
        if (!cause.isEmpty())
            ReportMessage(cause);
    }
    return Deliver(m_flags.mainFrameWnd.load(), WM_COMM_FAILED, 0, 0);
}

// One pass over the registered objects, alternating between the two groups. It ends when a
// request waits (also a held-back one that was just released), polling is switched off, the list
// is empty or the connection is gone.
bool CCtrlLink::PollingPass()
{
    uint8_t group = 1;
    for (;;) {
        if (Stopping())
            return false;
        if (RequestWaiting() || LoopListEmpty() || m_flags.pollingEnabled.load() == 0 ||
            m_flags.connected.load() != 1)
            return true;
        LoopItem item;
        bool wholeList = false;
        bool found = NextLoopItem(group, item, wholeList);
        // Group 2 gets one step after every group 1 step that found something. A list without
        // an enabled group 1 item (a page whose live rows are all writable) would then never be
        // polled, so such a step takes the next group 2 item instead.
        if (!found && group == 1 && wholeList)
            found = NextLoopItem(2, item, wholeList);
        else
            group = (found && group == 1) ? 2 : 1;
        if (found && !PollItem(item))
            return false;
        IdleWait(kPollingStepWaitMs, true);
    }
}

bool CCtrlLink::PollItem(const LoopItem& item)
{
    if (Stopping())
        return false;
    const CSdoChannel::Outcome outcome = m_channel.Transfer(item.key, SdoFrame::kRead, 0);
    if (outcome.result == CSdoChannel::Interrupted)
        return true; // the connection was closed or changed under the poll: nothing to say
    if (outcome.result != CSdoChannel::Ok)
        return DeliverFailure(item.hwnd, item.key, outcome.result);
    uint32_t value = m_decodedValue;
    const SdoFrame::DecodeState state =
        DecodeReply(SdoFrame::kRead, outcome.reply, item.key, value);
    m_decodedValue = value;
    if (state == SdoFrame::StateAbort)
        return Deliver(item.hwnd, WM_SDO_ABORT, value, item.key);
    return Deliver(item.hwnd, WM_SDO_VALUE, value, item.key);
}

// Each group walks on from its own cursor; running off the end gives nothing once and starts
// again at the head.
bool CCtrlLink::NextLoopItem(uint8_t group, LoopItem& out, bool& wholeList)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    LoopItem*& cursor = m_cursor[group == 1 ? 0 : 1];
    wholeList = cursor == nullptr;
    for (LoopItem* item = cursor ? cursor : m_loopHead; item; item = item->next) {
        if (item->group == group && item->enabled) {
            cursor = item->next;
            out = *item;
            return true;
        }
    }
    cursor = nullptr;
    return false;
}

// The cancel flag releases a send to a window whose thread no longer handles messages.
bool CCtrlLink::Deliver(HWND hwnd, unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (Stopping())
        return false;
    SendMessage(hwnd, message, wParam, lParam, &m_flags.stopThreads);
    return true;
}

void CCtrlLink::NotifyIfIdle()
{
    const HWND window = m_idleWindow.load();
    if (window == kNoWindow)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_slotPending || !m_backlog.empty() || !m_deferred.empty())
            return;
    }
    PostMessage(window, WM_LINK_IDLE, 0, 0);
}

bool CCtrlLink::SlotPending()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_slotPending;
}

bool CCtrlLink::RequestWaiting()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return RequestWaitingLocked();
}

bool CCtrlLink::RequestWaitingLocked() const
{
    return m_slotPending || (m_flags.othersReleased.load() != 0 && !m_deferred.empty());
}

bool CCtrlLink::LoopListEmpty()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loopHead == nullptr;
}

void CCtrlLink::IdleWait(int ms, bool wakeOnPending)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wakeCondition.wait_for(lock, std::chrono::milliseconds(ms), [this, wakeOnPending] {
        return m_wake || Stopping() || (wakeOnPending && RequestWaitingLocked());
    });
    m_wake = false;
}

void CCtrlLink::Wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_wake = true;
    }
    m_wakeCondition.notify_all();
}
