#pragma once
// How event deliveries reach the main thread. The component posts a call and
// the main thread's loop runs it later; the Qt programs post to the GUI
// thread's event loop, a program without Qt can use QueuedDispatcher.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace CPort {

class MainThreadDispatcher {
public:
    virtual ~MainThreadDispatcher() = default;
    // Runs fn later on the main thread; never inline from another thread.
    virtual void post(std::function<void()> fn) = 0;
};

// The dispatcher of ports that were given none. Without any, synchronised
// deliveries run on the event thread itself.
void setMainThreadDispatcher(MainThreadDispatcher* dispatcher);
MainThreadDispatcher* mainThreadDispatcher();

// Where exceptions go that nobody else catches (the application's default
// handler): failures in window-synchronised handlers and in an open after
// loading. By default the message goes to stderr.
void setApplicationExceptionHandler(std::function<void(const std::exception&)> handler);
void handleApplicationException(std::exception_ptr error);

// A queue the owning thread drains itself.
class QueuedDispatcher final : public MainThreadDispatcher {
public:
    void post(std::function<void()> fn) override;
    // Runs what is queued now; returns how many calls ran.
    std::size_t processPending();
    // Waits up to `timeout` for calls and runs them until `done` holds.
    bool processUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
};

} // namespace CPort
