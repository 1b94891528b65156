#include "comport/Dispatcher.h"

#include <atomic>
#include <cstdio>
#include <stdexcept>

namespace CPort {

namespace {
std::atomic<MainThreadDispatcher*> defaultDispatcher{nullptr};
std::mutex handlerMutex;
std::function<void(const std::exception&)> applicationHandler;
} // namespace

void setMainThreadDispatcher(MainThreadDispatcher* dispatcher) {
    defaultDispatcher = dispatcher;
}

MainThreadDispatcher* mainThreadDispatcher() {
    return defaultDispatcher;
}

void setApplicationExceptionHandler(std::function<void(const std::exception&)> handler) {
    std::lock_guard lock(handlerMutex);
    applicationHandler = std::move(handler);
}

void handleApplicationException(std::exception_ptr error) {
    std::function<void(const std::exception&)> handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = applicationHandler;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        if (handler)
            handler(e);
        else
            std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        const std::runtime_error unknown("unknown exception");
        if (handler)
            handler(unknown);
        else
            std::fprintf(stderr, "%s\n", unknown.what());
    }
}

void QueuedDispatcher::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
    }
    cv_.notify_all();
}

std::size_t QueuedDispatcher::processPending() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
    }
    for (auto& fn : batch)
        fn();
    return batch.size();
}

bool QueuedDispatcher::processUntil(const std::function<bool()>& done,
                                    std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        processPending();
        if (done()) return true;
        std::unique_lock lock(mutex_);
        // Short slices: `done` may turn true without a post.
        auto slice =
            std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(2));
        cv_.wait_until(lock, slice, [&] { return !queue_.empty(); });
        if (std::chrono::steady_clock::now() >= deadline && queue_.empty()) {
            lock.unlock();
            return done();
        }
    }
}

} // namespace CPort
