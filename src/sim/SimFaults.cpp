#include "SimFaults.h"

#include <algorithm>

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

void CSimFaults::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
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
    // A silent drive does not use up the planned drops and aborts: they apply once it is back.
    if (m_silent || Clock::now() < m_silentUntil)
        return Verdict::Drop;
    if (m_drop > 0) {
        --m_drop;
        return Verdict::Drop;
    }
    if (m_abort > 0) {
        --m_abort;
        if (abortCode)
            *abortCode = m_abortCode;
        return Verdict::Abort;
    }
    return Verdict::Answer;
}

bool CSimFaults::TakeCorrupt()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_corrupt <= 0)
        return false;
    --m_corrupt;
    return true;
}

int CSimFaults::ReplyDelayMs() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_delayMs;
}
