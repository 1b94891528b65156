// Figures of the host clock backend: the busy-wait loop's turns per
// millisecond at three loop lengths (linear scaling shows the loop was kept as
// written) and the cost of one performance-counter read.
#include "bench/LoopRate.h"
#include "platform/Clock.h"

#include <cstdio>
#include <ctime>

namespace {
double hostSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
} // namespace

int main() {
    platform::RealClock clock;
    for (int turns : {100000, 1000000, 10000000})
        std::printf("loop_turns_per_ms_at_%d: %.0f turns/ms\n", turns,
                    bench::loopTurnsPerMs(clock, turns));
    const int reads = 2000000;
    std::int64_t sink = 0;
    const double t0 = hostSeconds();
    for (int i = 0; i < reads; ++i)
        sink += clock.performanceCounter();
    const double ns = (hostSeconds() - t0) * 1e9 / reads;
    std::printf("counter_read_cost: %.1f ns\n", ns);
    return sink == 42 ? 1 : 0;
}
