// Figures of the edit lines on simulated decks (virtual clock): per protocol
// the commands that reached their status out of 100 with seeded reaction
// delays, the mean tries per command, the error of a status read's position
// (at random positions and across ten-minute marks and changes of the second,
// against the counter of the deck's last frame a read can have seen) and of a
// position wait's end, in frames; reads while winding; two decks of one
// protocol polled in turn (reads, and waits right after a read of the other);
// waits for every unit of a second from just before it; reads while winding
// across hour marks and at negative counts; the first read after a start or
// a jump.
#include "engine/ControlL.h"
#include "engine/Debug.h"
#include "engine/EditLine.h"
#include "engine/Panasonic.h"
#include "engine/Sio.h"
#include "platform/Platform.h"
#include "platform/VirtualClock.h"
#include "sim/ControlLDeck.h"
#include "sim/PanasonicDeck.h"
#include "sim/SimAdapter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Mode = sim::TapeTransport::Mode;

struct Schritt {
    int befehl;
    std::uint8_t sony;
    std::uint8_t pana;
};

// A round of commands whose expected statuses do not depend on timing.
constexpr Schritt kRunde[] = {
    {1, 6, 8},  {3, 7, 9}, {3, 6, 8},   {2, 2, 0}, {6, 4, 10},   {3, 20, 11},
    {3, 4, 10}, {2, 2, 0}, {4, 131, 2}, {5, 3, 3}, {13, 134, 8}, {2, 2, 0},
};

struct Figures {
    int reached = 0;
    double tries = 0;
    double readErr = 0;
    double readMax = 0;     // playing or standing
    double cueReadMax = 0;  // cueing: five units a field
    int readSlips = 0;      // reads a second or more off
    int tenMinuteSlips = 0; // reads ten minutes off
    int crossReads = 0;     // reads across marks
    int windSlips = 0;      // reads a second or more off while winding
    int windReads = 0;
    double waitErr = 0;
    double waitMax = 0;
};

std::int32_t lies_Zaehler(int kanal) {
    Sio::Bandposition p;
    Sio::Protokoll proto{};
    std::string text;
    bool spielt = false;
    Sio::Lies_Geraetestatus(kanal, p, proto, text, spielt);
    return Sio::Position_nach_Zaehler(p);
}

