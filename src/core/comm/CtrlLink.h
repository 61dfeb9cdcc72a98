#pragma once

#include "LinkFlags.h"
#include "OpenSettings.h"
#include "SdoChannel.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// One write of a batch: an SDO write command (0x2F, 0x2B, 0x23), its object and value.
struct SdoWrite
{
    uint32_t key = 0;
    uint8_t command = 0;
    uint32_t value = 0;
};

// How a batch of writes ended, as TakeWrites hands it out.
struct SdoWriteResult
{
    int total = 0;     // writes in the batch
    int confirmed = 0; // writes the drive confirmed, from the first one on
    // When confirmed < total, the write at index confirmed ended the batch: the drive refused it
    // (refused, abortCode) or the link could not vouch for it (failure, an SdoFailure). The
    // writes after it were never sent.
    uint32_t key = 0;
    bool refused = false;
    uint32_t abortCode = 0;
    uint32_t failure = 0;
};

// One queued exchange.
struct SdoRequest
{
    enum Job : uint8_t
    {
        Exchange = 0,           // one request and its reply
        Upload = 1,             // a whole segmented read, delivered once
        UploadWithProgress = 2, // the same, with WM_SDO_SEGMENT after every segment
        Writes = 3,             // an ordered batch of writes (key holds the caller's tag)
        Download = 4,           // a whole value written, segmented when longer than 4 bytes
        Probe = 5,              // one read of another node (value holds its id), asked once
        Nmt = 6,                // an NMT command (command) to a node (value; 0: all)
    };
    HWND hwnd = kNoWindow;
    uint32_t key = 0;
    uint32_t value = 0;
    uint8_t command = 0;
    uint8_t job = Exchange;
    std::shared_ptr<const std::vector<SdoWrite>> writes{}; // job Writes only
    std::shared_ptr<const QByteArray> bytes{};             // job Download only
};

// One polled object. A page disables its items while it is closed and removes them when it is
// destroyed (RemoveLoop), so the list holds only what live windows poll.
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
//
// What a requester learns (every request that Request queued ends in exactly one of these, sent
// to its window with lParam = key):
//   answered  WM_SDO_VALUE (wParam value) or WM_SDO_SEGMENT (then GetSegment)
//   refused   WM_SDO_ABORT (wParam abort code). A refused write is followed by one more message,
//             the outcome of reading the object back: WM_SDO_VALUE with what the drive holds,
//             WM_SDO_ABORT or WM_SDO_FAILED. A write whose confirmation is missing is never sent
//             again: the read-back's outcome is its only message.
//   failed    WM_SDO_FAILED (wParam SdoFailure). A drive that does not answer also sends
//             WM_COMM_FAILED to the main frame first, which closes the connection.
//   not queued  Request returns a negative RequestResult and nothing is ever sent for it.
// Polled objects get WM_SDO_VALUE, WM_SDO_ABORT or WM_SDO_FAILED the same way.
// A whole text object or record is read with RequestUpload: the worker runs the read and every
// segment itself and ends in one message, WM_SDO_UPLOAD (wParam length; the bytes are copied out
// with TakeUpload while it is handled), WM_SDO_ABORT when the drive refused at any point, or
// WM_SDO_FAILED: kSdoLengthMismatch when the segments ended before, or ran past, the length the
// first reply announced, the transfer failures as above otherwise. Nothing short of the
// announced bytes with the drive's last segment counts as the object's text.
// An ordered batch of writes is queued with RequestWrites: the worker sends them one after the
// other and stops at the first one the drive refuses or the link cannot vouch for; no write is
// sent twice. It ends in one message, WM_SDO_WRITTEN (wParam the number of writes confirmed,
// lParam the caller's tag; TakeWrites while it is handled says which write ended the batch and
// why), or, when a newer request of the link's exclusive owner took its place before it started,
// WM_SDO_FAILED (kSdoReplaced, lParam tag). A silent drive also fails the connection first, as
// above.
// Raw segment requests (0x60/0x70) are passed through one at a time: WM_SDO_SEGMENT, then
// GetSegment.
class CCtrlLink
{
public:
    enum RequestResult : int
    {
        kRequestQueued = 0,   // will run; its outcome follows as a message
        kRequestDeferred = 1, // held until the line's owner releases it, then runs
        kRequestNotConnected = -1,
        kRequestNotOwner = -2, // another window holds the link exclusively
        kRequestQueueFull = -3,
        kRequestInvalid = -4, // a batch entry that is not a write, or too many of them
    };

