#include "CtrlLink.h"

#include "MessageLayer.h"
#include "base/Report.h"

#include <chrono>
#include <cstring>
#include <new>
#include <system_error>

namespace {

// Items are never removed, so a page that is opened and closed over and over keeps adding
// items; the bound keeps a polling walk short.
constexpr size_t kMaxLoopItems = 4096;

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
    if (m_flags.connected.load() != 1)
        return 0;
    const SdoRequest request{hwnd, key, value, command};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_flags.exclusiveMode.load() != 0) {
            const HWND owner = m_flags.exclusiveOwner.load();
            if (owner != kNoWindow && owner != hwnd)
                return 0;
            // The owner's newest request replaces one that has not started yet.
            m_slot = request;
            m_slotPending = true;
        } else {
            const HWND deferOwner = m_flags.deferOwner.load();
            if (deferOwner != kNoWindow && m_flags.othersReleased.load() == 0 &&
                hwnd != deferOwner) {
                m_deferred.push_back(request);
                return 1;
            }
            if (m_slotPending)
                m_backlog.push_back(m_slot);
            m_slot = request;
            m_slotPending = true;
        }
        m_wake = true;
    }
    m_wakeCondition.notify_one();
    return 0;
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

bool CCtrlLink::FindLoop(HWND hwnd, uint32_t key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const LoopItem* item = m_loopHead; item; item = item->next) {
        if (item->hwnd == hwnd && item->key == key)
            return true;
    }
    return false;
}

void CCtrlLink::GetSegment(const uint8_t*& data, int& length)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    data = m_segment;
    length = m_segmentLength;
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
    std::lock_guard<std::mutex> lock(m_channelMutex);
    return m_channel.SetMode(mode);
}

void CCtrlLink::SetNodeId(uint32_t id)
{
    std::lock_guard<std::mutex> lock(m_channelMutex);
    m_channel.SetNodeId(id);
}

int CCtrlLink::Open(const uint32_t* settings)
{
    int result;
    {
        std::lock_guard<std::mutex> lock(m_channelMutex);
        result = m_channel.port().Open(settings);
    }
    Wake();
    return result;
}

void CCtrlLink::Close()
{
    std::lock_guard<std::mutex> lock(m_channelMutex);
    m_channel.port().Close();
}

int CCtrlLink::GetCanVersion(char* buffer256)
{
    std::lock_guard<std::mutex> lock(m_channelMutex);
    return m_channel.port().GetVersion(buffer256);
}

void CCtrlLink::SetCanDevice(const QString& plugin, const QString& interfaceName)
{
    std::lock_guard<std::mutex> lock(m_channelMutex);
    m_channel.port().SetCanDevice(plugin, interfaceName);
}

// The worker: requests first, polling when there are none. Every return ends the thread.
void CCtrlLink::Run()
{
    for (;;) {
        if (!WaitUntilConnected())
            return;
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
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requestRunning = false;
                if (!goOn)
                    return;
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

int CCtrlLink::Exchange(uint32_t key, uint8_t command, uint32_t value, SdoFrame::DecodeState& state,
                        uint32_t& decoded)
{
    uint8_t segment[7] = {};
    int segmentLength = 0;
    int result;
    {
        std::lock_guard<std::mutex> lock(m_channelMutex);
        result = m_channel.Transfer(key, command, value);
        if (result != CSdoChannel::Ok)
            return result;
        state = m_channel.DecodeReply(command);
        decoded = m_channel.decodedValue();
        if (state != SdoFrame::StateSegment)
            return result;
        const uint8_t* reply = m_channel.replyData();
        std::memcpy(segment, reply + 1, sizeof segment);
        segmentLength = SdoFrame::SegmentLength(reply[0]);
    }
    // The GUI thread reads the copy with GetSegment while it handles WM_SDO_SEGMENT.
    std::lock_guard<std::mutex> lock(m_mutex);
    std::memcpy(m_segment, segment, sizeof m_segment);
    m_segmentLength = segmentLength;
    return result;
}

bool CCtrlLink::RunRequest(const SdoRequest& request)
{
    SdoFrame::DecodeState state = SdoFrame::StateNone;
    uint32_t value = 0;
    if (Exchange(request.key, request.command, request.value, state, value) != CSdoChannel::Ok)
        return Deliver(m_flags.mainFrameWnd.load(), WM_COMM_FAILED, 0, 0);
    switch (state) {
    case SdoFrame::StateValue:
        return Deliver(request.hwnd, WM_SDO_VALUE, value, request.key);
    case SdoFrame::StateSegment:
        return Deliver(request.hwnd, WM_SDO_SEGMENT, value, request.key);
    case SdoFrame::StateAbort:
        return Deliver(request.hwnd, WM_SDO_ABORT, value, request.key);
    case SdoFrame::StateNone:
        break;
    }
    return true;
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
        const bool found = NextLoopItem(group, item);
        // Group 2 gets one step after every group 1 step that found something.
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
    SdoFrame::DecodeState state = SdoFrame::StateNone;
    uint32_t value = 0;
    if (Exchange(item.key, SdoFrame::kRead, 0, state, value) != CSdoChannel::Ok)
        return Deliver(m_flags.mainFrameWnd.load(), WM_COMM_FAILED, 0, 0);
    if (state == SdoFrame::StateAbort)
        return Deliver(item.hwnd, WM_SDO_ABORT, value, item.key);
    return Deliver(item.hwnd, WM_SDO_VALUE, value, item.key);
}

// Each group walks on from its own cursor; running off the end gives nothing once and starts
// again at the head.
bool CCtrlLink::NextLoopItem(uint8_t group, LoopItem& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    LoopItem*& cursor = m_cursor[group == 1 ? 0 : 1];
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
