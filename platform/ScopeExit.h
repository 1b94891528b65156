#pragma once
// Runs a function when the scope ends, on every path: handlers use it to give
// back what they switched (priority, cursor, timers).

#include <utility>

namespace platform {

template <class F> class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ~ScopeExit() {
        if (active_) f_();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    void dismiss() { active_ = false; }

private:
    F f_;
    bool active_ = true;
};

} // namespace platform
