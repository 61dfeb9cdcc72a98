#include "LinkHold.h"

CLinkHold::CLinkHold(CLinkFlags& flags, HWND owner, unsigned quiet) : m_flags(flags), m_quiet(quiet)
{
    const HWND current = m_flags.exclusiveOwner.load();
    if (m_flags.exclusiveMode.load() != 0 && current != kNoWindow && current != owner) {
        m_quiet = kKeepPolling;
        return;
    }
    m_exclusiveMode = m_flags.exclusiveMode.load();
    m_exclusiveOwner = current;
    m_pollingEnabled = m_flags.pollingEnabled.load();
    m_retryOnSendFailure = m_flags.retryOnSendFailure.load();
    if (m_quiet & kPausePolling)
        m_flags.pollingEnabled.store(0);
    if (m_quiet & kNoRetries)
        m_flags.retryOnSendFailure.store(0);
    // The owner before the mode, so that the mode never applies with a stale owner.
    m_flags.exclusiveOwner.store(owner);
    m_flags.exclusiveMode.store(1);
    m_held = true;
}

void CLinkHold::EndQuiet()
{
    if (m_quiet & kPausePolling)
        m_flags.pollingEnabled.store(m_pollingEnabled);
    if (m_quiet & kNoRetries)
        m_flags.retryOnSendFailure.store(m_retryOnSendFailure);
    m_quiet = kKeepPolling;
}

void CLinkHold::Release()
{
    if (!m_held)
        return;
    EndQuiet();
    m_flags.exclusiveMode.store(m_exclusiveMode);
    m_flags.exclusiveOwner.store(m_exclusiveOwner);
    m_held = false;
}