Figures measure(int kanal, sim::TapeTransport& band, std::mt19937& rng,
                const std::function<std::uint8_t()>& status,
                const std::function<std::int32_t()>& gesendet,
                const std::function<void(int)>& warte) {
    Figures f;
    {
        // The window's polling measures the line's thresholds before any command.
        Sio::Bandposition p;
        Sio::Protokoll proto{};
        std::string text;
        bool spielt = false;
        Sio::Lies_Geraetestatus(kanal, p, proto, text, spielt);
    }
    std::uniform_int_distribution<int> delay(0, 8);
    long triesSum = 0;
    for (int k = 0; k < 100; ++k) {
        const Schritt& s = kRunde[k % std::size(kRunde)];
        band.options().reactionFields = delay(rng);
        const std::int32_t r = Sio::Kamera_Befehl(kanal, static_cast<Sio::Transport>(s.befehl));
        const std::uint8_t soll = kanal == 1 ? s.sony : s.pana;
        if (r >= 0 && status() == soll) {
            ++f.reached;
            triesSum += r;
        }
    }
    band.options().reactionFields = 0;
    f.tries = f.reached ? static_cast<double>(triesSum) / f.reached : 0;

    // Status reads at random positions, playing and standing.
    std::uniform_int_distribution<int> pos(0, 50 * 3600 * 2);
    const int reads = 40;
    for (int k = 0; k < reads; ++k) {
        band.setPosition(pos(rng));
        band.setMode(k % 2 ? Mode::Play : Mode::Stop);
        Sio::Bandposition p;
        Sio::Protokoll proto{};
        std::string text;
        bool spielt = false;
        Sio::Lies_Geraetestatus(kanal, p, proto, text, spielt);
        Sio::Lies_Geraetestatus(kanal, p, proto, text, spielt);
        // Against the counter of the deck's last frame: the read gives that.
        const double e = std::abs(Sio::Position_nach_Zaehler(p) - gesendet()) / 2.0;
        f.readErr += e / reads;
        if (e >= 20) ++f.readSlips;
        f.readMax = std::max(f.readMax, e);
    }

    // Reads across ten-minute marks and changes of the second, playing and
    // cueing both ways: against the counter of the deck's last frame.
    std::uniform_int_distribution<int> zehner(1, 11);
    std::uniform_int_distribution<int> sekunde(1, 7199);
    std::uniform_int_distribution<int> pause(1000, 25000);
    const Mode modi[] = {Mode::Play, Mode::CueForward, Mode::CueBack};
    for (int k = 0; k < 40; ++k) {
        const std::int32_t marke = k % 2 == 0 ? zehner(rng) * 50 * 600 : sekunde(rng) * 50;
        for (const Mode m : modi) {
            band.setMode(m);
            const std::int32_t v = band.speed();
            band.setMode(Mode::Stop);
            band.setPosition(marke - v * 8);
            Sio::Bandposition p;
            Sio::Protokoll proto{};
            std::string text;
            bool spielt = false;
            Sio::Lies_Geraetestatus(kanal, p, proto, text, spielt);
            band.setMode(m);
            for (int r = 0; r < 8; ++r) {
                warte(pause(rng));
                Sio::Lies_Geraetestatus(kanal, p, proto, text, spielt);
                const double e = std::abs(Sio::Position_nach_Zaehler(p) - gesendet()) / 2.0;
                double& max = m == Mode::Play ? f.readMax : f.cueReadMax;
                max = std::max(max, e);
                if (e >= 20) ++f.readSlips;
                if (e >= 25 * 60 * 9) ++f.tenMinuteSlips;
                ++f.crossReads;
            }
        }
    }
    band.setMode(Mode::Stop);

    // Position waits: the end should be 2 units after the target.
    std::uniform_int_distribution<int> lead(60, 400);
    const int waits = 20;
    for (int k = 0; k < waits; ++k) {
        const std::int32_t ziel = pos(rng);
        band.setPosition(ziel - lead(rng));
        band.setMode(Mode::Play);
        Sio::Bandposition p;
        Sio::Protokoll proto{};
        std::string text;
        bool spielt = false;
        Sio::Lies_Geraetestatus(kanal, p, proto, text, spielt);
        Sio::Warte_auf_Position(kanal, ziel);
        const double e = std::abs(band.position() - (ziel + 2)) / 2.0;
        f.waitErr += e / waits;
        f.waitMax = std::max(f.waitMax, e);
    }
    band.setMode(Mode::Stop);

    // Reads while winding both ways, read after read and a tick apart,
    // against the counter of the deck's last frame.
    for (const Mode m : {Mode::FastForward, Mode::Rewind}) {
        for (int k = 0; k < 240; ++k) {
            if (k % 40 == 0) {
                band.setMode(Mode::Stop);
                band.setPosition(pos(rng) + 50 * 600);
                band.setMode(m);
            }
            warte(k % 2 ? 600000 : pause(rng));
            Sio::Bandposition p;
            Sio::Protokoll proto{};
            std::string text;
            bool spielt = false;
            // The first read after the jump is refused: no position to judge.
            ++f.windReads;
            if (!Sio::Lies_Geraetestatus(kanal, p, proto, text, spielt)) continue;
            const double e = std::abs(Sio::Position_nach_Zaehler(p) - gesendet()) / 2.0;
            if (e >= 20) ++f.windSlips;
        }
    }
    band.setMode(Mode::Stop);
    return f;
}

struct Sweep {
    int late = 0; // a second or more late
    int waits = 0;
    double max = 0; // frames off the end two units after the target, from 10 units before
};

