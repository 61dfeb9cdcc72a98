#pragma once

#include "Messages.h"

#include <atomic>
#include <cstdint>

// The link-wide flags. Each is a single word that one thread writes and the other polls, so
// plain atomics are enough; nothing here needs a lock.
struct CLinkFlags
{
    std::atomic<int> connected{0}; // 0 never opened, 1 open, 2 closed again
    std::atomic<int> pollingEnabled{1};
    std::atomic<int> othersReleased{1};
    std::atomic<HWND> deferOwner{kNoWindow};
    std::atomic<int> exclusiveMode{0};
    std::atomic<HWND> exclusiveOwner{kNoWindow};
    std::atomic<int> stopThreads{0};
    std::atomic<int> retryOnSendFailure{1};
    std::atomic<HWND> mainFrameWnd{kNoWindow};
    std::atomic<int> canChosen{0};
    std::atomic<int> portOpened{0};
    // 1 while the oscilloscope captures or reads its record again; a new one is refused then.
    std::atomic<int> scopeTransferBusy{0};
};
