#pragma once

#include "Messages.h"

#include <atomic>
#include <cstdint>

class QThread;

// Something that receives window messages: a page, the main frame, a test probe. It is called
// only on the thread that registered it.
class CMessageReceiver
{
public:
    virtual ~CMessageReceiver() = default;
    virtual void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) = 0;
};

// Stands in for window handles and window messages. A receiver registers on its own thread (which
// must run a Qt event loop) and gets a handle. SendMessage from another thread queues the message
// to the receiver's thread and blocks until it was handled; from the same thread it calls at once.
// A message to a handle that is gone is dropped. After Shutdown(), or when the caller's cancel
// flag becomes nonzero, blocked senders return and further sends are dropped, so a closing GUI
// thread never deadlocks with a worker that waits for it.
class CMessageLayer
{
public:
    static CMessageLayer& Instance();

    HWND Register(CMessageReceiver* receiver);
    void Unregister(HWND handle);
    bool IsWindow(HWND handle) const;

    // Returns true when the receiver handled the message.
    bool Send(HWND handle, unsigned message, uint32_t wParam, uint32_t lParam,
              const std::atomic<int>* cancel = nullptr);
    // Queues without waiting (also from the receiver's own thread).
    void Post(HWND handle, unsigned message, uint32_t wParam, uint32_t lParam);

    void Shutdown();
    bool IsShuttingDown() const;
    // Senders on other threads that wait for their message to be handled (a stuck GUI thread
    // shows here).
    int WaitingSenders() const;
    void ResetForTests(); // clears the shutdown state

private:
    CMessageLayer() = default;
    struct Impl;
    Impl& impl() const;
};

inline bool SendMessage(HWND handle, unsigned message, uint32_t wParam, uint32_t lParam,
                        const std::atomic<int>* cancel = nullptr)
{
    return CMessageLayer::Instance().Send(handle, message, wParam, lParam, cancel);
}

inline void PostMessage(HWND handle, unsigned message, uint32_t wParam, uint32_t lParam)
{
    CMessageLayer::Instance().Post(handle, message, wParam, lParam);
}

// Registers itself on construction and unregisters on destruction: the usual way for an object
// to own a handle.
class CWindowHandle
{
public:
    explicit CWindowHandle(CMessageReceiver* receiver)
        : m_handle(CMessageLayer::Instance().Register(receiver))
    {
    }
    ~CWindowHandle() { CMessageLayer::Instance().Unregister(m_handle); }
    CWindowHandle(const CWindowHandle&) = delete;
    CWindowHandle& operator=(const CWindowHandle&) = delete;
    HWND hwnd() const { return m_handle; }
    operator HWND() const { return m_handle; }

private:
    HWND m_handle;
};
