#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// Runs a function in the thread of a context object and waits until it has run: the one way the
// message layer, the CAN library and the virtual drive's CAN server hand work to a thread with
// an event loop. Header-only: the transport libraries do not link the core.
//
// The caller may give up (giveUp returns true, or timeoutMs runs out) only while the function
// has not started; the function is then withdrawn and never runs. Once it has started the
// caller waits for its end, so it may use the caller's locals by reference.
namespace BlockingCall {

enum class Result
{
    Ran,
    Withdrawn, // gave up before it started
    NotPosted, // the context is gone or its thread does not run
};

namespace Detail {

// One call waiting for, or running in, its thread.
struct Task
{
    QThread* thread = nullptr;
    const std::function<void()>* fn = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool withdrawn = false; // the caller gave up: fn may refer to its locals, so it must not run
    bool done = false;
};

// Calls waiting for their threads. They travel here under a standard mutex rather than inside
// the posted event, so that a thread checker sees the hand-over (the Qt the program is built
// against is not instrumented); the event only wakes the thread.
struct Mailbox
{
    std::mutex mutex;
    std::deque<std::shared_ptr<Task>> tasks;
};

inline Mailbox& Posted()
{
    static Mailbox* mailbox = new Mailbox; // never destroyed: threads may post while exiting
    return *mailbox;
}

// Runs in a thread woken by a posted event: every call waiting for that thread.
inline void RunPosted()
{
    QThread* self = QThread::currentThread();
    std::deque<std::shared_ptr<Task>> mine;
    {
        Mailbox& mailbox = Posted();
        std::lock_guard<std::mutex> lock(mailbox.mutex);
        for (auto it = mailbox.tasks.begin(); it != mailbox.tasks.end();) {
            if ((*it)->thread == self) {
                mine.push_back(*it);
                it = mailbox.tasks.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const std::shared_ptr<Task>& task : mine) {
        {
            std::lock_guard<std::mutex> lock(task->mutex);
            if (task->withdrawn)
                continue;
            task->started = true;
        }
        (*task->fn)();
        std::lock_guard<std::mutex> lock(task->mutex);
        task->done = true;
        task->changed.notify_all();
    }
}

} // namespace Detail

inline Result Run(QObject* context, const std::function<void()>& fn,
                  const std::function<bool()>& giveUp = {}, int timeoutMs = -1)
{
    if (!context)
        return Result::NotPosted;
    QThread* thread = context->thread();
    if (thread == QThread::currentThread()) {
        fn();
        return Result::Ran;
    }
    if (!thread || !thread->isRunning())
        return Result::NotPosted;

    auto task = std::make_shared<Detail::Task>();
    task->thread = thread;
    task->fn = &fn;
    {
        Detail::Mailbox& mailbox = Detail::Posted();
        std::lock_guard<std::mutex> lock(mailbox.mutex);
        mailbox.tasks.push_back(task);
    }
    if (!QMetaObject::invokeMethod(
            context, [] { Detail::RunPosted(); }, Qt::QueuedConnection)) {
        std::lock_guard<std::mutex> lock(task->mutex);
        task->withdrawn = true;
        return Result::NotPosted;
    }

    // Short slices, so that giveUp is looked at even when nobody notifies.
    constexpr auto kSlice = std::chrono::milliseconds(20);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(task->mutex);
    while (!task->done) {
        if (!task->started && ((giveUp && giveUp()) ||
                               (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline))) {
            task->withdrawn = true;
            return Result::Withdrawn;
        }
        task->changed.wait_for(lock, kSlice);
    }
    return Result::Ran;
}

} // namespace BlockingCall