    CCtrlLink(CLinkFlags& flags, const QString& dataDir);
    virtual ~CCtrlLink(); // sets stopThreads and joins the worker
    CCtrlLink(const CCtrlLink&) = delete;
    CCtrlLink& operator=(const CCtrlLink&) = delete;

    int Request(HWND hwnd, uint8_t command, uint32_t key, uint32_t value);
    // Queues a whole segmented read of key, queued and held back like a request. With progress
    // the window also gets WM_SDO_SEGMENT (wParam bytes so far) after every segment.
    int RequestUpload(HWND hwnd, uint32_t key, bool progress = false);
    // While WM_SDO_UPLOAD is handled: a copy of the bytes of that upload.
    bool TakeUpload(HWND hwnd, uint32_t key, QByteArray& bytes);
    // Queues an ordered batch of writes, held back and replaced like one request; tag comes
    // back as lParam of WM_SDO_WRITTEN.
    int RequestWrites(HWND hwnd, std::vector<SdoWrite> writes, uint32_t tag);
    // While WM_SDO_WRITTEN is handled: how that batch ended.
    bool TakeWrites(HWND hwnd, uint32_t tag, SdoWriteResult& result);
    // Writes a whole value (a text object): expedited up to four bytes, else by segments. Ends
    // in WM_SDO_WRITTEN (wParam 1 when the drive took it, 0 when not; lParam key; TakeWrites
    // with the key says why), or WM_SDO_FAILED as a transfer failure.
    int RequestDownload(HWND hwnd, uint32_t key, const QByteArray& bytes);
    // Reads key of node (1-127) on the same CAN bus once, with the reply timeout: WM_SDO_VALUE,
    // WM_SDO_ABORT, or WM_SDO_FAILED kSdoNoAnswer when no node answered (which does not fail
    // the connection). lParam is the key.
    int RequestProbe(HWND hwnd, uint32_t node, uint32_t key);
    // Sends an NMT command (1 start, 2 stop, 0x80 pre-operational, 0x81 reset, 0x82 reset
    // communication) to node (0: every node). WM_SDO_VALUE (wParam the command, lParam
    // kNmtTag + node) once it went out, WM_SDO_FAILED kSdoNotSent when not.
    int RequestNmt(HWND hwnd, uint8_t command, uint32_t node);
    static constexpr uint32_t kNmtTag = 0xFF000000u;
    // The window posted WM_BUS_EVENT for the heartbeats and emergencies received on CAN, and for
    // a node whose heartbeat stopped (kNoWindow: none, the default).
    void SetBusWindow(HWND hwnd) { m_busWindow.store(hwnd); }
    // The rules the exchanges follow (drive by default); canopen applies on CAN only.
    void SetProfile(LinkProfile profile);
    LinkProfile Profile() const { return m_channel.profile(); }
    // The width in bytes of an object (0 unknown), which a reply that states none (0x42) is
    // read with under canopen. Set before connecting; called on the worker.
    void SetObjectWidths(std::function<int(uint32_t key)> widthOf);
    // A window that is posted WM_LINK_IDLE whenever the worker has run every queued request and
    // its answers were handled (kNoWindow: none). A client that waits for the link to fall idle
    // blocks on its event loop instead of asking again and again.
    void SetIdleWindow(HWND hwnd);
    bool AddLoop(HWND hwnd, uint32_t key, uint8_t group);
    bool EnableLoop(HWND hwnd);
    bool DisableLoop(HWND hwnd);
    // Takes every item of the window out of the list; false when it had none.
    bool RemoveLoop(HWND hwnd);
    bool FindLoop(HWND hwnd, uint32_t key);
    int LoopCount();
    // While WM_SDO_SEGMENT of a raw segment request is handled: copies the seven bytes after the
    // reply's command byte into data7 and gives the number that count. True when the drive
    // marked the segment its last.
    bool GetSegment(uint8_t* data7, int& length);
    bool IsDeferredQueueEmpty();
    // Whether any request is queued or still being exchanged and answered. A client that issues
    // many requests at once (a page being built) waits for this to see every answer.
    bool HasPendingRequests();