// Waits for every unit of a second, the tape 0 to 23 units before the target
// at the call, playing: the end should be 2 units after the target.
Sweep wait_sweep(int kanal, sim::TapeTransport& band) {
    Sweep s;
    for (int vor = 0; vor < 24; ++vor) {
        for (int einheit = 0; einheit < 50; ++einheit) {
            const std::int32_t ziel = 50 * (600 + 7 * vor) + einheit;
            band.setMode(Mode::Stop);
            band.setPosition(ziel - vor - 8);
            band.setMode(Mode::Play);
            lies_Zaehler(kanal); // the window's poll, a few fields before
            band.setPosition(ziel - vor);
            Sio::Warte_auf_Position(kanal, ziel);
            const std::int32_t e = band.position() - (ziel + 2);
            if (e >= 25) ++s.late;
            // The Control-L wait first measures the bus for some six fields:
            // a tape closer than that is past the target before it looks.
            if (vor >= 10) s.max = std::max(s.max, std::abs(e) / 2.0);
            ++s.waits;
        }
    }
    band.setMode(Mode::Stop);
    return s;
}

struct Zaehlung {
    int off = 0;
    int reads = 0;
};

// Reads while winding, each run from its place in its mode, read after read
// and a tick apart: a read at least `grenze` units from the deck's last frame
// counts.
Zaehlung wind_reads(int kanal, sim::TapeTransport& band,
                    const std::function<std::int32_t()>& gesendet,
                    const std::function<void(int)>& warte,
                    const std::vector<std::pair<Mode, std::int32_t>>& laeufe, int reads,
                    std::int32_t grenze) {
    Zaehlung z;
    for (const auto& [m, start] : laeufe) {
        band.setMode(Mode::Stop);
        band.setPosition(start);
        lies_Zaehler(kanal);
        band.setMode(m);
        for (int k = 0; k < reads; ++k) {
            warte(k % 4 == 3 ? 600000 : k % 2 ? 0 : 3000 + 1700 * (k % 11));
            if (std::abs(lies_Zaehler(kanal) - gesendet()) >= grenze) ++z.off;
            ++z.reads;
        }
    }
    band.setMode(Mode::Stop);
    return z;
}

// The first Panasonic read after a start of the program, and the first after
// the tape jumped more than five minutes, the deck moving in every mode:
// reads five minutes or more off the deck's last frame.
Zaehlung first_reads(int kanal, sim::PanasonicDeck& deck, const std::function<void(int)>& warte,
                     std::mt19937& rng) {
    const Mode modi[] = {Mode::Play, Mode::CueForward, Mode::CueBack, Mode::FastForward,
                         Mode::Rewind};
    std::uniform_int_distribution<int> pos(0, 50 * 3600 * 9);
    std::uniform_int_distribution<int> sprung(50 * 60 * 6, 50 * 60 * 50);
    std::uniform_int_distribution<int> pause(1000, 25000);
    Zaehlung z;
    // A read that says it knows no position is not off.
    auto zaehle = [&] {
        Sio::Bandposition p;
        Sio::Protokoll proto{};
        std::string text;
        bool spielt = false;
        if (Sio::Lies_Geraetestatus(kanal, p, proto, text, spielt) &&
            std::abs(Sio::Position_nach_Zaehler(p) - deck.completePosition()) >= 50 * 300)
            ++z.off;
        ++z.reads;
    };
    for (int k = 0; k < 300; ++k) {
        const std::int32_t sony1 = Sio::Sony1;
        const std::int32_t sony2 = Sio::Sony2;
        Sio::Modulzustand_zuruecksetzen();
        Sio::SIO_Init();
        Sio::Sony1 = sony1;
        Sio::Sony2 = sony2;
        Sio::UART_Init_9600();
        deck.transport().setMode(Mode::Stop);
        deck.transport().setPosition(pos(rng));
        deck.transport().setMode(modi[k % 5]);
        warte(pause(rng));
        zaehle();
        const std::int32_t p = deck.transport().position();
        deck.transport().setPosition(k % 2 && p > 50 * 3600 ? p - sprung(rng) : p + sprung(rng));
        warte(pause(rng));
        zaehle();
    }
    deck.transport().setMode(Mode::Stop);
    return z;
}

struct ZweiDecks {
    int slips = 0;
    int reads = 0;
    int early = 0;
    int waits = 0;
};

