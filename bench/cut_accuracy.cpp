// Cut accuracy of the video window's cut run on simulated decks (virtual
// clock), as the user sees it on the recorded tape: where the player stood at
// the moment the recorder really switched to record and to pause, against the
// cut points of the list, in frames. Scenarios, 2 s to 40 s between the rows:
// a Control-L player with a Panasonic recorder on its edit line, a Panasonic
// player with a Control-L recorder, and a Control-L player with the IR
// recorder in box 4. Then near_start: the Control-L player and the IR
// recorder with only 0.3 s to 3 s between the rows, so that the player stands
// or already plays a second or two before a start; and late_ticks: the
// Control-L player and the Panasonic recorder with every tick of the timer 0
// to 150 ms late, drawn per tick. Each scenario runs ten lists of ten cuts of
// 1.5 s to 60 s from a stopped player. Each run draws every deck's reaction
// delay once, sets the recorder's box delays to its measured command-to-change
// latency, and starts its timer 60 ms later in phase than the run before.
#include "desk/IR_qt.h"
#include "engine/ControlL.h"
#include "engine/Debug.h"
#include "engine/Panasonic.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/Prompts_qt.h"
#include "platform/System.h"
#include "platform/VirtualClock.h"
#include "platform/WindowTracker_qt.h"
#include "sim/ControlLDeck.h"
#include "sim/IrRecorder.h"
#include "sim/PanasonicDeck.h"
#include "sim/SimAdapter.h"
#include "support/EngineSession.h"
#include "video/Kamera_qt.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

enum class Szenario { SonyNachPana, PanaNachSony, SonyNachIr, NahAmStart, SpaeteTicks };

struct Ergebnis {
    std::vector<double> rec; // frames, signed (late > 0)
    std::vector<double> pause;
    std::vector<double> laenge; // recorded minus listed length
    int schnitte = 0;
    int soll = 0;
};

constexpr int kLaeufe = 10;
constexpr int kSchnitte = 10;
constexpr std::int32_t kSekunde = 50;
using Mode = sim::TapeTransport::Mode;

struct Wechsel {
    Mode mode;
    sim::Ps at;
    double spieler; // player position then, 1/50 s
};

// A delay of ms as a time text of whole frames.
std::string verzoegerung(double ms) {
    const long frames = std::lround(ms / 40.0);
    char t[32];
    std::snprintf(t, sizeof t, "0:%02ld.%02ld", frames / 25, frames % 25);
    return t;
}

