// Calibration recovery: the timing calibration runs on the simulated adapter
// on a virtual clock set to a given PC (loop turns per ms, port reads per
// second); prints the recovered rates and their error against the set ones.

#include "bench/LoopRate.h"
#include "engine/Debug.h"
#include "engine/Sio.h"
#include "engine/Timing.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/VirtualClock.h"
#include "sim/SimAdapter.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

double errorPercent(std::int64_t got, std::int64_t want) {
    return 100.0 * static_cast<double>(got - want) / static_cast<double>(want);
}

// The passes' rates (rows 1 on of the protocol's table) and their mean.
struct Protokoll {
    std::vector<long long> rates;
    long long mean = 0;
    long long loop = 0; // the loop's own rate as the calibration traced it
    long long lo() const {
        return rates.empty() ? 0 : *std::min_element(rates.begin(), rates.end());
    }
    long long hi() const {
        return rates.empty() ? 0 : *std::max_element(rates.begin(), rates.end());
    }
    double spread() const {
        return hi() == 0 ? 0 : 100.0 * static_cast<double>(hi() - lo()) / hi();
    }
};

Protokoll lies_Protokoll(const Dbg_disp::DebugMemo& memo) {
    Protokoll pr;
    bool table = false;
    for (const std::string& l : memo.lines) {
        if (l.rfind("Nr.  Ergebn.", 0) == 0) {
            table = true;
            continue;
        }
        if (table && l.rfind("Vorgabe 1", 0) == 0) table = false;
        std::istringstream in(l);
        std::vector<long long> cells;
        long long v = 0;
        while (in >> v)
            cells.push_back(v);
        if (table && cells.size() == 6 && cells[0] >= 1) pr.rates.push_back(cells[5]);
        const auto colon = l.rfind("(=Drehg_msec):");
        if (colon != std::string::npos) pr.mean = std::atoll(l.c_str() + colon + 14);
        const std::string allein = "Schleife allein, Umdrhg pro ms :";
        if (l.rfind(allein, 0) == 0) pr.loop = std::atoll(l.c_str() + allein.size());
    }
    return pr;
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
    Dbg_disp::DebugMemo memo;
    Dbg_disp::setDebugSink(&memo);
    Dbg_disp::Debug_An = true;
    const auto wall0 = std::chrono::steady_clock::now();
    const auto result = Sio::Bestimme_Drehzahl(passes, deviation, quota, error);
    Dbg_disp::Debug_An = false;
    Dbg_disp::setDebugSink(nullptr);
    const Protokoll pr = lies_Protokoll(memo);
    std::printf("%s_pass_spread: %.2f %%\n", name, pr.spread());
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

// The whole calibration on the simulated adapter in real time, as a user
// without the adapter runs it: its result against the loop's own rate (as
// bench/clock_real measures it, the faster of just before and just after the
// run, and as the calibration traces it), the spread of its passes, and
// whether the plausibility bounds refused it.
void realTime(int run) {
    const std::string name = "real" + std::to_string(run);
    platform::RealClock clock;
    sim::SimAdapter adapter(clock);
    const double before = bench::loopTurnsPerMs(adapter.clock, 10000000);
    platform::ScopedBackends use(&adapter.bus, &adapter.clock);
    Sio::SIO_Init();
    Dbg_disp::DebugMemo memo;
    Dbg_disp::setDebugSink(&memo);
    Dbg_disp::Debug_An = true;
    std::int32_t passes = 0, deviation = 0, quota = 0;
    std::string error;
    std::int32_t result = 0;
    Sio::Messergebnis gemessen;
    const auto wall0 = std::chrono::steady_clock::now();
    try {
        result = Sio::Bestimme_Drehzahl(passes, deviation, quota, error, gemessen);
    } catch (const std::exception& e) {
        error = e.what();
        result = -3;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    Dbg_disp::Debug_An = false;
    Dbg_disp::setDebugSink(nullptr);
    const double loop = std::max(before, bench::loopTurnsPerMs(adapter.clock, 10000000));
    const Protokoll pr = lies_Protokoll(memo);
    const char* n = name.c_str();
    std::printf("%s_result: %d passes\n", n, result);
    std::printf("%s_drehg_msec: %lld turns/ms\n", n, pr.mean);
    std::printf("%s_loop_rate: %.0f turns/ms\n", n, loop);
    std::printf("%s_ratio: %.1f %%\n", n, 100.0 * static_cast<double>(pr.mean) / loop);
    std::printf("%s_engine_loop_rate: %lld turns/ms\n", n, pr.loop);
    std::printf("%s_engine_ratio: %.1f %%\n", n,
                pr.loop == 0 ? 0.0 : 100.0 * static_cast<double>(pr.mean) / pr.loop);
    std::printf("%s_pass_spread: %.1f %%\n", n, pr.spread());
    std::printf("%s_slowest_pass: %lld turns/ms\n", n, pr.lo());
    std::printf("%s_fastest_pass: %lld turns/ms\n", n, pr.hi());
    std::printf("%s_anfragen_sec: %d reads/s\n", n, gemessen.Anfragen_Sec);
    std::printf("%s_refused: %d\n", n, result == -2 ? 1 : 0);
    std::printf("%s_wall_time: %.1f s\n", n, wall);
    if (!error.empty()) std::printf("%s_error: %s\n", n, error.c_str());
    std::fflush(stdout);
}

} // namespace

// With a number n as argument: n calibrations on the simulated adapter in
// real time (about 30 s each) instead of the virtual-clock figures.
int main(int argc, char** argv) {
    if (argc > 1) {
        const int n = std::max(1, std::atoi(argv[1]));
        for (int run = 1; run <= n; ++run)
            realTime(run);
        return 0;
    }
    full("cal_default", 95000, 700000);
    full("cal_fast", 3000000, 3000000);
    full("cal_mixed", 400000, 12000000);
    onePass("pass_30M", 30000000);
    return 0;
}
