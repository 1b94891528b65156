#pragma once
// One guard around every GUI handler: an error ends the handler's operation
// and is shown through the prompts layer. What the handler switched comes
// back by the RAII objects of the handler itself (platform/ScopeExit.h).

#include <exception>
#include <utility>

namespace platform {

// Shows the exception in flight; never throws.
void showCurrentException() noexcept;

template <class F> void guarded(F&& f) noexcept {
    try {
        std::forward<F>(f)();
    } catch (...) {
        showCurrentException();
    }
}

} // namespace platform