void lauf(Szenario sz, int nr, Ergebnis& e) {
    QTemporaryDir dir;
    const std::filesystem::path ordner(dir.path().toStdString());
    platform::VirtualClock clock;
    clock.setTickBase(10000);
    sim::SimAdapter sim(clock, 0x3F8);
    platform::ScopedBackends backends(&sim.bus, &clock);
    EngineSession session;
    Dbg_disp::Debug_An = false;
    platform::ScriptedPrompts prompts;
    prompts.onUnexpected = [](const QString& d) {
        std::fprintf(stderr, "%s\n", qPrintable(d));
        std::exit(1);
    };
    platform::setPrompts(&prompts);
    platform::RecordingSystem os;
    platform::setOs(&os);
    Sio::Sony_Status = Sio::Pana_Status = 0;
    Sio::Sony_Position = Sio::Pana_Position = Sio::Bandposition{};
    Sio::Pana_Mittel = Sio::Pana_Schwelle = 0;
    {
        platform::IniFile ini(ordner / "Tavix.ini");
        ini.writeInteger("Einstellungen", "Sprache", 1);
        ini.writeInteger("Einstellungen", "IR_Einheit", 0);
        ini.writeInteger("Schnittstelle", "Com_Nr", 1);
        ini.writeInteger("Timing", "Anfragen_Sec", 700000);
        ini.writeInteger("Sony", "Sony1", 9895 - 200);
        ini.writeInteger("Sony", "Sony2", 2 * 9895 - 200);
    }
    std::mt19937 rng(static_cast<unsigned>(1000 * static_cast<int>(sz) + nr));
    std::uniform_int_distribution<int> felder(0, 3);
    auto sony = std::make_shared<sim::ControlLDeck>();
    auto pana = std::make_shared<sim::PanasonicDeck>();
    sim.adapter.attach(sony, {1});
    sim.adapter.attach(pana, {2});
    const bool sonySpielt = sz != Szenario::PanaNachSony;
    const bool irRecorder = sz == Szenario::SonyNachIr || sz == Szenario::NahAmStart;
    sim::TapeTransport& spieler = sonySpielt ? sony->transport() : pana->transport();
    const sim::IrRecorder::Source quelle = sonySpielt ? sim::IrRecorder::sourceOf(*sony, "Kanal 1")
                                                      : sim::IrRecorder::sourceOf(*pana, "Kanal 2");
    std::shared_ptr<sim::IrRecorder> ir;
    if (irRecorder) {
        sim::IrRecorder::Options o;
        o.reactionPs = std::uniform_int_distribution<int>(40, 250)(rng) * sim::kPsPerMs;
        ir = std::make_shared<sim::IrRecorder>(o);
        sim.adapter.attach(ir, {0, 3});
        ir->connectInput(1, quelle);
    }
    sim::TapeTransport& recorder = ir           ? ir->transport()
                                   : sonySpielt ? pana->transport()
                                                : sony->transport();
    spieler.options().reactionFields = felder(rng);
    if (!ir) recorder.options().reactionFields = felder(rng);
    spieler.setPosition(12 * kSekunde);
    std::vector<Wechsel> wechsel;
    recorder.onModeChanged = [&](Mode m) {
        const sim::Ps t = sim.queue.now();
        wechsel.push_back({m, t, quelle.positionAt(t)});
    };

    desk::TIRFormOptions o;
    o.programFile = ordner / "Tavix";
    {
        desk::TIRForm form(std::move(o));
        form.ProcessMessages = [] {};
        video::TKameraDialog k(form);
        form.KameraDialog = &k;
        k.ProcessMessages = [] {};
        k.Jetzt = [&clock] {
            return QDateTime(QDate(2026, 12, 8), QTime(10, 0))
                .addMSecs(static_cast<qint64>(clock.nowUs() / 1000));
        };
        platform::WindowTracker::instance().activate(static_cast<QWidget*>(&form));
        platform::WindowTracker::instance().activate(static_cast<QWidget*>(&k));
        // Late ticks are drawn from their own sequence, so that the lists
        // stay those of the punctual runs.
        std::mt19937 spaet(static_cast<unsigned>(7 + nr));
        auto tick = [&] {
            const int ms =
                sz == Szenario::SpaeteTicks ? std::uniform_int_distribution<int>(0, 150)(spaet) : 0;
            clock.advanceMs(600 + ms);
            sim.sync();
            k.Timer1Timer();
        };
        tick();
        if (sz == Szenario::SonyNachPana || sz == Szenario::SpaeteTicks) k.Waehle_Aufnahme(2);
        if (sz == Szenario::PanaNachSony) {
            k.Waehle_Aufnahme(1);
            k.Waehle_Zuspieler(2);
        }
        const auto rec = static_cast<std::size_t>(k.Aufnahme_Nr());
        k.Box_Geraet[rec].PausePause = false;
        k.Box_Geraet[rec].MaxPausenZeit = "5:00";
        // The recorder's own remote, as learning would give it.
        for (int code : sim::IrRecorder::kCodes) {
            const auto key = sim::IrRecorder::remoteKey(code);
            Sio::TBefehl b{};
            std::copy(key.befehl.begin(), key.befehl.end(), b.begin());
            k.Schnitt_IRCodes[static_cast<std::size_t>(code)].Befehl = b;
        }

        // The recorder's latency from the command to its change of mode.
        auto latenz = [&](std::int32_t code) {
            const std::size_t vorher = wechsel.size();
            const sim::Ps t0 = clock.nowPs();
            k.Aufnahme_Befehl(static_cast<Sio::Transport>(code));
            for (int i = 0; i < 2000 && wechsel.size() == vorher; ++i) {
                clock.advanceMs(1);
                sim.sync();
            }
            return wechsel.size() == vorher ? 0.0
                                            : static_cast<double>(wechsel[vorher].at - t0) /
                                                  static_cast<double>(sim::kPsPerMs);
        };
        const double dtRec = latenz(6);
        clock.advanceMs(500);
        const double dtPause = latenz(3);
        clock.advanceMs(500);
        latenz(2);
        clock.advanceMs(1000);
        sim.sync();
        wechsel.clear();
        if (ir) {
            k.Box_Geraet[4].dt_IR_rec = verzoegerung(dtRec);
            k.Box_Geraet[4].dt_IR_Pause = verzoegerung(dtPause);
        } else {
            k.Box_Geraet[rec].dt_K_rec = verzoegerung(dtRec);
            k.Box_Geraet[rec].dt_K_Pause = verzoegerung(dtPause);
        }

        // Ten cuts of 1.5 s to 60 s; short ones often, so that cut-out
        // points fall in every phase of the tick.
        const double laengen[] = {1.5, 1.6, 1.7, 1.9, 2.2, 2.6, 3.1, 4.5, 7, 12, 25, 60};
        std::vector<std::int32_t> start, ende;
        std::int32_t t = 20 * kSekunde;
        const std::string ziffer = sonySpielt ? "1" : "2";
        for (int i = 0; i < kSchnitte; ++i) {
            t +=
                sz == Szenario::NahAmStart
                    ? std::uniform_int_distribution<std::int32_t>(15, 3 * kSekunde)(rng)
                    : std::uniform_int_distribution<std::int32_t>(2 * kSekunde, 40 * kSekunde)(rng);
            const double l = laengen[std::uniform_int_distribution<std::size_t>(0, 11)(rng)];
            start.push_back(t);
            ende.push_back(t + static_cast<std::int32_t>(std::lround(l * kSekunde)) +
                           std::uniform_int_distribution<std::int32_t>(0, 9)(rng));
            t = ende.back();
            for (int c = 0; c < 5; ++c)
                k.Raster.setZelle(c, i + 1, "");
            k.Raster.setZelle(0, i + 1, ziffer);
            k.Raster.setZelle(1, i + 1, Sio::Zaehler_nach_Text(start.back()));
            k.Raster.setZelle(2, i + 1, Sio::Zaehler_nach_Text(ende.back()));
        }
        k.Laengen_berechnen();
        k.Zeile_anwaehlen(1);

        // The timer's phase against the decks' fields and the list.
        clock.advanceMs(60 * nr);
        sim.sync();
        k.SchneidenKnopf->click();
        for (int n = 0; n < 5000 && k.SchneidenKnopf->isChecked(); ++n)
            tick();
        clock.advanceMs(1000);
        sim.sync();

        // Record, then the next change away from it: one cut.
        std::vector<std::pair<double, double>> schnitte;
        for (std::size_t i = 0; i < wechsel.size(); ++i) {
            if (wechsel[i].mode != Mode::Record) continue;
            for (std::size_t j = i + 1; j < wechsel.size(); ++j)
                if (wechsel[j].mode != Mode::Record) {
                    schnitte.emplace_back(wechsel[i].spieler, wechsel[j].spieler);
                    break;
                }
        }
        // Each cut belongs to the row whose start lies nearest; a row cut
        // twice counts once.
        e.soll += kSchnitte;
        std::vector<bool> geschnitten(start.size());
        for (const auto& [von, bis] : schnitte) {
            std::size_t r = 0;
            for (std::size_t i = 1; i < start.size(); ++i)
                if (std::abs(von - start[i]) < std::abs(von - start[r])) r = i;
            const double ein = (von - start[r]) / 2.0;
            const double aus = (bis - ende[r]) / 2.0;
            e.rec.push_back(ein);
            e.pause.push_back(aus);
            e.laenge.push_back(aus - ein);
            if (!geschnitten[r]) ++e.schnitte;
            geschnitten[r] = true;
        }
        recorder.onModeChanged = nullptr;
        platform::WindowTracker::instance().unregisterWindow(static_cast<QWidget*>(&k));
    }
    platform::setPrompts(nullptr);
    platform::setOs(nullptr);
}

