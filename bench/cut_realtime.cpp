// The cut list in real time, as a user runs it without hardware: the
// simulated adapter on the host's clock, the engine and the video window on
// it as in the program, the camcorder on Control-L (box 1) and the VCR on
// Panasonic (box 2) feeding the IR recorder (box 4) on its inputs 1 and 2.
// The recorder's delays are entered as measured, its commands learnt. A list
// of 6 rows of 2 s to 4 s, a few seconds apart, alternating between the
// players, runs while 0, 2, 4 or 8 busy processes take the processor at
// normal priority. From the recorder's own record of what it took (which
// input, which stretch of the player's tape) each row is
//   right: recorded from its player, both ends within a frame;
//   reported: a notice of the run names it, or the run stopped with a message;
//   wrong silently: not right and not reported.
// A run is hung when it has not ended 2 minutes after its last row should
// have been cut. The program's realtime priority option is on, as by
// default: a send takes SCHED_FIFO where the process may.
// Usage: cut_realtime [loads, e.g. 0,2,4,8] [runs per load, at least 3]
// With CUT_TRACE set in the environment, the engine's trace lines go to
// stderr, each with the host's time.
#include "bench/BusyProcesses.h"
#include "bench/CutList.h"
#include "desk/IR_qt.h"
#include "engine/ControlL.h"
#include "engine/Debug.h"
#include "engine/Panasonic.h"
#include "engine/Sio.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/Prompts_qt.h"
#include "platform/System.h"
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

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kZeilen = 6;
constexpr std::int32_t kSekunde = 50;
constexpr double kHaengtNach = 120.0; // s after the last row
using Mode = sim::TapeTransport::Mode;
using bench::hostSeconds;

struct Zaehlung {
    int richtig = 0, still_falsch = 0, gemeldet = 0, zeilen = 0;
    int haengend = 0, laeufe = 0;
};

// Lets the window's events through until the host's time `bis`.
void warteBis(double bis) {
    while (hostSeconds() < bis) {
        QCoreApplication::processEvents();
        usleep(1000);
    }
}

// The trace as lines on stderr, for finding where a run stood.
struct StderrSink : Dbg_disp::DebugSink {
    bool isShowing() const override { return true; }
    int lineCount() const override { return 0; }
    void deleteFirstLine() override {}
    void appendToLastLine(std::string_view t) override { zeile.append(t); }
    void addEmptyLine() override {
        std::fprintf(stderr, "T %.3f %s\n", hostSeconds(), zeile.c_str());
        zeile.clear();
    }
    std::string zeile;
};

