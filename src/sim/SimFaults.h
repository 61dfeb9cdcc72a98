#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

// The fault plan of the virtual drive: what goes wrong with the next replies. The drive consults
// it for every request (silence, drops, aborts) and the servers for every reply they send
// (corruption, delay). All members may be called from any thread.
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
    void Clear();

    // One request arrived: decides what becomes of it and uses up one drop or abort.
    Verdict Take(uint32_t* abortCode);
    // One reply is about to be sent: true when it is to be damaged (uses up one corruption).
    bool TakeCorrupt();
    bool TakeMisaddress();
    int TakeUploadShortfall();
    int ReplyDelayMs() const;

private:
    mutable std::mutex m_mutex;
    int m_drop = 0;
    int m_corrupt = 0;
    int m_delayMs = 0;
    int m_abort = 0;
    int m_echo = 0;
    int m_misaddress = 0;
    int m_uploadShortfall = 0;
    uint32_t m_abortCode = 0;
    bool m_silent = false;
    Clock::time_point m_silentUntil{};
};
