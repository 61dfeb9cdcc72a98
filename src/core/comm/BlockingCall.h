#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
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

inline Result Run(QObject* context, const std::function<void()>& fn,
                  const std::function<bool()>& giveUp = {}, int timeoutMs = -1)
{
    if (!context)
        return Result::NotPosted;
    if (context->thread() == QThread::currentThread()) {
        fn();
        return Result::Ran;
    }
    if (!context->thread() || !context->thread()->isRunning())
        return Result::NotPosted;

    struct State
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool started = false;
        bool withdrawn = false;
        bool done = false;
    };
    auto state = std::make_shared<State>();
    const bool posted = QMetaObject::invokeMethod(
        context,
        [state, &fn] {
            {
                std::lock_guard<std::mutex> lock(state->mutex);
                if (state->withdrawn)
                    return; // the caller has gone; fn may refer to its locals
                state->started = true;
            }
            fn();
            std::lock_guard<std::mutex> lock(state->mutex);
            state->done = true;
            state->changed.notify_all();
        },
        Qt::QueuedConnection);
    if (!posted)
        return Result::NotPosted;

    // Short slices, so that giveUp is looked at even when nobody notifies.
    constexpr auto kSlice = std::chrono::milliseconds(20);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(state->mutex);
    while (!state->done) {
        if (!state->started && ((giveUp && giveUp()) ||
                                (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline))) {
            state->withdrawn = true;
            return Result::Withdrawn;
        }
        state->changed.wait_for(lock, kSlice);
    }
    return Result::Ran;
}

} // namespace BlockingCall
