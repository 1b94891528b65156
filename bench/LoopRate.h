#pragma once
// The delay loop's turns per millisecond on a clock, as the host's monotonic
// clock times it: the median of `runs` runs of `turns` turns. On the
// simulated adapter's clock it is the simulated PC's loop that is timed.
#include "platform/Clock.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

inline double loopTurnsPerMs(platform::Clock& clock, int turns, int runs = 7) {
    std::vector<double> rates;
    for (int run = 0; run < runs; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        clock.spin(turns);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        rates.push_back(turns / ms);
    }
    std::sort(rates.begin(), rates.end());
    return rates[rates.size() / 2];
}

} // namespace bench
