#pragma once
// The simulated adapter's time line: timed events processed lazily in time
// order. Time is an integer count of picoseconds on the clock seam
// (platform::Clock::nowPs()), fine enough that character timings computed from
// a character's start never drift (a 115200-baud bit is 8,680,555.6 ps).
//
// Nothing runs by itself: the port bus calls runUntil(clock.nowPs()) before
// each register access, and a caller may ask for the same at any time
// (SimAdapter::sync()). Events at equal times run in the order they were
// scheduled, so a run is deterministic on the virtual clock.

#include <cstdint>
#include <functional>
#include <unordered_set>
#include <vector>

namespace sim {

using Ps = std::int64_t;

inline constexpr Ps kPsPerUs = 1000000;
inline constexpr Ps kPsPerMs = 1000000000;
inline constexpr Ps kPsPerSecond = 1000000000000;

class EventQueue {
public:
    using Handler = std::function<void()>;
    using EventId = std::uint64_t;

    explicit EventQueue(Ps start = 0) : now_(start) {}
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    // The current simulated time: while an event runs, its own time; otherwise
    // the latest time the queue was run up to.
    Ps now() const { return now_; }

    // Runs handler at time at; a time in the past counts as now. Handlers may
    // schedule further events, also at the current time.
    EventId schedule(Ps at, Handler handler);
    // An event that has not run yet will not run. Unknown ids are ignored.
    void cancel(EventId id);

    // Processes every event due at or before t, in time order, then sets now
    // to t (time never goes back). A call from inside a handler returns at once.
    void runUntil(Ps t) {
        if (running_) return;
        if (heap_.empty() || heap_.front().at > t) {
            if (t > now_) now_ = t;
            return;
        }
        runDue(t);
    }

    std::size_t pending() const { return heap_.size() - cancelled_.size(); }
    // Time of the next pending event; -1 when none.
    Ps nextTime() const;
    std::uint64_t processed() const { return processed_; }

private:
    struct Event {
        Ps at;
        EventId id;
        Handler handler;
    };
    struct Later {
        bool operator()(const Event& a, const Event& b) const {
            return a.at != b.at ? a.at > b.at : a.id > b.id;
        }
    };

    void runDue(Ps t);

    std::vector<Event> heap_;
    std::unordered_set<EventId> cancelled_;
    Ps now_;
    EventId nextId_ = 1;
    std::uint64_t processed_ = 0;
    bool running_ = false;
};

} // namespace sim
