#include "comport/ComThread.h"

#include <pthread.h>

namespace CPort {

using namespace platform::serial;

namespace {
// Delivery order of one batch, with each event's Windows value.
constexpr struct {
    TComEvent event;
    std::uint32_t value;
} deliveryOrder[] = {
    {evError, EV_ERR}, {evRxChar, EV_RXCHAR},     {evTxEmpty, EV_TXEMPTY}, {evBreak, EV_BREAK},
    {evRing, EV_RING}, {evCTS, EV_CTS},           {evDSR, EV_DSR},         {evRxFlag, EV_RXFLAG},
    {evRLSD, EV_RLSD}, {evRx80Full, EV_RX80FULL},
};

// Whether the device has gone, asked without waiting.
bool deviceGone(platform::SerialDevice& device) {
    try {
        platform::WakeEvent now;
        now.set();
        std::uint32_t events = 0;
        return device.waitEvent(events, now) == platform::WaitStatus::Failed;
    } catch (...) {
        return false;
    }
}
} // namespace

// ---- DeliveryChannel ----

void DeliveryChannel::deliver(std::function<void()> fn, bool waitForDone) {
    auto item = std::make_shared<Item>();
    item->fn = std::move(fn);
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        queue_.push_back(item);
    }
    dispatcher_->post([weak = weak_from_this()] {
        if (auto channel = weak.lock()) channel->serve();
    });
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return closed_ || (waitForDone ? item->done : item->taken); });
    if (waitForDone && item->done && item->error) std::rethrow_exception(item->error);
}

void DeliveryChannel::serve() {
    for (;;) {
        std::shared_ptr<Item> item;
        {
            std::lock_guard lock(mutex_);
            if (closed_ || queue_.empty()) return;
            item = queue_.front();
            queue_.pop_front();
            item->taken = true;
        }
        cv_.notify_all();
        std::exception_ptr error;
        try {
            item->fn();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            item->error = error;
            item->done = true;
        }
        cv_.notify_all();
    }
}

void DeliveryChannel::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        queue_.clear();
    }
    cv_.notify_all();
}

// ---- TComThread ----

TComThread::TComThread(TCustomComPort* port, std::shared_ptr<platform::SerialDevice> device,
                       std::shared_ptr<DeliveryChannel> window)
    : state_(std::make_shared<ComThreadState>()) {
    state_->port = port;
    state_->device = std::move(device);
    state_->window = std::move(window);
    state_->sync = port->SyncMethod();
    // The mask is read once, here; its result does not matter.
    state_->device->setEventMask(EventsToMask(port->Events));
    thread_ = std::thread(&TComThread::Execute, state_);
    // Named, so that tools (and tests) can tell it from other threads.
    ::pthread_setname_np(thread_.native_handle(), "TComThread");
}

TComThread::~TComThread() {
    SignalStop();
    if (!thread_.joinable()) return;
    if (IsCurrentThread())
        thread_.detach();
    else
        thread_.join();
}

void TComThread::SignalStop() {
    state_->stopping = true;
    state_->stopEvent.set();
    std::this_thread::yield();
}

void TComThread::Execute(std::shared_ptr<ComThreadState> s) {
    bool lost = false;
    try {
        while (!s->stopping) {
            std::uint32_t mask = 0;
            const platform::WaitStatus r = s->device->waitEvent(mask, s->stopEvent);
            if (r == platform::WaitStatus::ResultFailed) continue;
            if (r != platform::WaitStatus::Signalled) {
                lost = r == platform::WaitStatus::Failed;
                break;
            }
            DispatchEvents(s, MaskToEvents(mask));
        }
    } catch (...) {
        // A handler's exception ends the thread: no further events until the
        // port is reopened. One that came of a device gone (its read failed
        // as it went) is the loss, and reported as such.
        lost = !s->stopping && deviceGone(*s->device);
    }
    s->device->setEventMask(0);
    s->device->purge(PURGE_TXCLEAR | PURGE_RXCLEAR);
    // A close waits for this thread, so the port is still there. The port is
    // closed from here on; a close or the next open lets go of the handle and
    // of this thread.
    if (lost && !s->stopping) {
        s->port->connected_ = false;
        try {
            s->port->OnDeviceLost(s->port);
        } catch (...) {
        }
    }
}

void TComThread::DispatchEvents(const std::shared_ptr<ComThreadState>& s, TComEvents events) {
    switch (s->sync) {
    case smThreadSync:
        if (s->window) {
            s->window->deliver([s, events] { RaiseEvents(s, events); }, true);
        } else {
            RaiseEvents(s, events);
        }
        break;
    case smWindowSync:
        SendToWindow(s, events);
        break;
    case smNone:
        RaiseEvents(s, events);
        break;
    }
}

void TComThread::RaiseEvents(const std::shared_ptr<ComThreadState>& s, TComEvents events) {
    for (const auto& d : deliveryOrder) {
        // A handler may have closed the port: nothing more of this batch.
        if (s->stopping) return;
        if (!events.contains(d.event)) continue;
        TCustomComPort* port = s->port;
        switch (d.event) {
        case evError:
            port->ReportError();
            break;
        case evRxChar:
            port->ReportRxChar();
            break;
        case evTxEmpty:
            port->ReportTxEmpty();
            break;
        case evBreak:
            port->ReportBreak();
            break;
        case evRing:
            port->ReportRing();
            break;
        case evCTS:
            port->ReportCTSChange();
            break;
        case evDSR:
            port->ReportDSRChange();
            break;
        case evRxFlag:
            port->ReportRxFlag();
            break;
        case evRLSD:
            port->ReportRLSDChange();
            break;
        case evRx80Full:
            port->ReportRx80Full();
            break;
        }
    }
}

void TComThread::SendToWindow(const std::shared_ptr<ComThreadState>& s, TComEvents events) {
    for (const auto& d : deliveryOrder) {
        if (s->stopping) return;
        if (!events.contains(d.event)) continue;
        const std::uint32_t value = d.value;
        auto call = [s, value] {
            if (!s->stopping) s->port->EventWindowProc(value);
        };
        if (s->window)
            s->window->deliver(call, false);
        else
            call();
    }
}

} // namespace CPort