    // Connection operations. They cut the running exchange short instead of waiting for its reply
    // (a silent drive does not hold the caller for the reply timeout), and a transfer they
    // interrupt ends as kSdoClosed.
    int SetMode(int mode);
    void SetNodeId(uint32_t id);
    int Open(const uint32_t* settings);
    // The same with the serial port's whole name, which the words hold only up to 7 characters.
    int Open(const OpenSettings& settings);
    void Close();
    int GetCanVersion(char* buffer256);
    void SetCanDevice(const QString& plugin, const QString& interfaceName);
    // Where the serial library finds dev/PORT links: the installation's base folder.
    void SetDeviceFolder(const QString& folder);
    // Why the last Open failed, in the transport's words (empty when it gave no reason).
    QString LastOpenError();
    // Replies dropped because they did not belong to the request they came after.
    int StaleReplies() const { return m_channel.staleReplies(); }

private:
    int Open(const uint32_t* settings, const QString& portName);
    void Run();
    int Enqueue(const SdoRequest& request);
    bool RunUpload(const SdoRequest& request);
    bool DeliverUpload(const SdoRequest& request, const QByteArray& bytes);
    template <class T>
    bool HandOver(std::map<std::pair<HWND, uint32_t>, T>& box, const SdoRequest& request,
                  unsigned message, uint32_t wParam, const T& result);
    template <class T>
    bool TakeHandedOver(const std::map<std::pair<HWND, uint32_t>, T>& box, HWND hwnd, uint32_t key,
                        T& out);
    bool RunWrites(const SdoRequest& request);
    bool RunDownload(const SdoRequest& request);
    bool RunProbe(const SdoRequest& request);
    // Under canopen, an upload by blocks where the device offers them: true when that ended the
    // upload (goOn false when the worker is to end), false when segments are to follow.
    bool RunBlockUpload(const SdoRequest& request, bool& goOn);
    // Worker: reports what came on the bus since the last look, and nodes gone silent.
    void WatchBus();
    bool RunNmt(const SdoRequest& request);
    // A reply to command as the profile reads it.
    SdoFrame::DecodeState DecodeReply(uint8_t command, const SdoFrame::Sdo& reply, uint32_t key,
                                      uint32_t& value);
    int ExpeditedUploadLength(uint8_t replyCommand, uint32_t key);
    bool DeliverWrites(const SdoRequest& request, const SdoWriteResult& result);
    // A transfer that ended the connection: the transport's reason, then the main frame.
    bool ReportLinkFailure(int result);
    void NotifyIfIdle();
    bool WaitUntilConnected();
    void PromoteQueued();
    bool PromoteFrom(std::deque<SdoRequest>& queue);
    bool TakeNextRequest(SdoRequest& out);
    bool RunRequest(const SdoRequest& request);
    bool DeliverOutcome(const SdoRequest& request, const CSdoChannel::Outcome& outcome);
    bool DeliverFailure(HWND hwnd, uint32_t key, int result);
    bool PollingPass();
    bool PollItem(const LoopItem& item);
    // wholeList tells whether the walk started at the head, so that finding nothing means the
    // group has no enabled item at all.
    bool NextLoopItem(uint8_t group, LoopItem& out, bool& wholeList);
    bool Deliver(HWND hwnd, unsigned message, uint32_t wParam, uint32_t lParam);
    void SetSegment(const uint8_t* data7, int length, bool last);
    bool SlotPending();
    bool RequestWaiting();
    bool RequestWaitingLocked() const;
    bool LoopListEmpty();
    void RelinkLocked();
    bool Stopping() const { return m_flags.stopThreads.load() != 0; }
    // Idle pause that a new request (or Open, or destruction) cuts short. When wakeOnPending is
    // set a request that is already waiting ends it at once.
    void IdleWait(int ms, bool wakeOnPending);
    void Wake();

    CLinkFlags& m_flags;
    std::list<LoopItem> m_loopItems; // owns the items in list order; never moves them
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
    uint8_t m_segment[7] = {};
    int m_segmentLength = 0;
    bool m_segmentLast = false;
    // Results of whole jobs by window and key (or tag), kept while their message is handled.
    template <class T> using HandOverBox = std::map<std::pair<HWND, uint32_t>, T>;
    HandOverBox<QByteArray> m_finishedUploads;
    HandOverBox<SdoWriteResult> m_finishedWrites;
    std::atomic<HWND> m_idleWindow{kNoWindow};
    std::atomic<HWND> m_busWindow{kNoWindow};
    struct Heartbeat
    {
        std::chrono::steady_clock::time_point last{};
        int64_t periodMs = 0; // between its last two beats; 0 until there were two
        uint8_t state = 0xFF;
        bool lost = false;
    };
    std::map<uint32_t, Heartbeat> m_heartbeats; // worker only, by node
    std::mutex m_widthMutex;
    std::function<int(uint32_t)> m_widthOf;
    // Worker thread only.
    uint32_t m_decodedValue = 0; // kept between exchanges, as the segment message carries it
    std::thread m_worker;
};
