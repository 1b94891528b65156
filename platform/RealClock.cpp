#include "platform/Clock.h"

#include <ctime>

namespace platform {

namespace {
std::int64_t hostNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Counted from the start of the process, so that picoseconds (and the
// counter derived from them) stay far from overflow whatever the host's
// uptime; the tick count keeps the host's own base, as a tick count does.
const std::int64_t startNs = hostNs();

std::int64_t monotonicNs() {
    return hostNs() - startNs;
}
} // namespace

std::int64_t RealClock::performanceCounter() {
    return psToCounter(monotonicNs() * 1000);
}

std::uint32_t RealClock::tickCount() {
    return static_cast<std::uint32_t>(hostNs() / 1000000);
}

void RealClock::sleepMs(std::uint32_t ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

// The loop whose rate the timing calibration measures; written in assembly so
// that no optimiser can remove, unroll or vectorise it.
void RealClock::spin(std::int32_t turns) {
    if (turns <= 0) return;
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("1:\n\tdec %0\n\tjnz 1b" : "+r"(turns) : : "cc");
#else
    volatile std::int32_t n = turns;
    while (n > 0)
        n = n - 1;
#endif
}

std::int64_t RealClock::nowPs() {
    return monotonicNs() * 1000;
}

} // namespace platform
