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
// Then players_past_their_rows: the list taken as a user takes it, rows from
// the playing camcorder, then box 2 marked and rows from the playing VCR, so
// that each player stands past its rows when the run reaches them (IR
// recorder, camcorder on its input 1, VCR on input 2); panasonic_near_start_ir:
// the VCR and the IR recorder with 0.3 s to 3 s between the rows;
// counter_zero: rows within 2 s either side of a zeroed counter, the player
// starting at -0:00:15 (camcorder and VCR in turn, IR recorder); and
// long_record_delay: an IR recorder that needs 2 s to 20 s from a command to
// its change, the camcorder past the first start on a tape that begins at
// the counter's zero, so that the run must wind back and, for rows near the
// beginning, cannot give the pre-roll: those late cut-ins, which the run
// reports, are counted on their own line and kept out of the errors.
// Every scenario also tells how many runs ended and the longest run.
#include "bench/CutList.h"
#include "desk/IR_qt.h"
#include "desk/IrSendLink.h"
#include "engine/ControlL.h"
#include "engine/Debug.h"
#include "engine/IrSend.h"
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
#include <QRadioButton>
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
#include <string_view>
#include <vector>

namespace {

enum class Szenario {
    SonyNachPana,
    PanaNachSony,
    SonyNachIr,
    NahAmStart,
    SpaeteTicks,
    BeideHinterIhrenZeilen,
    PanaNahAmStartIr,
    ZaehlerNull,
    LangeVerzoegerung,
};

struct Ergebnis {
    std::vector<double> rec; // frames, signed (late > 0)
    std::vector<double> pause;
    std::vector<double> laenge; // recorded minus listed length
    int schnitte = 0;
    int soll = 0;
    int laeufe = 0;
    int beendet = 0;           // runs that reached their end
    int mit_Meldung = 0;       // runs that stopped with a message
    int spaet_gemeldet = 0;    // late cut-ins the run reported
    double spaet_max = 0;      // the latest of them, frames
    int in_der_Zeit = 0;       // runs within their rows' lengths plus 30 s a row
    double laengste = 0;       // the longest run, s
};

constexpr int kLaeufe = 10;
constexpr int kSchnitte = 10;
constexpr std::int32_t kSekunde = 50;
using Mode = sim::TapeTransport::Mode;

struct Wechsel {
    Mode mode;
    sim::Ps at;
    int spieler;    // the player on the recorder's input then; 0: none
    double stand;   // its position then, 1/50 s
};

using bench::verzoegerung;

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
    // A run that stops with a message is counted, and the message shown.
    int meldungen = 0;
    prompts.onUnexpected = [&meldungen](const QString& d) {
        std::fprintf(stderr, "%s\n", qPrintable(d));
        ++meldungen;
    };
    platform::setPrompts(&prompts);
    platform::RecordingSystem os;
    platform::setOs(&os);
    {
        platform::IniFile ini(ordner / "Tavix.ini");
        bench::frischeEinstellungen(ini);
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
    const bool beide = sz == Szenario::BeideHinterIhrenZeilen;
    const bool sonySpielt = sz != Szenario::PanaNachSony && sz != Szenario::PanaNahAmStartIr &&
                            !(sz == Szenario::ZaehlerNull && nr % 2 == 1);
    const bool irRecorder = sz != Szenario::SonyNachPana && sz != Szenario::PanaNachSony &&
                            sz != Szenario::SpaeteTicks;
    sim::TapeTransport& spieler = sonySpielt ? sony->transport() : pana->transport();
    // The players by their box numbers, which are the IR recorder's inputs.
    const sim::IrRecorder::Source quellen[2] = {sim::IrRecorder::sourceOf(*sony, "Kanal 1"),
                                                sim::IrRecorder::sourceOf(*pana, "Kanal 2")};
    std::shared_ptr<sim::IrRecorder> ir;
    if (irRecorder) {
        sim::IrRecorder::Options o;
        o.reactionPs = (sz == Szenario::LangeVerzoegerung
                            ? std::uniform_int_distribution<int>(2000, 20000)(rng)
                            : std::uniform_int_distribution<int>(40, 250)(rng)) *
                       sim::kPsPerMs;
        ir = std::make_shared<sim::IrRecorder>(o);
        sim.adapter.attach(ir, {0, 3});
        ir->connectInput(1, quellen[0]);
        ir->connectInput(2, quellen[1]);
    }
    sim::TapeTransport& recorder = ir           ? ir->transport()
                                   : sonySpielt ? pana->transport()
                                                : sony->transport();
    spieler.options().reactionFields = felder(rng);
    if (!ir) recorder.options().reactionFields = felder(rng);
    if (beide) pana->transport().options().reactionFields = felder(rng);
    spieler.setPosition(12 * kSekunde);
    if (sz == Szenario::ZaehlerNull) spieler.setPosition(-15 * kSekunde);
    if (sz == Szenario::LangeVerzoegerung) spieler.options().beginning = 0;
    std::vector<Wechsel> wechsel;
    recorder.onModeChanged = [&](Mode m) {
        const sim::Ps t = sim.queue.now();
        const int auf = ir ? ir->input() : sonySpielt ? 1 : 2;
        wechsel.push_back({m, t, auf,
                           auf >= 1 && auf <= 2 ? quellen[auf - 1].positionAt(t) : 0.0});
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
        if (sz == Szenario::PanaNachSony) k.Waehle_Aufnahme(1);
        if (!sonySpielt) k.Waehle_Zuspieler(2);
        const auto rec = static_cast<std::size_t>(k.Aufnahme_Nr());
        k.Box_Geraet[rec].PausePause = false;
        k.Box_Geraet[rec].MaxPausenZeit = "5:00";
        bench::irCodesGelernt(k);

        // The recorder's latency from the command to its change of mode.
        auto latenz = [&](std::int32_t code) {
            const std::size_t vorher = wechsel.size();
            const sim::Ps t0 = clock.nowPs();
            k.Aufnahme_Befehl(static_cast<Sio::Transport>(code));
            for (int i = 0; i < 25000 && wechsel.size() == vorher; ++i) {
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
        auto laenge = [&](std::size_t bis) {
            return laengen[std::uniform_int_distribution<std::size_t>(0, bis)(rng)];
        };
        std::vector<int> wer;
        std::vector<std::int32_t> start, ende;
        if (beide) {
            // As a user takes the list: each player plays, "Cut In" and
            // "Cut Out" at the moments the user chooses.
            k.Zeile_anwaehlen(1);
            auto warten = [&](double sekunden) {
                for (int i = 0; i < static_cast<int>(std::lround(sekunden / 0.6)); ++i)
                    tick();
            };
            for (int box = 1; box <= 2; ++box) {
                if (box == 2) k.CountBox[2]->Zuspieler->click();
                k.vcrClick(k.CountBox[static_cast<std::size_t>(box)]->SpeedButton[2]);
                warten(2);
                for (int i = 0; i < kSchnitte / 2; ++i) {
                    k.CutInClick();
                    warten(laenge(9));
                    k.CutOutClick();
                    // Half the rows follow the row before at once.
                    if (std::uniform_int_distribution<int>(0, 1)(rng))
                        warten(std::uniform_real_distribution<double>(0.6, 6)(rng));
                }
            }
            for (int r = 1; r <= kSchnitte; ++r) {
                wer.push_back(k.Raster.zelle(0, r)[0] - '0');
                start.push_back(Sio::Zeitwort_nach_Zaehler(k.Raster.zelle(1, r), 1));
                ende.push_back(Sio::Zeitwort_nach_Zaehler(k.Raster.zelle(2, r), 1));
            }
        } else {
            std::int32_t t = sz == Szenario::LangeVerzoegerung ? 0 : 20 * kSekunde;
            const std::string ziffer = sonySpielt ? "1" : "2";
            for (int i = 0; i < kSchnitte; ++i) {
                if (sz == Szenario::ZaehlerNull)
                    t = std::uniform_int_distribution<std::int32_t>(-2 * kSekunde, 2 * kSekunde)(rng);
                else
                    t += sz == Szenario::NahAmStart || sz == Szenario::PanaNahAmStartIr
                             ? std::uniform_int_distribution<std::int32_t>(15, 3 * kSekunde)(rng)
                             : std::uniform_int_distribution<std::int32_t>(2 * kSekunde,
                                                                           40 * kSekunde)(rng);
                const double l = laenge(sz == Szenario::ZaehlerNull ? 6 : 11);
                const std::int32_t ein = t;
                t += static_cast<std::int32_t>(std::lround(l * kSekunde)) +
                     std::uniform_int_distribution<std::int32_t>(0, 9)(rng);
                for (int c = 0; c < 5; ++c)
                    k.Raster.setZelle(c, i + 1, "");
                k.Raster.setZelle(0, i + 1, ziffer);
                k.Raster.setZelle(1, i + 1, Sio::Zaehler_nach_Text(ein));
                k.Raster.setZelle(2, i + 1, Sio::Zaehler_nach_Text(t));
                // The cells hold whole frames: a count between two of them
                // goes to the frame nearer zero, which below zero is the
                // later one. The cut points are what the list says.
                wer.push_back(sonySpielt ? 1 : 2);
                start.push_back(Sio::Zeitwort_nach_Zaehler(k.Raster.zelle(1, i + 1), 1));
                ende.push_back(Sio::Zeitwort_nach_Zaehler(k.Raster.zelle(2, i + 1), 1));
            }
            // The player past the first start: the run winds back.
            if (sz == Szenario::LangeVerzoegerung)
                spieler.setPosition(start[0] + std::uniform_int_distribution<std::int32_t>(
                                                   kSekunde, 30 * kSekunde)(rng));
        }
        k.Laengen_berechnen();
        k.Zeile_anwaehlen(1);
        std::int32_t zeilen_laenge = 0;
        for (std::size_t i = 0; i < start.size(); ++i)
            zeilen_laenge += ende[i] - start[i];

        // The timer's phase against the decks' fields and the list.
        clock.advanceMs(60 * nr);
        sim.sync();
        wechsel.clear();
        // The row whose record command went out, in the order of the IR
        // recorder's records: rows close together on the tape, or a record
        // acting long after its command, leave no doubt which row a cut
        // belongs to.
        std::vector<int> rec_zeilen;
        desk::setIrSender([&](const Sio::TBefehl& b) {
            if (b == k.Schnitt_IRCodes[6].Befehl) rec_zeilen.push_back(k.Raster.Row);
            return Sio::IR_Senden(b);
        });
        const sim::Ps beginn = clock.nowPs();
        k.SchneidenKnopf->click();
        for (int n = 0; n < 5000 && k.SchneidenKnopf->isChecked(); ++n)
            tick();
        const double dauer =
            static_cast<double>(clock.nowPs() - beginn) / static_cast<double>(sim::kPsPerSecond);
        ++e.laeufe;
        if (!k.SchneidenKnopf->isChecked() && meldungen == 0) ++e.beendet;
        if (meldungen) ++e.mit_Meldung;
        e.laengste = std::max(e.laengste, dauer);
        if (dauer <= zeilen_laenge / static_cast<double>(kSekunde) + 30.0 * kSchnitte)
            ++e.in_der_Zeit;
        clock.advanceMs(sz == Szenario::LangeVerzoegerung ? 25000 : 1000);
        sim.sync();

        // Rows whose cut-in the run reported late: the tape could not give
        // their pre-roll. They are counted apart.
        std::vector<bool> ohne_Vorlauf(start.size());
        for (const auto& v : k.Schnittvermerke)
            if (v.Aufnahme_spaet && v.Zeile >= 1 && v.Zeile <= kSchnitte) {
                ohne_Vorlauf[static_cast<std::size_t>(v.Zeile - 1)] = true;
                ++e.spaet_gemeldet;
                e.spaet_max = std::max(e.spaet_max, v.Verspaetung / 2.0);
            }

        // Record, then the next change away from it: one cut.
        struct Schnitt {
            int spieler;
            double von, bis;
            std::optional<std::size_t> zeile;
        };
        std::vector<Schnitt> schnitte;
        std::size_t aufnahmen = 0;
        for (std::size_t i = 0; i < wechsel.size(); ++i) {
            if (wechsel[i].mode != Mode::Record) continue;
            std::optional<std::size_t> zeile;
            if (ir && aufnahmen < rec_zeilen.size() && rec_zeilen[aufnahmen] >= 1 &&
                rec_zeilen[aufnahmen] <= kSchnitte)
                zeile = static_cast<std::size_t>(rec_zeilen[aufnahmen] - 1);
            ++aufnahmen;
            for (std::size_t j = i + 1; j < wechsel.size(); ++j)
                if (wechsel[j].mode != Mode::Record) {
                    schnitte.push_back(
                        {wechsel[i].spieler, wechsel[i].stand, wechsel[j].stand, zeile});
                    break;
                }
        }
        // A cut belongs to the row whose record command made it; on an edit
        // line recorder, where the run cuts its rows in order, to the row of
        // its player, from the row of the cut before on, whose start and end
        // lie nearest. A row cut twice counts once; a cut from no player's
        // input, or from another player than its row's, belongs to none.
        e.soll += kSchnitte;
        std::vector<bool> geschnitten(start.size());
        std::size_t ab = 0;
        for (const Schnitt& c : schnitte) {
            auto abstand = [&](std::size_t i) {
                return std::abs(c.von - start[i]) + std::abs(c.bis - ende[i]);
            };
            std::optional<std::size_t> r = c.zeile;
            if (!r)
                for (std::size_t i = ab; i < start.size(); ++i)
                    if (wer[i] == c.spieler && (!r || abstand(i) < abstand(*r))) r = i;
            if (!r || wer[*r] != c.spieler) continue;
            ab = *r;
            if (!ohne_Vorlauf[*r]) {
                const double ein = (c.von - start[*r]) / 2.0;
                const double aus = (c.bis - ende[*r]) / 2.0;
                e.rec.push_back(ein);
                e.pause.push_back(aus);
                e.laenge.push_back(aus - ein);
            }
            if (!geschnitten[*r]) ++e.schnitte;
            geschnitten[*r] = true;
        }
        recorder.onModeChanged = nullptr;
        desk::setIrSender({});
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
    std::printf("%s_late_cut_ins_reported: %d (latest %.2f frames)\n", name, e.spaet_gemeldet,
                e.spaet_max);
    std::printf("%s_runs_stopped_with_a_message: %d of %d\n", name, e.mit_Meldung, e.laeufe);
    std::printf("%s_runs_ended: %d of %d\n", name, e.beendet, e.laeufe);
    std::printf("%s_run_seconds: %.1f\n", name, e.laengste);
    if (std::string_view(name) == "players_past_their_rows")
        std::printf("%s_runs_within_row_lengths_plus_30s_a_row: %d of %d\n", name, e.in_der_Zeit,
                    e.laeufe);
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
        {"late_ticks", Szenario::SpaeteTicks},
        {"players_past_their_rows", Szenario::BeideHinterIhrenZeilen},
        {"panasonic_near_start_ir", Szenario::PanaNahAmStartIr},
        {"counter_zero", Szenario::ZaehlerNull},
        {"long_record_delay", Szenario::LangeVerzoegerung}};
    // A second optional argument runs only the scenarios whose name holds it.
    const std::string nur = argc > 2 ? argv[2] : "";
    for (const auto& [name, sz] : szenarien) {
        if (std::string_view(name).find(nur) == std::string_view::npos) continue;
        Ergebnis e;
        for (int nr = 0; nr < laeufe; ++nr)
            lauf(sz, nr, e);
        zeige(name, e);
    }
    return 0;
}