void lauf(int nr, Zaehlung& z) {
    QTemporaryDir dir;
    const std::filesystem::path ordner(dir.path().toStdString());
    platform::RealClock host;
    sim::SimAdapter sim(host, 0x3F8);
    platform::ScopedBackends backends(&sim.bus, &sim.clock);
    EngineSession session;
    Dbg_disp::Debug_An = false;
    StderrSink spur;
    if (std::getenv("CUT_TRACE")) {
        Dbg_disp::setDebugSink(&spur);
        Dbg_disp::Debug_An = true;
    }
    platform::ScriptedPrompts prompts;
    int meldungen = 0;
    prompts.onUnexpected = [&meldungen](const QString& d) {
        std::fprintf(stderr, "%s\n", qPrintable(d));
        ++meldungen;
    };
    // The timing is determined once per load, as a user does at the first
    // start, and kept for the later runs as the settings file keeps it.
    static std::int32_t anfragen = -1, drehg = -1, sony1 = -1, sony2 = -1;
    if (nr == 0) anfragen = drehg = sony1 = sony2 = -1;
    if (anfragen < 0)
        prompts.expectYesNo(
            QStringLiteral("Timing Werte jetzt bestimmen ? (dauert ca. 30 Sekunden, nur für "
                           "Video wichtig)\rDetermine timing now ? (takes 30 sec., only "
                           "relevant for video control)"),
            true);
    platform::setPrompts(&prompts);
    // The program's own priority option around each send.
    platform::HostSystem os;
    platform::setOs(&os);
    {
        platform::IniFile ini(ordner / "Tavix.ini");
        bench::frischeEinstellungen(ini);
        if (anfragen >= 0) {
            ini.writeInteger("Timing", "Anfragen_Sec", anfragen);
            ini.writeInteger("Timing", "Drehg_mSec", drehg);
        }
        if (sony1 >= 0) {
            ini.writeInteger("Sony", "Sony1", sony1);
            ini.writeInteger("Sony", "Sony2", sony2);
        }
    }
    std::mt19937 rng(static_cast<unsigned>(4711 + nr));
    auto sony = std::make_shared<sim::ControlLDeck>();
    auto pana = std::make_shared<sim::PanasonicDeck>();
    sim.attach(sony, {1});
    sim.attach(pana, {2});
    const sim::IrRecorder::Source quellen[2] = {sim::IrRecorder::sourceOf(*sony, "Kanal 1"),
                                                sim::IrRecorder::sourceOf(*pana, "Kanal 2")};
    sim::IrRecorder::Options ro;
    ro.reactionPs = std::uniform_int_distribution<int>(40, 250)(rng) * sim::kPsPerMs;
    auto ir = std::make_shared<sim::IrRecorder>(ro);
    sim.attach(ir, {0, 3});
    ir->connectInput(1, quellen[0]);
    ir->connectInput(2, quellen[1]);
    std::uniform_int_distribution<int> felder(0, 3);
    sony->transport().options().reactionFields = felder(rng);
    pana->transport().options().reactionFields = felder(rng);
    sony->transport().setPosition(12 * kSekunde);
    pana->transport().setPosition(12 * kSekunde);
    std::vector<sim::Ps> wechsel;
    ir->transport().onModeChanged = [&](Mode) { wechsel.push_back(sim.queue.now()); };

    desk::TIRFormOptions o;
    o.programFile = ordner / "Tavix";
    {
        desk::TIRForm form(std::move(o));
        form.ProcessMessages = [] { QCoreApplication::processEvents(); };
        video::TKameraDialog k(form);
        form.KameraDialog = &k;
        k.ProcessMessages = [] { QCoreApplication::processEvents(); };
        platform::WindowTracker::instance().activate(static_cast<QWidget*>(&form));
        platform::WindowTracker::instance().activate(static_cast<QWidget*>(&k));
        // The window's timer, every 600 ms on the host's clock.
        double naechster = hostSeconds();
        auto tick = [&] {
            naechster += 0.6;
            warteBis(naechster);
            sim.sync();
            k.Timer1Timer();
        };
        tick();
        // The UART is adjusted to the camcorder once, as the window offers.
        if (sony1 < 0) {
            sim.sync();
            Sio::Waehle_Kanal(1);
            k.Sony_justiert = true;
            k.Sony_justieren();
            sony1 = Sio::Sony1;
            sony2 = Sio::Sony2;
            naechster = hostSeconds();
        }
        const auto rec = static_cast<std::size_t>(k.Aufnahme_Nr());
        k.Box_Geraet[rec].PausePause = false;
        k.Box_Geraet[rec].MaxPausenZeit = "5:00";
        bench::irCodesGelernt(k);

        // The recorder's latency from the command to its change of mode (-1:
        // none within 5 s).
        auto latenz = [&](std::int32_t code) {
            sim.sync();
            const std::size_t vorher = wechsel.size();
            const sim::Ps t0 = sim.clock.nowPs();
            k.Aufnahme_Befehl(static_cast<Sio::Transport>(code));
            const double bis = hostSeconds() + 5.0;
            while (wechsel.size() == vorher && hostSeconds() < bis) {
                usleep(1000);
                sim.sync();
            }
            return wechsel.size() == vorher ? -1.0
                                            : static_cast<double>(wechsel[vorher] - t0) /
                                                  static_cast<double>(sim::kPsPerMs);
        };
        auto stoppen = [&] {
            for (int n = 0; n < 3 && ir->transport().mode() != Mode::Stop; ++n) {
                latenz(2);
                warteBis(hostSeconds() + 1.0);
                sim.sync();
            }
        };
        // Measured three times from a standing recorder, as a user would; a
        // send that had to go out again lasted longer, so the shortest counts.
        double dtRec = -1, dtPause = -1;
        const auto kuerzer = [](double& bisher, double neu) {
            if (neu >= 0 && (bisher < 0 || neu < bisher)) bisher = neu;
        };
        for (int versuch = 0; versuch < 3; ++versuch) {
            stoppen();
            kuerzer(dtRec, latenz(6));
            warteBis(hostSeconds() + 0.5);
            sim.sync();
            if (ir->transport().mode() == Mode::Record) kuerzer(dtPause, latenz(3));
            warteBis(hostSeconds() + 0.5);
        }
        stoppen();
        if (dtRec < 0 || dtPause < 0 || ir->transport().mode() != Mode::Stop) {
            std::fprintf(stderr, "run %d: the recorder's delays not measured, no run\n", nr);
            ir->transport().onModeChanged = nullptr;
            platform::WindowTracker::instance().unregisterWindow(static_cast<QWidget*>(&k));
            platform::setPrompts(nullptr);
            platform::setOs(nullptr);
            return;
        }
        std::fprintf(stderr, "run %d: the recorder's delays %.0f ms to record, %.0f ms to pause\n",
                     nr, dtRec, dtPause);
        k.Box_Geraet[4].dt_IR_rec = bench::verzoegerung(dtRec);
        k.Box_Geraet[4].dt_IR_Pause = bench::verzoegerung(dtPause);

        // Six rows of 2 s to 4 s, the players in turn, each 3 s to 6 s after
        // that player's row before.
        std::vector<int> wer;
        std::vector<std::int32_t> start, ende;
        std::int32_t t[2] = {20 * kSekunde, 20 * kSekunde};
        for (int i = 0; i < kZeilen; ++i) {
            const int p = i % 2;
            const std::int32_t s =
                t[p] + std::uniform_int_distribution<std::int32_t>(3 * kSekunde, 6 * kSekunde)(rng);
            const std::int32_t e =
                s + std::uniform_int_distribution<std::int32_t>(2 * kSekunde, 4 * kSekunde)(rng);
            t[p] = e;
            for (int c = 0; c < 5; ++c)
                k.Raster.setZelle(c, i + 1, "");
            k.Raster.setZelle(0, i + 1, std::to_string(p + 1));
            k.Raster.setZelle(1, i + 1, Sio::Zaehler_nach_Text(s));
            k.Raster.setZelle(2, i + 1, Sio::Zaehler_nach_Text(e));
            // The cells hold whole frames: the cut points are what they say.
            wer.push_back(p + 1);
            start.push_back(Sio::Zeitwort_nach_Zaehler(k.Raster.zelle(1, i + 1), 1));
            ende.push_back(Sio::Zeitwort_nach_Zaehler(k.Raster.zelle(2, i + 1), 1));
        }
        k.Laengen_berechnen();
        k.Zeile_anwaehlen(1);
        // When the last row should be cut at the latest: both players' stretches
        // one after the other from where they stand, plus winding.
        double soll_s = 0;
        for (int p = 0; p < 2; ++p)
            soll_s += (t[p] - 12 * kSekunde) / static_cast<double>(kSekunde) + 10.0;

        sim.sync();
        wechsel.clear();
        // Only what the cut run says counts.
        meldungen = 0;
        const sim::Ps beginnPs = sim.clock.nowPs();
        const double beginn = hostSeconds();
        k.SchneidenKnopf->click();
        double letzte = beginn + soll_s;
        bool haengt = false;
        while (k.SchneidenKnopf->isChecked()) {
            tick();
            if (!wechsel.empty())
                letzte = std::max(beginn + soll_s,
                                  beginn + static_cast<double>(wechsel.back() - beginnPs) /
                                               static_cast<double>(sim::kPsPerSecond));
            if (hostSeconds() > letzte + kHaengtNach) {
                haengt = true;
                k.Panik_StopClick();
                break;
            }
        }
        warteBis(hostSeconds() + 1.0);
        sim.sync();
        ++z.laeufe;
        if (haengt) ++z.haengend;

        // Each recorded stretch belongs to the row of its player whose ends
        // lie nearest; a stretch from no player belongs to none.
        std::vector<int> treffer(kZeilen, 0);
        std::vector<bool> richtig(kZeilen, false);
        for (const sim::RecordedSegment& s : ir->contentMap()) {
            // What the delays' measurement recorded is no part of the list.
            if (s.startPs < beginnPs || s.input < 1 || s.input > 2) continue;
            if (s.endPs - s.startPs < 2 * sim::IrRecorder::kFieldPs) continue;
            int best = -1;
            double abst = 0;
            for (int i = 0; i < kZeilen; ++i) {
                if (wer[static_cast<std::size_t>(i)] != s.input) continue;
                const double a = std::abs(s.playerStart - start[static_cast<std::size_t>(i)]) +
                                 std::abs(s.playerEnd - ende[static_cast<std::size_t>(i)]);
                if (best < 0 || a < abst) best = i, abst = a;
            }
            if (best < 0) continue;
            const auto b = static_cast<std::size_t>(best);
            ++treffer[b];
            // A frame is two fields.
            if (s.playerPlaying && std::abs(s.playerStart - start[b]) <= 2.0 &&
                std::abs(s.playerEnd - ende[b]) <= 2.0)
                richtig[b] = true;
        }
        std::vector<bool> gemeldet(kZeilen, meldungen > 0);
        for (const auto& v : k.Schnittvermerke)
            if (v.Zeile >= 1 && v.Zeile <= kZeilen) gemeldet[static_cast<std::size_t>(v.Zeile - 1)] = true;
        for (std::size_t i = 0; i < kZeilen; ++i) {
            // A row recorded twice also holds a stretch that is not its own.
            const bool ok = richtig[i] && treffer[i] == 1;
            ++z.zeilen;
            if (ok) ++z.richtig;
            if (gemeldet[i]) ++z.gemeldet;
            if (!ok && !gemeldet[i]) ++z.still_falsch;
        }
        std::fprintf(stderr, "run %d: %.1f s%s, %d messages, %zu notices\n", nr,
                     hostSeconds() - beginn, haengt ? " (hung)" : "", meldungen,
                     k.Schnittvermerke.size());
        for (const auto& v : k.Schnittvermerke)
            std::fprintf(stderr, "  row %d: %s\n", v.Zeile, v.Text.c_str());
        for (std::size_t i = 0; i < kZeilen; ++i)
            std::fprintf(stderr, "  row %zu: player %d %d..%d\n", i + 1, wer[i], start[i], ende[i]);
        for (const sim::RecordedSegment& s : ir->contentMap())
            std::fprintf(stderr, "  recorded from input %d: %.1f..%.1f%s\n", s.input,
                         s.playerStart, s.playerEnd, s.playerPlaying ? "" : " (not playing)");
        // The timing as the measurement at start left it, for the next run.
        if (anfragen < 0) {
            anfragen = Sio::Anfragen_Sec;
            drehg = Sio::Drehg_mSec;
        }
        ir->transport().onModeChanged = nullptr;
        platform::WindowTracker::instance().unregisterWindow(static_cast<QWidget*>(&k));
    }
    platform::setPrompts(nullptr);
    platform::setOs(nullptr);
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    platform::WindowTracker::instance().setFollowFocus(false);
    std::vector<unsigned> lasten = {0, 2, 4, 8};
    if (argc > 1) {
        lasten.clear();
        std::stringstream s(argv[1]);
        std::string n;
        while (std::getline(s, n, ','))
            lasten.push_back(static_cast<unsigned>(std::atoi(n.c_str())));
    }
    const int laeufe = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    // What the realtime priority option takes for a send here (root or an
    // RLIMIT_RTPRIO: SCHED_FIFO; otherwise nice -20 where allowed).
    {
        sched_param p{};
        p.sched_priority = sched_get_priority_min(SCHED_FIFO);
        const bool fifo = sched_setscheduler(0, SCHED_FIFO, &p) == 0;
        const sched_param q{};
        if (fifo) sched_setscheduler(0, SCHED_OTHER, &q);
        std::printf("cut_realtime.send_priority: %s\n",
                    fifo ? "SCHED_FIFO" : "nice -20 or normal (no privilege for SCHED_FIFO)");
    }
    for (const unsigned n : lasten) {
        Zaehlung z;
        {
            bench::BusyProcesses last(n, laeufe * 400.0);
            for (int nr = 0; nr < laeufe; ++nr)
                lauf(nr, z);
        }
        std::printf("cut_realtime.busy%u_rows_right: %d of %d\n", n, z.richtig, z.zeilen);
        std::printf("cut_realtime.busy%u_rows_wrong_silently: %d of %d\n", n, z.still_falsch,
                    z.zeilen);
        std::printf("cut_realtime.busy%u_rows_reported: %d of %d\n", n, z.gemeldet, z.zeilen);
        std::printf("cut_realtime.busy%u_runs_hung: %d of %d\n", n, z.haengend, z.laeufe);
        std::fflush(stdout);
    }
    return 0;
}
