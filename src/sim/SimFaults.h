#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

// The fault plan of the virtual drive: what goes wrong with the next replies. The drive consults
// it for every request (silence, drops, aborts, replays, the line going away) and every upload
// segment, the servers for every reply they send (corruption, truncation, duplication, delay).
// All members may be called from any thread.
class CSimFaults
{
public:
    using Clock = std::chrono::steady_clock;

    enum class Verdict
    {
        Answer, // serve the request normally
        Drop,   // send nothing
        Abort,  // answer with an abort carrying the planned code
        Echo,   // send the request back as it came (a line that echoes)
        Replay, // serve the request but send the previous reply again (a stale transmit buffer)
        Unplug, // the line is gone: nothing is answered any more
    };

    virtual ~CSimFaults() = default;

    void DropNext(int n);                 // no reply to the next n requests
    void CorruptNext(int n);              // the next n replies are damaged on the wire
    void DelayReplies(int ms);            // every reply late by ms (0 off)
    void AbortNext(int n, uint32_t code); // next n requests answered 0x80 with code
    void SetSilent(bool silent);          // answers nothing until cleared
    void SilentFor(int ms);               // answers nothing for ms, then comes back
    void EchoNext(int n);                 // the next n requests come back as they were sent
    void MisaddressNext(int n);           // the next n replies name another object (segment)
    void ShortenNextUpload(int bytes);    // the next upload announces bytes more than it has
    void DelayNext(int n, int ms);        // the next n replies late by ms
    void TruncateNext(int n);             // the next n replies cut short on the wire
    void ReplayNext(int n);               // the next n requests get the previous reply again
    void DuplicateNext(int n);            // the next n replies are sent twice
    // The next upload is refused with code once it has sent that many segments.
    void AbortUploadAfter(int segments, uint32_t code);
    // The next upload marks its segment number segment (from 1) last while bytes remain.
    void EndUploadAt(int segment);
    void UnplugAfter(int n); // the line goes away at the request after the next n
    void PassNext(int n);    // the next n requests are served as if nothing were planned
    void Clear();

    // One request arrived: decides what becomes of it and uses up one drop, echo, abort or
    // replay (or one request to pass).
    Verdict Take(uint32_t* abortCode);
    // One reply is about to be sent: true when it is to be damaged (uses up one corruption).
    bool TakeCorrupt();
    bool TakeMisaddress();
    bool TakeTruncate();
    bool TakeDuplicate();
    int TakeUploadShortfall();
    // An upload that has sent segmentsSent segments is about to send the next one: whether it is
    // refused instead (with the code), or marked last.
    bool TakeUploadAbort(int segmentsSent, uint32_t* code);
    bool TakeUploadEnd(int segmentsSent);
    int TakeReplyDelayMs();
    bool Unplugged() const;
    // How many of the planned one-off faults (not silence or every reply late) have not come
    // yet: a test sees whether its fault was felt at all.
    int Unused() const;

private:
    // Uses up one of a counted fault unless the request in hand is passed; under the lock.
    bool TakeOne(int& count) const;

    mutable std::mutex m_mutex;
    int m_drop = 0;
    int m_corrupt = 0;
    int m_delayMs = 0;
    int m_abort = 0;
    int m_echo = 0;
    int m_misaddress = 0;
    int m_uploadShortfall = 0;
    int m_delayNext = 0;
    int m_delayNextMs = 0;
    int m_truncate = 0;
    int m_replay = 0;
    int m_duplicate = 0;
    int m_uploadAbortAfter = -1; // off
    uint32_t m_uploadAbortCode = 0;
    int m_uploadEndAt = 0;  // off
    int m_unplugAfter = -1; // off
    bool m_unplugged = false;
    int m_pass = 0;
    bool m_passing = false; // the request in hand is one of the passed ones
    uint32_t m_abortCode = 0;
    bool m_silent = false;
    Clock::time_point m_silentUntil{};
};
