#include "MessageLayer.h"

#include "BlockingCall.h"

#include <QObject>
#include <QThread>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

struct Entry
{
    CMessageReceiver* receiver = nullptr;
    QThread* thread = nullptr;
    QObject* dispatcher = nullptr;
};

} // namespace

struct CMessageLayer::Impl
{
    mutable std::mutex mutex;
    std::unordered_map<HWND, Entry> receivers;
    std::unordered_map<QThread*, QObject*> dispatchers;
    HWND nextHandle = 1;
    std::atomic<bool> shuttingDown{false};
    std::atomic<int> waitingSenders{0};

    // Looks the handle up; the receiver may only be used on its own thread.
    bool Find(HWND handle, Entry& out) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = receivers.find(handle);
        if (it == receivers.end())
            return false;
        out = it->second;
        return true;
    }

    // Runs on the receiver's thread; the handle may have gone since the message was queued.
    bool Deliver(HWND handle, unsigned message, uint32_t wParam, uint32_t lParam)
    {
        Entry entry;
        if (!Find(handle, entry) || entry.thread != QThread::currentThread())
            return false;
        entry.receiver->OnMessage(message, wParam, lParam);
        return true;
    }
};

CMessageLayer& CMessageLayer::Instance()
{
    static CMessageLayer layer;
    return layer;
}

CMessageLayer::Impl& CMessageLayer::impl() const
{
    // Never destroyed: worker threads may still look handles up while statics go away at exit,
    // and the per-thread dispatchers it owns live for the whole run.
    static Impl* instance = new Impl;
    return *instance;
}

HWND CMessageLayer::Register(CMessageReceiver* receiver)
{
    Impl& d = impl();
    QThread* thread = QThread::currentThread();
    std::lock_guard<std::mutex> lock(d.mutex);
    QObject*& dispatcher = d.dispatchers[thread];
    if (!dispatcher)
        dispatcher = new QObject; // lives in (and is owned for the run by) the registering thread
    const HWND handle = d.nextHandle++;
    if (d.nextHandle == kNoWindow)
        d.nextHandle = 1;
    d.receivers[handle] = Entry{receiver, thread, dispatcher};
    return handle;
}

void CMessageLayer::Unregister(HWND handle)
{
    Impl& d = impl();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.receivers.erase(handle);
}

bool CMessageLayer::IsWindow(HWND handle) const
{
    Entry entry;
    return impl().Find(handle, entry);
}

void CMessageLayer::Post(HWND handle, unsigned message, uint32_t wParam, uint32_t lParam)
{
    Impl& d = impl();
    Entry entry;
    if (d.shuttingDown || !d.Find(handle, entry))
        return;
    QMetaObject::invokeMethod(
        entry.dispatcher,
        [&d, handle, message, wParam, lParam] { d.Deliver(handle, message, wParam, lParam); },
        Qt::QueuedConnection);
}

bool CMessageLayer::Send(HWND handle, unsigned message, uint32_t wParam, uint32_t lParam,
                         const std::atomic<int>* cancel)
{
    Impl& d = impl();
    Entry entry;
    if (d.shuttingDown || !d.Find(handle, entry))
        return false;
    if (entry.thread == QThread::currentThread())
        return d.Deliver(handle, message, wParam, lParam);

    // A message already being handled is waited for; one still queued is withdrawn when the
    // layer shuts down or the sender's cancel flag is set.
    bool handled = false;
    ++d.waitingSenders;
    const BlockingCall::Result result = BlockingCall::Run(
        entry.dispatcher,
        [&] { handled = !d.shuttingDown && d.Deliver(handle, message, wParam, lParam); },
        [&] { return d.shuttingDown || (cancel && cancel->load() != 0); });
    --d.waitingSenders;
    return result == BlockingCall::Result::Ran && handled;
}

void CMessageLayer::Shutdown()
{
    Impl& d = impl();
    d.shuttingDown = true;
}

int CMessageLayer::WaitingSenders() const
{
    return impl().waitingSenders.load();
}

bool CMessageLayer::IsShuttingDown() const
{
    return impl().shuttingDown;
}

void CMessageLayer::ResetForTests()
{
    impl().shuttingDown = false;
}