void zeige(const char* name, const Ergebnis& e) {
    auto mittel = [](const std::vector<double>& v) {
        double s = 0;
        for (double x : v)
            s += std::abs(x);
        return v.empty() ? 0.0 : s / static_cast<double>(v.size());
    };
    auto groesst = [](const std::vector<double>& v) {
        double m = 0;
        for (double x : v)
            m = std::max(m, std::abs(x));
        return m;
    };
    std::printf("%s_cuts_done: %d of %d\n", name, e.schnitte, e.soll);
    std::printf("%s_record_mean_error: %.2f frames\n", name, mittel(e.rec));
    std::printf("%s_record_max_error: %.2f frames\n", name, groesst(e.rec));
    std::printf("%s_pause_mean_error: %.2f frames\n", name, mittel(e.pause));
    std::printf("%s_pause_max_error: %.2f frames\n", name, groesst(e.pause));
    std::printf("%s_segment_length_mean_error: %.2f frames\n", name, mittel(e.laenge));
    std::printf("%s_segment_length_max_error: %.2f frames\n", name, groesst(e.laenge));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    platform::WindowTracker::instance().setFollowFocus(false);
    // An optional argument runs fewer lists per scenario.
    const int laeufe = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, kLaeufe) : kLaeufe;
    const std::pair<const char*, Szenario> szenarien[] = {
        {"controll_player_panasonic_recorder", Szenario::SonyNachPana},
        {"panasonic_player_controll_recorder", Szenario::PanaNachSony},
        {"controll_player_ir_recorder", Szenario::SonyNachIr},
        {"near_start", Szenario::NahAmStart},
        {"late_ticks", Szenario::SpaeteTicks}};
    for (const auto& [name, sz] : szenarien) {
        Ergebnis e;
        for (int nr = 0; nr < laeufe; ++nr)
            lauf(sz, nr, e);
        zeige(name, e);
    }
    return 0;
}
