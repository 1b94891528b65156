// Learning of remote signals on the simulated adapter in virtual time: per
// protocol (nominal, and as a receiver module distorts it), learn method,
// resolution, detector mode and edge jitter, seeded presses are learnt as the
// learn dialog learns them and sent again as its test send does. Each press
// is either
//   learnt right: no error text, and the whole command sent again, every
//     transmission and the pauses between them, has as many durations as the
//     remote sent, each within 5 % or 90 µs (the larger);
//   flagged: an error text (or the learn's range error);
//   a silent failure: no error text, but sent again with more or fewer
//     durations or a duration beyond 25 % or 100 µs of what the remote sent,
//     which a receiver would reject;
// the rest is learnt roughly but usably. "What the remote sent" is the
// generator's nominal press, distorted as the receiver module distorts it in
// the distorted variants.
// Then two runs of 40 learns on the simulated adapter in real time, as the
// programs run it, with the engine's defaults (method 2, standard
// resolution): an idle one, with nothing else of ours running, and a loaded
// one, while as many busy processes as the machine has cores run at normal
// priority; every other learn keeps the raw capture (Optimieren off). Each
// learnt command is judged as above, sent again on a virtual-time adapter.
// Usage: ir_learn [protocol,...] [-v] [part] to run only those protocols
// ("idle" and "loaded" name the real-time runs).
#include "bench/BusyProcesses.h"
#include "bench/LoopRate.h"
#include "engine/IrCapture.h"
#include "engine/IrLernen.h"
#include "engine/IrSend.h"
#include "engine/Sio.h"
#include "platform/Platform.h"
#include "platform/VirtualClock.h"
#include "sim/IrDetector.h"
#include "sim/IrRemote.h"
#include "sim/SimAdapter.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr sim::Ps kMs = sim::kPsPerMs;

sim::IrEmission raw100(std::uint32_t seed) {
    sim::IrEmission e;
    e.befehl.push_back(2);
    std::uint32_t x = seed * 2654435761u + 1;
    for (int i = 0; i < 99; ++i) {
        x = x * 1103515245u + 12345u;
        e.befehl.push_back(500 * (i < 8 ? 1 : 1 + static_cast<int>((x >> 16) % 6)));
    }
    e.befehl.push_back(30000);
    e.befehl.push_back(0);
    return e;
}

struct Protokoll {
    std::string name;
    std::function<sim::IrEmission(int press)> emission;
    // The protocols of the first benchmark keep its full grid of jitters
    // and press count, so that their figures compare.
    bool alt = false;
};

std::vector<Protokoll> protokolle() {
    namespace r = sim::remotes;
    auto b = [](int press) { return static_cast<std::uint8_t>(press * 37 + 11); };
    return {
        {"nec", [](int p) { return r::nec(0x04, static_cast<std::uint8_t>(p), 3); }, true},
        {"sony12", [](int p) { return r::sony12(0x01, static_cast<std::uint8_t>(p & 0x7F), 3); },
         true},
        {"rc5",
         [](int p) { return r::rc5(p % 2 == 1, 0x05, static_cast<std::uint8_t>(p & 0x3F), 2); },
         true},
        {"raw100", [](int p) { return raw100(static_cast<std::uint32_t>(p)); }, true},
        {"sharp", [b](int p) { return r::sharp(0x0A, b(p)); }},
        {"denon", [b](int p) { return r::denon(0x02, b(p)); }},
        {"recs80", [b](int p) { return r::recs80(p % 2 == 1, 0x03, b(p) & 0x3F, 2); }},
        {"samsung36", [b](int p) { return r::samsung36(0x0707, b(p), 2); }},
        {"nokia32", [b](int p) { return r::nokia32(0x1A2B0000u | b(p) << 8 | b(p + 1), 3); }},
        {"jvc", [b](int p) { return r::jvc(0x03, b(p), 3); }},
        {"nec_repeat", [b](int p) { return r::necRepeat(0x04, b(p), 3); }},
        // Keys held for most of a second: a frame, then repeat codes.
        {"nec_held", [b](int p) { return r::necRepeat(0x04, b(p), 8); }},
        {"jvc_held", [b](int p) { return r::jvc(0x03, b(p), 12); }},
        {"rca", [b](int p) { return r::rca(0x0F, b(p), 3); }},
        {"mitsubishi", [b](int p) { return r::mitsubishi(0x47, b(p), 3); }},
        {"rc6", [b](int p) { return r::rc6(p % 2 == 1, 0x00, b(p), 2); }},
    };
}

