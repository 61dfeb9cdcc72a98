#pragma once

#include "LinkFlags.h"
#include "SdoChannel.h"

#include <QString>

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

    int SetMode(int mode);
    void SetNodeId(uint32_t id);
    int Open(const uint32_t* settings);
    void Close();
    int GetCanVersion(char* buffer256);
    void SetCanDevice(const QString& plugin, const QString& interfaceName);

private:
    void Run();
    bool TakeNextRequest(SdoRequest& out);
    void PollingPass();
    LoopItem* NextLoopItem(uint8_t group);
    void Deliver(HWND hwnd, unsigned message, uint32_t wParam, uint32_t lParam);
    bool SlotPending();

    CLinkFlags& m_flags;
    std::unique_ptr<LoopItem> m_loopStore; // owner of the first item; items chain via next
    LoopItem* m_loopHead = nullptr;
    LoopItem* m_loopTail = nullptr;
    LoopItem* m_cursor[2] = {nullptr, nullptr};
    CSdoChannel m_channel;
    std::deque<SdoRequest> m_deferred;
    std::deque<SdoRequest> m_backlog;
    bool m_slotPending = false;
    SdoRequest m_slot;
    std::mutex m_mutex;
    uint8_t m_segment[7] = {};
    int m_segmentLength = 0;
    std::thread m_worker;
};
