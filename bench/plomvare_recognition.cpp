// Plomvare's recognition of learnt bursts under timing jitter: recognition
// rate, wrong and missed commands, and the latency from a burst's first
// character to its command, on the virtual time line of the receive batches
// and the 250 ms evaluation tick. Also the cost of one evaluation tick with a
// full comparison window, and the store and load of a remote file with 30
// full slots. Prints "name: value unit" lines.
#include "platform/IniFile.h"
#include "playerremote/Recognition.h"
#include "playerremote/RemoteFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr std::int64_t kZeichen = 7159; // about 6 ms per character
constexpr std::int64_t kFrame = 53693;  // about 45 ms between frames
constexpr std::int64_t kTick = 298296;  // 250 ms
constexpr double kTicksPerMs = 1193.182;

struct Host : pmp3p::RemoteHost {
    bool lernen = false;
    bool timer1 = false;
    std::vector<std::int32_t> klicks;
    bool anzeige() const override { return false; }
    bool lernmodus() const override { return lernen; }
    bool shutdownPerStop() const override { return false; }
    void zeigeAuswertungen(std::int32_t) override {}
    void memo1Leeren() override {}
    void memo1Zeile(const std::string&) override {}
    void memo2Leeren() override {}
    void memo2Zeile(const std::string&) override {}
    void countdownZeigen(const pmp3p::Countdown&) override {}
    void timer1Aus() override { timer1 = false; }
    void knopfKlick(pmp3p::Befehl b) override { klicks.push_back(static_cast<std::int32_t>(b)); }
    void meldung(const std::string&) override {}
    void beep() override {}
    void playerBeenden() override {}
    void timer2An() override {}
    bool herunterfahren(std::int32_t&) override { return false; }
    void fensterSchliessen() override {}
};

struct Batch {
    std::int64_t stamp;
    std::vector<std::uint8_t> bytes;
};

using Frame = std::vector<std::uint8_t>;

// Characters of `frames` frames; each gap jittered by up to `jitter` of its
// length; with probability `grouping` a character arrives with the one before.
std::vector<Batch> burst(std::mt19937& rng, std::int64_t start, const Frame& f, int frames,
                         double jitter, double grouping, std::int64_t frameGap = kFrame) {
    std::uniform_real_distribution<double> u(-1.0, 1.0), p(0.0, 1.0);
    std::vector<Batch> out;
    std::int64_t t = start;
    for (int n = 0; n < frames; ++n) {
        if (n > 0)
            t += static_cast<std::int64_t>(static_cast<double>(frameGap) * (1.0 + 0.2 * u(rng)));
        for (std::size_t i = 0; i < f.size(); ++i) {
            if (i > 0) {
                if (p(rng) < grouping) {
                    out.back().bytes.push_back(f[i]);
                    continue;
                }
                t += static_cast<std::int64_t>(kZeichen * (1.0 + jitter * u(rng)));
            }
            out.push_back({t, {f[i]}});
        }
    }
    return out;
}

// Plays the batches as the window does; returns the time of the first
// command, or -1.
std::int64_t play(pmp3p::Erkennung& e, Host& h, const std::vector<Batch>& bs, std::int64_t& next) {
    std::int64_t fired = -1;
    const auto tick = [&] {
        const std::size_t before = h.klicks.size();
        e.tick(next, h);
        if (fired < 0 && (h.klicks.size() > before || (h.lernen && !e.Bereit))) fired = next;
        next += kTick;
    };
    for (const Batch& b : bs) {
        while (h.timer1 && next <= b.stamp)
            tick();
        if (!h.timer1) {
            h.timer1 = true;
            next = b.stamp + kTick;
        }
        e.empfange(b.stamp, b.bytes.data(), static_cast<int>(b.bytes.size()));
    }
    for (int guard = 0; h.timer1 && guard < 100; ++guard)
        tick();
    return fired;
}

} // namespace