using bench::hostSeconds;

bool within(double got, double want, double share, double floorUs) {
    return std::abs(got - want) <= std::max(share * want, floorUs);
}

// The whole press as the remote sends it: every frame (or repeat code) and
// the pauses between them, nothing after the last.
std::vector<std::int32_t> ganzerDruck(const sim::IrEmission& e) {
    std::vector<std::int32_t> d;
    const std::vector<std::int32_t> first = e.frame();
    std::int64_t vorige = 0; // length of the frame before
    for (int f = 0; f < std::max(e.frames(), 1); ++f) {
        const auto& rahmen = f > 0 && !e.repeatCode.empty() ? e.repeatCode : first;
        if (f > 0)
            d.push_back(static_cast<std::int32_t>(e.framePeriodUs > 0 ? e.framePeriodUs - vorige
                                                                      : e.closingPauseUs()));
        vorige = 0;
        for (const std::int32_t x : rahmen)
            vorige += x;
        d.insert(d.end(), rahmen.begin(), rahmen.end());
    }
    return d;
}

// Sends the command through the adapter's IR sender (on a virtual clock) and
// gives back what a receiver sees: burst lengths and the pauses between them.
std::vector<double> wiederGesendet(sim::SimAdapter& adapter, platform::VirtualClock& clock,
                                   const Sio::TBefehl& b) {
    adapter.irSender->clear();
    Sio::IR_Senden(b);
    clock.advancePs(kMs);
    adapter.sync();
    const auto& bursts = adapter.irSender->bursts();
    std::vector<double> sent;
    for (std::size_t i = 0; i < bursts.size(); ++i) {
        sent.push_back(static_cast<double>(bursts[i].lengthPs()) / 1e6);
        if (i + 1 < bursts.size())
            sent.push_back(
                static_cast<double>(bursts[i + 1].start - bursts[i].start - bursts[i].lengthPs()) /
                1e6);
    }
    return sent;
}

// The presses of one figure: learnt right, flagged, silent failures (see the
// top); with verbose, why a press was flagged, which durations of a rough
// one are off (and whether the learn kept the raw capture), or how it failed.
struct Zaehlung {
    int right = 0, flagged = 0, silent = 0;

    void zaehlen(const std::string& name, int press, bool ok, const std::string& fehler,
                 const Sio::TBefehl& b, const std::vector<double>& sent,
                 const std::vector<std::int32_t>& want, bool verbose) {
        if (!ok) {
            ++flagged;
            if (verbose) std::printf("%s press %d: %s\n", name.c_str(), press, fehler.c_str());
            return;
        }
        bool fine = sent.size() == want.size();
        bool usable = fine;
        for (std::size_t i = 0; usable && i < want.size(); ++i) {
            fine = fine && within(sent[i], want[i], 0.05, 90.0);
            usable = within(sent[i], want[i], 0.25, 100.0);
        }
        if (fine) ++right;
        if (usable && !fine && verbose) {
            // Learnt roughly: which durations, how far off.
            std::printf("%s press %d roughly (b0 %d):", name.c_str(), press, b[0]);
            for (std::size_t i = 0; i < want.size(); ++i)
                if (!within(sent[i], want[i], 0.05, 90.0))
                    std::printf(" %zu: %.0f for %d;", i + 1, sent[i], want[i]);
            std::printf("\n");
        }
        if (usable) return;
        ++silent;
        if (!verbose) return;
        std::printf("%s press %d (b0 %d, %zu sent, %zu sent by the remote):\n", name.c_str(), press,
                    b[0], sent.size(), want.size());
        for (std::size_t i = 0; i < std::max(want.size(), sent.size()); ++i)
            std::printf("  %zu: want %d sent %.0f\n", i + 1, i < want.size() ? want[i] : -1,
                        i < sent.size() ? sent[i] : -1.0);
    }
};

