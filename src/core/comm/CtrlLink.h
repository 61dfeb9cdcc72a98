#pragma once

#include "LinkFlags.h"
#include "SdoChannel.h"

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

// One queued exchange.
struct SdoRequest
{
    HWND hwnd = kNoWindow;
    uint32_t key = 0;
    uint32_t value = 0;
    uint8_t command = 0;
};

// One polled object. Items are never removed; pages disable theirs when they close.
struct LoopItem
{
    HWND hwnd = kNoWindow;
    uint32_t key = 0;
    uint8_t enabled = 1;
    uint8_t group = 1;
    LoopItem* next = nullptr;
};

// The only path between the program's windows and the drive. Windows queue requests; one worker
// thread exchanges them with the drive, one at a time, and sends the outcome back to the
// requesting window as a message. Between requests it polls the registered objects.
class CCtrlLink
{
public:
    CCtrlLink(CLinkFlags& flags, const QString& dataDir);
    virtual ~CCtrlLink(); // sets stopThreads and joins the worker
    CCtrlLink(const CCtrlLink&) = delete;
    CCtrlLink& operator=(const CCtrlLink&) = delete;

    int Request(HWND hwnd, uint8_t command, uint32_t key, uint32_t value);
    bool AddLoop(HWND hwnd, uint32_t key, uint8_t group);
    bool EnableLoop(HWND hwnd);
    bool DisableLoop(HWND hwnd);
    bool FindLoop(HWND hwnd, uint32_t key);
    // After WM_SDO_SEGMENT: the seven bytes after the last reply's command byte and their length.
    void GetSegment(const uint8_t*& data, int& length);
    bool IsDeferredQueueEmpty();
    // Whether any request is queued or still being exchanged and answered. A client that issues
    // many requests at once (a page being built) waits for this to see every answer.
    bool HasPendingRequests();

    int SetMode(int mode);
    void SetNodeId(uint32_t id);
    int Open(const uint32_t* settings);
    void Close();
    int GetCanVersion(char* buffer256);
    void SetCanDevice(const QString& plugin, const QString& interfaceName);

private:
    void Run();
    bool WaitUntilConnected();
    void PromoteQueued();
    bool PromoteFrom(std::deque<SdoRequest>& queue);
    bool TakeNextRequest(SdoRequest& out);
    bool RunRequest(const SdoRequest& request);
    int Exchange(uint32_t key, uint8_t command, uint32_t value, SdoFrame::DecodeState& state,
                 uint32_t& decoded);
    bool PollingPass();
    bool PollItem(const LoopItem& item);
    bool NextLoopItem(uint8_t group, LoopItem& out);
    bool Deliver(HWND hwnd, unsigned message, uint32_t wParam, uint32_t lParam);
    bool SlotPending();
    bool RequestWaiting();
    bool RequestWaitingLocked() const;
    bool LoopListEmpty();
    bool Stopping() const { return m_flags.stopThreads.load() != 0; }
    // Idle pause that a new request (or Open, or destruction) cuts short. When wakeOnPending is
    // set a request that is already waiting ends it at once.
    void IdleWait(int ms, bool wakeOnPending);
    void Wake();

    CLinkFlags& m_flags;
    std::deque<LoopItem> m_loopItems; // owns the items; a deque never moves them on append
    LoopItem* m_loopHead = nullptr;
    LoopItem* m_loopTail = nullptr;
    LoopItem* m_cursor[2] = {nullptr, nullptr};
    CSdoChannel m_channel;
    std::deque<SdoRequest> m_deferred;
    std::deque<SdoRequest> m_backlog;
    bool m_slotPending = false;
    bool m_requestRunning = false; // guarded by m_mutex
    SdoRequest m_slot;
    std::mutex m_mutex; // slot, both queues, loop list, segment copy, wake flag
    std::condition_variable m_wakeCondition;
    bool m_wake = false;
    // Serialises the port between the worker's exchange and the connection operations of the
    // GUI thread (a close from the connect button may come in the middle of a poll).
    std::mutex m_channelMutex;
    uint8_t m_segment[7] = {};
    int m_segmentLength = 0;
    std::thread m_worker;
};
