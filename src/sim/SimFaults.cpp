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

void CSimFaults::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_echo = 0;
    m_misaddress = 0;
    m_uploadShortfall = 0;
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

bool CSimFaults::TakeMisaddress()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_misaddress <= 0)
        return false;
    --m_misaddress;
    return true;
}

int CSimFaults::TakeUploadShortfall()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_uploadShortfall, 0);
}