// 40 learns on the simulated adapter in real time, with as many busy
// processes as the machine has cores or none; see the top.
void echtzeit(const std::string& name, bool belastet, bool verbose) {
    constexpr int kLearns = 40;
    // A learn whose captures the load tears keeps watching: the run stops
    // early rather than take minutes.
    constexpr double kBudgetSeconds = 100.0;
    const unsigned cores = belastet ? std::max(1u, std::thread::hardware_concurrency()) : 0;
    platform::RealClock host;
    platform::VirtualClock vclock;
    sim::SimAdapter virt(vclock);

    Sio::SIO_Init();
    const std::int32_t drehg = Sio::Drehg_mSec;
    // The simulated PC's delay loop, as the program measures it at start.
    Sio::Drehg_mSec =
        static_cast<std::int32_t>(bench::loopTurnsPerMs(sim::SimAdapter(host).clock, 50000000, 1));
    const double start = hostSeconds();
    int learns = 0;
    Zaehlung z;
    {
        bench::BusyProcesses last(cores, kBudgetSeconds + 20.0);
        for (; learns < kLearns && hostSeconds() - start < kBudgetSeconds; ++learns) {
            const int press = learns;
            const auto cmd = static_cast<std::uint8_t>(press * 37 + 11);
            const sim::IrEmission e = press % 3 == 0 ? sim::remotes::nec(0x04, cmd, 3)
                                      : press % 3 == 1
                                          ? sim::remotes::sony12(0x01, cmd & 0x7F, 3)
                                          : sim::remotes::rc5(press % 2 == 1, 0x05, cmd & 0x3F, 2);
            const bool optimieren = press % 2 == 0;
            // A fresh adapter and remote for each learn, so that no press
            // is left over for the next. The key is pressed 150 ms after the
            // learn chose the detector's channel, while the capture watches
            // the detector, and again every 4 s, as a user does while the
            // learn goes on watching (after a capture it threw away as a
            // fragment).
            sim::SimAdapter rt(host);
            auto device = sim::attachIrDetector(rt, {}, false);
            for (std::int64_t delayUs = 150000; delayUs < 60000000; delayUs += 4000000)
                device->remote().pressOnChannel3(e, delayUs);
            Sio::TBefehl b{};
            std::string code, fehler, kommentar;
            bool ok = false;
            {
                platform::ScopedBackends use(&rt.bus, &rt.clock);
                try {
                    ok = Sio::IR_Befehl_Lernen(b, code, fehler, kommentar, optimieren, "");
                } catch (const std::exception&) {
                    ok = false;
                }
            }
            std::vector<double> sent;
            if (ok) {
                platform::ScopedBackends use(&virt.bus, &vclock);
                const std::int32_t d = Sio::Drehg_mSec;
                Sio::Drehg_mSec = drehg; // the virtual PC's loop
                sent = wiederGesendet(virt, vclock, b);
                Sio::Drehg_mSec = d;
            }
            z.zaehlen(name + (optimieren ? " optimised" : " raw"), press, ok, fehler, b, sent,
                      ganzerDruck(e), verbose);
        }
    }
    const char* n = name.c_str();
    if (belastet) std::printf("ir_learn.%s_busy_processes: %u\n", n, cores);
    std::printf("ir_learn.%s_learnt_right: %d of %d\n", n, z.right, learns);
    std::printf("ir_learn.%s_flagged: %d of %d\n", n, z.flagged, learns);
    std::printf("ir_learn.%s_silent_failures: %d of %d\n", n, z.silent, learns);
    std::printf("ir_learn.%s_run_time: %.1f s\n", n, hostSeconds() - start);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? "," + std::string(argv[1]) + "," : "";
    const bool verbose = argc > 2 && std::string(argv[2]) == "-v";
    const std::string part = argc > 3 ? argv[3] : "";
    const double start = hostSeconds();
    platform::VirtualClock clock;
    sim::SimAdapter adapter(clock, 0x3F8);
    platform::ScopedBackends use(&adapter.bus, &clock);
    Sio::SIO_Init();
    auto device = sim::attachIrDetector(adapter, {}, false);

    for (const Protokoll& proto : protokolle())
        for (bool distorted : {false, true}) {
            if (!only.empty() && only.find("," + proto.name + ",") == std::string::npos) continue;
            const bool voll = proto.alt && !distorted;
            const int presses = voll ? 50 : 20;
            const std::vector<int> jitters =
                voll ? std::vector<int>{0, 30, 60, 100} : std::vector<int>{0, 60};
            for (int methode : {1, 2})
                for (int aufl : {0, 1})
                    for (bool carrier : {false, true})
                        for (int jitter : jitters) {
                            const std::string name =
                                "ir_learn." + proto.name + (distorted ? ".distorted" : "") + ".m" +
                                std::to_string(methode) + (aufl == 1 ? ".hires" : ".std") +
                                (carrier ? ".carrier" : ".envelope") + ".j" +
                                std::to_string(jitter);
                            if (name.find(part) == std::string::npos) continue;
                            device->detector().setConfig({carrier ? sim::IrDetector::Mode::Carrier
                                                                  : sim::IrDetector::Mode::Envelope,
                                                          carrier ? 0 : 80, true});
                            Sio::Abfallzeit_IR_Detektor = carrier ? 0 : 80;
                            Sio::IR_Methode = methode;
                            Sio::IR_Aufloesung = aufl;
                            device->remote().setJitterUs(jitter);
                            Zaehlung z;
                            for (int press = 0; press < presses; ++press) {
                                device->remote().reseed(static_cast<std::uint64_t>(press) * 7919 +
                                                        17);
                                auto e = proto.emission(press);
                                if (distorted)
                                    e = sim::remotes::receiverDistorted(e, 50 + (press * 37) % 101);
                                const auto want = ganzerDruck(e);
                                device->remote().press(e, clock.nowPs() + 60 * kMs);
                                Sio::TBefehl b{};
                                std::string code, fehler, kommentar;
                                bool ok = false;
                                try {
                                    ok =
                                        Sio::IR_Befehl_Lernen(b, code, fehler, kommentar, true, "");
                                } catch (const std::exception&) {
                                    ok = false;
                                }
                                clock.advancePs(300 * kMs);
                                adapter.sync();
                                const std::vector<double> sent =
                                    ok ? wiederGesendet(adapter, clock, b) : std::vector<double>{};
                                z.zaehlen(name, press, ok, fehler, b, sent, want, verbose);
                            }
                            auto pct = [&](int k) { return 100.0 * k / presses; };
                            std::printf("%s.learnt_right: %.0f %%\n", name.c_str(), pct(z.right));
                            std::printf("%s.flagged: %.0f %%\n", name.c_str(), pct(z.flagged));
                            std::printf("%s.silent_failures: %.0f %%\n", name.c_str(),
                                        pct(z.silent));
                            std::fflush(stdout);
                        }
        }
    for (const bool belastet : {false, true}) {
        const std::string name = belastet ? "loaded" : "idle";
        if (only.empty() || only.find("," + name + ",") != std::string::npos)
            echtzeit(name, belastet, verbose);
    }
    std::printf("ir_learn.run_time: %.1f s\n", hostSeconds() - start);
    return 0;
}
