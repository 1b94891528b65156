// Learning of remote signals on the simulated adapter in virtual time: per
// protocol (nominal, and as a receiver module distorts it), learn method,
// resolution, detector mode and edge jitter, seeded presses are learnt as the
// learn dialog learns them and sent again as its test send does. Each press
// is either
//   learnt right: no error text, and the first frame (and, when repeated, the
//     gap after it) sent again with every duration within 5 % or 90 µs (the
//     larger) of what the remote sent;
//   flagged: an error text (or the learn's range error);
//   a silent failure: no error text, but sent again with fewer durations or
//     a duration beyond 25 % or 100 µs of what the remote sent, which a
//     receiver would reject;
// the rest is learnt roughly but usably. "What the remote sent" is the
// generator's nominal frame, distorted as the receiver module distorts it in
// the distorted variants.
// Usage: ir_learn [protocol,...] to run only those protocols.
#include "engine/IrCapture.h"
#include "engine/IrLernen.h"
#include "engine/IrSend.h"
#include "engine/Sio.h"
#include "platform/Platform.h"
#include "platform/VirtualClock.h"
#include "sim/IrDetector.h"
#include "sim/IrRemote.h"
#include "sim/SimAdapter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
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
        {"rca", [b](int p) { return r::rca(0x0F, b(p), 3); }},
        {"mitsubishi", [b](int p) { return r::mitsubishi(0x47, b(p), 3); }},
        {"rc6", [b](int p) { return r::rc6(p % 2 == 1, 0x00, b(p), 2); }},
    };
}

double hostSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

bool within(double got, double want, double share, double floorUs) {
    return std::abs(got - want) <= std::max(share * want, floorUs);
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
                            int right = 0, flagged = 0, silent = 0;
                            for (int press = 0; press < presses; ++press) {
                                device->remote().reseed(static_cast<std::uint64_t>(press) * 7919 +
                                                        17);
                                auto e = proto.emission(press);
                                if (distorted)
                                    e = sim::remotes::receiverDistorted(e, 50 + (press * 37) % 101);
                                auto want = e.frame();
                                want.push_back(e.closingPauseUs());
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
                                if (!ok) {
                                    if (verbose)
                                        std::printf("%s press %d: %s\n", name.c_str(), press,
                                                    fehler.c_str());
                                    ++flagged;
                                    continue;
                                }
                                std::size_t n = 0;
                                while (n + 1 < b.size() && b[n + 1] != 0)
                                    ++n;
                                // Sent again: what a receiver sees of the first frame and
                                // its gap.
                                adapter.irSender->clear();
                                Sio::IR_Senden(b);
                                clock.advancePs(kMs);
                                adapter.sync();
                                const auto& bursts = adapter.irSender->bursts();
                                std::vector<double> sent;
                                for (std::size_t i = 0; i < bursts.size(); ++i) {
                                    sent.push_back(static_cast<double>(bursts[i].lengthPs()) / 1e6);
                                    if (i + 1 < bursts.size())
                                        sent.push_back(static_cast<double>(bursts[i + 1].start -
                                                                           bursts[i].start -
                                                                           bursts[i].lengthPs()) /
                                                       1e6);
                                }
                                // A single frame has no gap after it to measure.
                                const std::size_t check = b[0] >= 2 ? want.size() : want.size() - 1;
                                bool fine = n == want.size() && sent.size() >= check;
                                bool usable = sent.size() >= check;
                                for (std::size_t i = 0; usable && i < check; ++i) {
                                    fine = fine && within(sent[i], want[i], 0.05, 90.0);
                                    usable = within(sent[i], want[i], 0.25, 100.0);
                                }
                                if (fine)
                                    ++right;
                                else if (!usable) {
                                    ++silent;
                                    if (verbose) {
                                        std::printf("%s press %d (b0 %d, n %zu):\n", name.c_str(),
                                                    press, b[0], n);
                                        for (std::size_t i = 0; i < want.size(); ++i)
                                            std::printf("  %zu: want %d learnt %d sent %.0f\n",
                                                        i + 1, want[i], b[i + 1],
                                                        i < sent.size() ? sent[i] : -1.0);
                                    }
                                }
                            }
                            auto pct = [&](int k) { return 100.0 * k / presses; };
                            std::printf("%s.learnt_right: %.0f %%\n", name.c_str(), pct(right));
                            std::printf("%s.flagged: %.0f %%\n", name.c_str(), pct(flagged));
                            std::printf("%s.silent_failures: %.0f %%\n", name.c_str(), pct(silent));
                            std::fflush(stdout);
                        }
        }
    std::printf("ir_learn.run_time: %.1f s\n", hostSeconds() - start);
    return 0;
}