int main() {
    std::mt19937 rng(20020429);
    std::uniform_int_distribution<int> byte(1, 255), len(4, 8);

    // Nine keys of one remote, each learnt from a clean burst of three frames.
    pmp3p::Erkennung e;
    Host h;
    std::vector<Frame> keys(10);
    for (int k = 1; k <= 9; ++k) {
        Frame f(static_cast<std::size_t>(len(rng)));
        for (auto& b : f)
            b = static_cast<std::uint8_t>(byte(rng));
        keys[static_cast<std::size_t>(k)] = f;
    }
    std::int64_t t = 10000000, next = 0;
    h.lernen = true;
    for (int k = 1; k <= 9; ++k) {
        play(e, h, burst(rng, t, keys[static_cast<std::size_t>(k)], 3, 0.0, 0.0), next);
        e.lerne(static_cast<pmp3p::Befehl>(k), "key");
        t = next + 2000000;
    }
    h.lernen = false;

    std::uniform_int_distribution<int> key(1, 9), frames(2, 6);
    std::uniform_int_distribution<std::int64_t> phase(0, kTick);
    const int kBursts = 1000;
    // Presses of a number of frames given by `anzahl`, each a key at random;
    // prints the figures under `name`.
    const auto reihe = [&](const char* name, std::int64_t frameGap, double jitter, double grouping,
                           const std::function<int()>& anzahl) {
        int richtig = 0, falsch = 0, verpasst = 0;
        std::vector<double> latenz;
        for (int i = 0; i < kBursts; ++i) {
            const int k = key(rng);
            h.klicks.clear();
            const std::int64_t start = t + phase(rng);
            const std::int64_t at = play(e, h,
                                         burst(rng, start, keys[static_cast<std::size_t>(k)],
                                               anzahl(), jitter, grouping, frameGap),
                                         next);
            t = next + 2000000;
            if (h.klicks.empty()) {
                ++verpasst;
            } else if (h.klicks.front() == k) {
                ++richtig;
                latenz.push_back(static_cast<double>(at - start) / kTicksPerMs);
            } else {
                ++falsch;
            }
        }
        double mean = 0, max = 0;
        for (double l : latenz) {
            mean += l;
            max = std::max(max, l);
        }
        if (!latenz.empty()) mean /= static_cast<double>(latenz.size());
        std::printf("recognition_rate_%s: %.1f %%\n", name, 100.0 * richtig / kBursts);
        std::printf("wrong_command_%s: %d count\n", name, falsch);
        std::printf("missed_%s: %d count\n", name, verpasst);
        std::printf("latency_mean_%s: %.1f ms\n", name, mean);
        std::printf("latency_max_%s: %.1f ms\n", name, max);
    };
    // Frames 45 ms apart as learnt, and frames only three characters apart.
    for (std::int64_t frameGap : {kFrame, 3 * kZeichen})
        for (double jitter : {0.0, 0.25, 0.5, 0.9}) {
            for (double grouping : {0.0, 0.3}) {
                char name[80];
                std::snprintf(name, sizeof name, "framegap%dms_jitter%02d_grouping%02d",
                              static_cast<int>(static_cast<double>(frameGap) / kTicksPerMs + 0.5),
                              static_cast<int>(jitter * 100), static_cast<int>(grouping * 100));
                reihe(name, frameGap, jitter, grouping, [&] { return frames(rng); });
            }
        }
    // Short and long presses: 2, 3 and 5 frames.
    for (int n : {2, 3, 5})
        for (double jitter : {0.0, 0.25, 0.5}) {
            char name[80];
            std::snprintf(name, sizeof name, "frames%d_jitter%02d", n,
                          static_cast<int>(jitter * 100));
            reihe(name, kFrame, jitter, 0.0, [n] { return n; });
        }

    // One evaluation tick over a full window of 350 positions against 30
    // slots that all pass the gap test.
    pmp3p::Erkennung full;
    for (int s = 1; s <= 30; ++s) {
        auto& f = full.Faecher[static_cast<std::size_t>(s)];
        f[0] = 97;
        f[1] = 1;
        f[2] = 1;
        for (int i = 3; i <= 97; ++i)
            f[static_cast<std::size_t>(i)] = 7;
    }
    Host quiet;
    const int kRuns = 200;
    double total = 0;
    std::int64_t now = 1000000000;
    for (int r = 0; r < kRuns; ++r) {
        pmp3p::ReceiveBuffer& b = full.Empfang;
        (void)b.endIfSilent(now + pmp3p::kBurstEnde * 10);
        full.Alte_Anzahl = 0;
        now += pmp3p::kBurstEnde * 20;
        for (int i = 0; i < 350; ++i) {
            const std::uint8_t v = 7;
            full.empfange(now + i * 200, &v, 1);
        }
        const auto a = std::chrono::steady_clock::now();
        full.tick(now + 350 * 200, quiet);
        total +=
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - a).count();
    }
    std::printf("tick_cost_full_window: %.1f us\n", total / kRuns);

    // A remote file with 30 full slots: the store after one learn press (one
    // slot changed) and a load, each the median of several runs.
    std::string vorlage =
        (std::filesystem::temp_directory_path() / "plomvare-bench-XXXXXX").string();
    if (::mkdtemp(vorlage.data()) == nullptr) return 1;
    const std::filesystem::path ordner = vorlage;
    const std::filesystem::path datei = ordner / "full.mpx";
    platform::IniFile ini(datei);
    ini.writeInteger("Einstellungen", "Periodenlaenge", 600);
    ini.writeInteger("Einstellungen", "Anzahl_Bits", 8);
    pmp3p::TFaecher voll{};
    for (int s = 1; s <= 30; ++s) {
        auto& f = voll[static_cast<std::size_t>(s)];
        f[0] = 97;
        f[1] = 300 + s;
        f[2] = 1 + s % 9;
        for (int i = 3; i <= 97; ++i)
            f[static_cast<std::size_t>(i)] = (s * 31 + i) % 256;
    }
    const auto ms = [](auto a) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a)
            .count();
    };
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto a = std::chrono::steady_clock::now();
    pmp3p::Befehle_Speichern(ini, voll);
    std::printf("remote_file_store_30_slots_new: %.1f ms\n", ms(a));
    std::vector<double> store, load;
    for (int r = 0; r < 9; ++r) {
        voll[static_cast<std::size_t>(1 + r)][10] = 1000 + r;
        a = std::chrono::steady_clock::now();
        pmp3p::Befehle_Speichern(ini, voll);
        store.push_back(ms(a));
        pmp3p::TFaecher zurueck{};
        a = std::chrono::steady_clock::now();
        pmp3p::Faecher_Laden(ini, zurueck);
        load.push_back(ms(a));
        if (zurueck != voll) std::printf("remote_file_roundtrip_mismatch: 1 count\n");
    }
    std::printf("remote_file_store_30_slots: %.1f ms\n", median(store));
    std::printf("remote_file_load_30_slots: %.1f ms\n", median(load));
    std::printf("remote_file_bytes_30_slots: %ju bytes\n",
                static_cast<std::uintmax_t>(std::filesystem::file_size(datei)));
    std::error_code ec;
    std::filesystem::remove_all(ordner, ec);
    return 0;
}
