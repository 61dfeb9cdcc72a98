#pragma once

#include "LinkFlags.h"

// Holds the control link for one window: while it lives, requests of other windows are refused
// (kRequestNotOwner) and the owner's newest request replaces one that has not started. Asked
// for, it also pauses polling and lets a refused send go unrepeated (around commands after which
// the drive restarts). It gives back exactly what it found, on every way out: Release, or its
// destructor. Flags are the GUI thread's; a hold is made and released there.
class CLinkHold
{
public:
    enum Quiet : unsigned
    {
        kKeepPolling = 0,
        kPausePolling = 1, // pollingEnabled = 0
        kNoRetries = 2,    // retryOnSendFailure = 0
    };

    // Takes nothing (held() false) when another window holds the link already.
    CLinkHold(CLinkFlags& flags, HWND owner, unsigned quiet = kKeepPolling);
    ~CLinkHold() { Release(); }
    CLinkHold(const CLinkHold&) = delete;
    CLinkHold& operator=(const CLinkHold&) = delete;

    bool held() const { return m_held; }
    // Polling and retries as they were, the link still held (a dialog that closes but has not
    // gone yet). Again, or without quiet, nothing.
    void EndQuiet();
    // Everything as it was; again, nothing.
    void Release();

private:
    CLinkFlags& m_flags;
    unsigned m_quiet;
    bool m_held = false;
    int m_exclusiveMode = 0;
    HWND m_exclusiveOwner = kNoWindow;
    int m_pollingEnabled = 1;
    int m_retryOnSendFailure = 1;
};