// Two decks of one protocol on channels 1 and 3, polled in turn as the video
// window's tick polls them: reads against each deck's last frame, and position
// waits right after a read of the other deck, which stands ten minutes on.
template <class Deck>
ZweiDecks zwei_Decks(const std::function<std::int32_t(const Deck&)>& gesendet) {
    platform::VirtualClock clock;
    sim::SimAdapter sim(clock, 0x3F8);
    platform::ScopedBackends use(&sim.bus, &clock);
    auto d1 = std::make_shared<Deck>();
    auto d3 = std::make_shared<Deck>();
    sim.adapter.attach(d1, 1);
    sim.adapter.attach(d3, 3);
    const std::int32_t sony1 = Sio::Sony1;
    const std::int32_t sony2 = Sio::Sony2;
    Sio::SIO_Init();
    Sio::Sony1 = sony1;
    Sio::Sony2 = sony2;
    Sio::UART_Init_9600();
    auto warte = [&](std::int64_t us) {
        clock.advanceUs(us);
        sim.sync();
    };
    const auto lies = lies_Zaehler;
    const std::int32_t minute = 50 * 60;
    ZweiDecks z;
    d1->transport().setPosition(35 * minute + 13 * 50);
    d3->transport().setPosition(12 * minute + 13 * 50);
    d1->transport().setMode(Mode::Play);
    d3->transport().setMode(Mode::Play);
    for (int k = 0; k < 200; ++k) {
        warte(600000);
        for (const auto& [kanal, deck] : {std::pair{1, d1}, std::pair{3, d3}}) {
            const std::int32_t r = lies(kanal);
            if (std::abs(r - gesendet(*deck)) >= 40) ++z.slips;
            ++z.reads;
        }
    }
    std::mt19937 rng(4711);
    std::uniform_int_distribution<int> sekunde(20, 59 * 50);
    for (int k = 0; k < 50; ++k) {
        const std::int32_t ziel = 35 * minute + sekunde(rng);
        d1->transport().setPosition(ziel - 200);
        d3->transport().setPosition(ziel + 10 * minute);
        lies(1);
        lies(3);
        Sio::Warte_auf_Position(1, ziel);
        if (d1->transport().position() < ziel + 2) ++z.early;
        ++z.waits;
    }
    return z;
}

} // namespace

