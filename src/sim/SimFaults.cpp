#include "SimFaults.h"

#include <algorithm>
#include <utility>

void CSimFaults::DropNext(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_drop = std::max(0, n);
}

void CSimFaults::CorruptNext(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_corrupt = std::max(0, n);
}

void CSimFaults::DelayReplies(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayMs = std::max(0, ms);
}

void CSimFaults::AbortNext(int n, uint32_t code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_abort = std::max(0, n);
    m_abortCode = code;
}

void CSimFaults::SetSilent(bool silent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

void CSimFaults::SilentFor(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silentUntil = Clock::now() + std::chrono::milliseconds(std::max(0, ms));
}

void CSimFaults::EchoNext(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_echo = std::max(0, n);
}

void CSimFaults::MisaddressNext(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_misaddress = std::max(0, n);
}

void CSimFaults::ShortenNextUpload(int bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_uploadShortfall = std::max(0, bytes);
}

void CSimFaults::DelayNext(int n, int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayNext = std::max(0, n);
    m_delayNextMs = std::max(0, ms);
}

void CSimFaults::TruncateNext(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_truncate = std::max(0, n);
}

void CSimFaults::ReplayNext(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replay = std::max(0, n);
}

void CSimFaults::DuplicateNext(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_duplicate = std::max(0, n);
}

void CSimFaults::AbortUploadAfter(int segments, uint32_t code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_uploadAbortAfter = std::max(0, segments);
    m_uploadAbortCode = code;
}

void CSimFaults::EndUploadAt(int segment)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_uploadEndAt = std::max(1, segment);
}

void CSimFaults::UnplugAfter(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugAfter = std::max(0, n);
}

void CSimFaults::PassNext(int n)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pass = std::max(0, n);
}

void CSimFaults::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_echo = 0;
    m_misaddress = 0;
    m_uploadShortfall = 0;
    m_delayNext = 0;
    m_delayNextMs = 0;
    m_truncate = 0;
    m_replay = 0;
    m_duplicate = 0;
    m_uploadAbortAfter = -1;
    m_uploadAbortCode = 0;
    m_uploadEndAt = 0;
    m_unplugAfter = -1;
    m_unplugged = false;
    m_pass = 0;
    m_passing = false;
    m_drop = 0;
    m_corrupt = 0;
    m_delayMs = 0;
    m_abort = 0;
    m_abortCode = 0;
    m_silent = false;
    m_silentUntil = {};
}

CSimFaults::Verdict CSimFaults::Take(uint32_t* abortCode)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_unplugged)
        return Verdict::Unplug;
    // Passed requests leave the plan for the ones after them, whatever is planned for their
    // replies too (the servers ask about those before the next request comes).
    m_passing = m_pass > 0;
    if (m_passing) {
        --m_pass;
        return Verdict::Answer;
    }
    if (m_unplugAfter == 0) {
        m_unplugged = true;
        m_unplugAfter = -1;
        return Verdict::Unplug;
    }
    if (m_unplugAfter > 0)
        --m_unplugAfter;
    // A silent drive does not use up the planned drops and aborts: they apply once it is back.
    if (m_silent || Clock::now() < m_silentUntil)
        return Verdict::Drop;
    if (m_drop > 0) {
        --m_drop;
        return Verdict::Drop;
    }
    if (m_echo > 0) {
        --m_echo;
        return Verdict::Echo;
    }
    if (m_abort > 0) {
        --m_abort;
        if (abortCode)
            *abortCode = m_abortCode;
        return Verdict::Abort;
    }
    if (m_replay > 0) {
        --m_replay;
        return Verdict::Replay;
    }
    return Verdict::Answer;
}

bool CSimFaults::TakeOne(int& count) const
{
    if (m_passing || count <= 0)
        return false;
    --count;
    return true;
}

bool CSimFaults::TakeCorrupt()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return TakeOne(m_corrupt);
}

bool CSimFaults::TakeMisaddress()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return TakeOne(m_misaddress);
}

bool CSimFaults::TakeTruncate()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return TakeOne(m_truncate);
}

bool CSimFaults::TakeDuplicate()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return TakeOne(m_duplicate);
}

int CSimFaults::TakeReplyDelayMs()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_passing)
        return 0;
    const int single = TakeOne(m_delayNext) ? m_delayNextMs : 0;
    return std::max(m_delayMs, single);
}

int CSimFaults::TakeUploadShortfall()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_passing ? 0 : std::exchange(m_uploadShortfall, 0);
}

bool CSimFaults::TakeUploadAbort(int segmentsSent, uint32_t* code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_passing || m_uploadAbortAfter < 0 || segmentsSent < m_uploadAbortAfter)
        return false;
    m_uploadAbortAfter = -1;
    if (code)
        *code = m_uploadAbortCode;
    return true;
}

bool CSimFaults::TakeUploadEnd(int segmentsSent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_passing || m_uploadEndAt <= 0 || segmentsSent + 1 < m_uploadEndAt)
        return false;
    m_uploadEndAt = 0;
    return true;
}

bool CSimFaults::Unplugged() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_unplugged;
}

int CSimFaults::Unused() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_drop + m_corrupt + m_abort + m_echo + m_misaddress + m_uploadShortfall + m_delayNext +
           m_truncate + m_replay + m_duplicate + (m_uploadAbortAfter >= 0) + (m_uploadEndAt > 0) +
           (m_unplugAfter >= 0);
}
