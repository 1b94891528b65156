#pragma once
// The event thread of an open port and the channel that carries its
// synchronised deliveries to the main thread.

#include "comport/CPort.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace CPort {

// Stands in for the hidden event window: the event thread hands calls to the
// main thread through the dispatcher. Closing releases every waiting sender
// and drops what has not started, so a close never waits on a delivery.
class DeliveryChannel : public std::enable_shared_from_this<DeliveryChannel> {
public:
    explicit DeliveryChannel(MainThreadDispatcher* dispatcher) : dispatcher_(dispatcher) {}

    // Event thread. With waitForDone it returns once fn has run on the main
    // thread and rethrows what fn threw; otherwise once the main thread has
    // taken fn. Returns at once when the channel is closed.
    void deliver(std::function<void()> fn, bool waitForDone);
    // Main thread: runs what has been delivered.
    void serve();
    void close();

private:
    struct Item {
        std::function<void()> fn;
        bool taken = false;
        bool done = false;
        std::exception_ptr error;
    };

    MainThreadDispatcher* dispatcher_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::shared_ptr<Item>> queue_;
    bool closed_ = false;
};

// What the running thread needs; shared so that a thread stopped from its own
// handler can finish after the port has let go of it.
struct ComThreadState {
    TCustomComPort* port = nullptr; // not touched once stopping is set
    std::shared_ptr<platform::SerialDevice> device;
    std::shared_ptr<DeliveryChannel> window;
    TSyncMethod sync = smThreadSync;
    platform::WakeEvent stopEvent;
    std::atomic<bool> stopping{false};
};

class TComThread {
public:
    TComThread(TCustomComPort* port, std::shared_ptr<platform::SerialDevice> device,
               std::shared_ptr<DeliveryChannel> window);
    // Signals the stop and waits for the thread; on the thread itself it only
    // signals.
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    void SignalStop();
    bool IsCurrentThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    static void Execute(std::shared_ptr<ComThreadState> s);
    // The state travels by shared pointer: a handler on the main thread may
    // close the port and so end the thread while its delivery still runs.
    static void DispatchEvents(const std::shared_ptr<ComThreadState>& s, TComEvents events);
    static void RaiseEvents(const std::shared_ptr<ComThreadState>& s, TComEvents events);
    static void SendToWindow(const std::shared_ptr<ComThreadState>& s, TComEvents events);

    std::shared_ptr<ComThreadState> state_;
    std::thread thread_;
};

} // namespace CPort