int main() {
    platform::VirtualClock clock;
    sim::SimAdapter sim(clock, 0x3F8);
    platform::ScopedBackends use(&sim.bus, &clock);
    auto sony = std::make_shared<sim::ControlLDeck>();
    auto pana = std::make_shared<sim::PanasonicDeck>();
    sim.adapter.attach(sony, 1);
    sim.adapter.attach(pana, 2);
    Dbg_disp::Debug_An = false;
    Sio::SIO_Init();
    Sio::UART_Init_9600();
    Sio::Waehle_Kanal(1);
    if (Sio::UART_Messroutine(5) != 1) {
        std::printf("calibration failed\n");
        return 1;
    }
    std::printf("controll_sony1: %d turns\ncontroll_sony2: %d turns\n", Sio::Sony1, Sio::Sony2);

    std::mt19937 rng(20260412);
    const char* namen[] = {"", "controll", "panasonic"};
    for (int kanal = 1; kanal <= 2; ++kanal) {
        sim::TapeTransport& band = kanal == 1 ? sony->transport() : pana->transport();
        auto warte = [&](int us) {
            clock.advanceUs(us);
            sim.sync();
        };
        // A Panasonic read knows a frame only once all its bits are in: the
        // deck fills in the counter at the start of byte 4, so the frame on
        // the wires may hold a counter whose bytes are still to come.
        const Figures f = kanal == 1 ? measure(
                                           1, band, rng, [&] { return sony->status(); },
                                           [&] { return sony->sentPosition(); }, warte)
                                     : measure(
                                           2, band, rng, [&] { return pana->status(); },
                                           [&] { return pana->completePosition(); }, warte);
        std::printf("%s_commands_reached: %d /100\n", namen[kanal], f.reached);
        std::printf("%s_mean_tries: %.2f tries\n", namen[kanal], f.tries);
        std::printf("%s_read_error_mean: %.2f frames\n", namen[kanal], f.readErr);
        std::printf("%s_read_error_max: %.1f frames\n", namen[kanal], f.readMax);
        std::printf("%s_cue_read_error_max: %.1f frames\n", namen[kanal], f.cueReadMax);
        std::printf("%s_reads_a_second_off: %d /%d\n", namen[kanal], f.readSlips,
                    40 + f.crossReads);
        std::printf("%s_reads_ten_minutes_off: %d /%d\n", namen[kanal], f.tenMinuteSlips,
                    f.crossReads);
        std::printf("%s_wind_reads_a_second_off: %d /%d\n", namen[kanal], f.windSlips, f.windReads);
        std::printf("%s_wait_error_mean: %.2f frames\n", namen[kanal], f.waitErr);
        std::printf("%s_wait_error_max: %.1f frames\n", namen[kanal], f.waitMax);
        const Sweep w = wait_sweep(kanal, band);
        std::printf("%s_wait_a_second_late: %d /%d\n", namen[kanal], w.late, w.waits);
        std::printf("%s_wait_sweep_error_max: %.1f frames\n", namen[kanal], w.max);
    }
    // Winding across hour marks, and at negative counts (rewinding past a
    // counter reset): both protocols.
    Zaehlung stunden, negativ;
    for (int kanal = 1; kanal <= 2; ++kanal) {
        sim::TapeTransport& band = kanal == 1 ? sony->transport() : pana->transport();
        const std::function<std::int32_t()> gesendet = [&, kanal] {
            return kanal == 1 ? sony->sentPosition() : pana->completePosition();
        };
        const auto warte = [&](int us) {
            clock.advanceUs(us);
            sim.sync();
        };
        std::vector<std::pair<Mode, std::int32_t>> marken, unter_null;
        for (const std::int32_t stunde : {50 * 3600, 2 * 50 * 3600})
            // A status read takes about 300 units of winding: the mark falls
            // at every place of the first reads.
            for (int k = 0; k < 41; ++k) {
                marken.push_back({Mode::FastForward, stunde - 250 - 10 * k});
                marken.push_back({Mode::Rewind, stunde + 250 + 10 * k});
            }
        std::uniform_int_distribution<int> weit(50 * 60, 50 * 1800);
        for (int k = 0; k < 6; ++k) {
            unter_null.push_back({Mode::FastForward, -weit(rng)});
            unter_null.push_back({Mode::Rewind, -weit(rng)});
        }
        // Through zero both ways.
        unter_null.push_back({Mode::FastForward, -1500});
        unter_null.push_back({Mode::Rewind, 1500});
        const Zaehlung h = wind_reads(kanal, band, gesendet, warte, marken, 3, 50 * 1800);
        const Zaehlung n = wind_reads(kanal, band, gesendet, warte, unter_null, 40, 40);
        stunden.off += h.off;
        stunden.reads += h.reads;
        negativ.off += n.off;
        negativ.reads += n.reads;
    }
    std::printf("hour_marks_winding_reads_an_hour_off: %d /%d\n", stunden.off, stunden.reads);
    std::printf("negative_counts_winding_reads_a_second_off: %d /%d\n", negativ.off, negativ.reads);
    const Zaehlung erste = first_reads(
        2, *pana,
        [&](int us) {
            clock.advanceUs(us);
            sim.sync();
        },
        rng);
    std::printf("panasonic_first_read_ten_minutes_off: %d /%d\n", erste.off, erste.reads);
    std::printf("virtual_time: %.1f s\n", clock.nowUs() / 1e6);
    const ZweiDecks zs =
        zwei_Decks<sim::ControlLDeck>([](const sim::ControlLDeck& d) { return d.sentPosition(); });
    std::printf("controll_two_decks_reads_a_second_off: %d /%d\n", zs.slips, zs.reads);
    std::printf("controll_two_decks_waits_ended_early: %d /%d\n", zs.early, zs.waits);
    const ZweiDecks zp = zwei_Decks<sim::PanasonicDeck>(
        [](const sim::PanasonicDeck& d) { return d.completePosition(); });
    std::printf("panasonic_two_decks_reads_a_second_off: %d /%d\n", zp.slips, zp.reads);
    std::printf("panasonic_two_decks_waits_ended_early: %d /%d\n", zp.early, zp.waits);
    return 0;
}
