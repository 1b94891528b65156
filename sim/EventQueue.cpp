#include "sim/EventQueue.h"

#include <algorithm>

namespace sim {

EventQueue::EventId EventQueue::schedule(Ps at, Handler handler) {
    const EventId id = nextId_++;
    heap_.push_back(Event{at < now_ ? now_ : at, id, std::move(handler)});
    std::push_heap(heap_.begin(), heap_.end(), Later{});
    return id;
}

void EventQueue::cancel(EventId id) {
    for (const Event& e : heap_)
        if (e.id == id) {
            cancelled_.insert(id);
            return;
        }
}

Ps EventQueue::nextTime() const {
    // Cancelled events may sit at the top; they are rare, so a scan is fine.
    Ps best = -1;
    for (const Event& e : heap_)
        if (!cancelled_.count(e.id) && (best < 0 || e.at < best)) best = e.at;
    return best;
}

void EventQueue::runDue(Ps t) {
    running_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{running_};
    while (!heap_.empty() && heap_.front().at <= t) {
        std::pop_heap(heap_.begin(), heap_.end(), Later{});
        Event e = std::move(heap_.back());
        heap_.pop_back();
        if (!cancelled_.empty() && cancelled_.erase(e.id)) continue;
        if (e.at > now_) now_ = e.at;
        ++processed_;
        e.handler();
    }
    if (t > now_) now_ = t;
}

} // namespace sim
