// Calibration recovery: the timing calibration runs on the simulated adapter
// on a virtual clock set to a given PC (loop turns per ms, port reads per
// second); prints the recovered rates and their error against the set ones.

#include "engine/Debug.h"
#include "engine/Sio.h"
#include "engine/Timing.h"
#include "platform/Platform.h"
#include "platform/VirtualClock.h"
#include "sim/SimAdapter.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

double errorPercent(std::int64_t got, std::int64_t want) {
    return 100.0 * static_cast<double>(got - want) / static_cast<double>(want);
}

void full(const char* name, std::int64_t turnsPerMs, std::int64_t readsPerSecond) {
    platform::VirtualClock::Costs costs;
    costs.loopTurnsPerMs = turnsPerMs;
    costs.portAccessesPerSecond = readsPerSecond;
    platform::VirtualClock clock(costs);
    sim::SimAdapter adapter(clock);
    platform::ScopedBackends use(&adapter.bus, &clock);
    Sio::SIO_Init();
    std::int32_t passes = 0, deviation = 0, quota = 0;
    std::string error;
    const auto wall0 = std::chrono::steady_clock::now();
    const auto result = Sio::Bestimme_Drehzahl(passes, deviation, quota, error);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    std::printf("%s_result: %d passes\n", name, result);
    std::printf("%s_drehg_msec: %d turns/ms\n", name, Sio::Drehg_mSec);
    std::printf("%s_drehg_msec_error: %.3f %%\n", name, errorPercent(Sio::Drehg_mSec, turnsPerMs));
    std::printf("%s_anfragen_sec: %d reads/s\n", name, Sio::Anfragen_Sec);
    std::printf("%s_anfragen_sec_error: %.3f %%\n", name,
                errorPercent(Sio::Anfragen_Sec, readsPerSecond));
    std::printf("%s_deviation: %d turns/ms\n", name, deviation);
    std::printf("%s_simulated_time: %.2f s\n", name, clock.nowUs() / 1e6);
    std::printf("%s_wall_time: %.2f s\n", name, wall);
}

void onePass(const char* name, std::int64_t readsPerSecond) {
    platform::VirtualClock::Costs costs;
    costs.portAccessesPerSecond = readsPerSecond;
    platform::VirtualClock clock(costs);
    sim::SimAdapter adapter(clock);
    platform::ScopedBackends use(&adapter.bus, &clock);
    Sio::SIO_Init();
    std::int32_t rps = 0, count = 0;
    Sio::Zeichenzeit_messen(0, rps, count);
    std::printf("%s_reads_per_second: %d reads/s\n", name, rps);
    std::printf("%s_reads_per_second_error: %.3f %%\n", name, errorPercent(rps, readsPerSecond));
}

} // namespace

int main() {
    full("cal_default", 95000, 700000);
    full("cal_fast", 3000000, 3000000);
    full("cal_mixed", 400000, 12000000);
    onePass("pass_30M", 30000000);
    return 0;
}
