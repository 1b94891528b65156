// Cut accuracy of the video window's cut run on simulated decks (virtual
// clock): how far, in frames, the recorder's record and pause commands land
// from the cut points of the list, for a Control-L player with a Panasonic
// recorder on its edit line, a Panasonic player with a Control-L recorder,
// and a Control-L player with a recorder driven by IR (the first carrier
// burst on the IR sender counts). Each scenario runs a list of ten cuts from
// a stopped player, with random deck reaction delays.
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
#include <random>
#include <string>
#include <vector>

namespace {

enum class Szenario { SonyNachPana, PanaNachSony, SonyNachIr };

struct Ergebnis {
    std::vector<double> rec; // frames, signed (late > 0)
    std::vector<double> pause;
    int schnitte = 0;
};

constexpr int kSchnitte = 10;
constexpr std::int32_t kSekunde = 50;

std::string zeit(std::int32_t units) {
    return Sio::Zaehler_nach_Text(units);
}

Ergebnis lauf(Szenario sz, unsigned seed) {
    Ergebnis e;
    QTemporaryDir dir;
    const std::filesystem::path ordner(dir.path().toStdString());
    platform::VirtualClock clock;
    clock.setTickBase(10000);
    sim::SimAdapter sim(clock, 0x3F8);
    platform::ScopedBackends backends(&sim.bus, &clock);
    EngineSession session;
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
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> reaktion(0, 3);
    auto sony = std::make_shared<sim::ControlLDeck>();
    auto pana = std::make_shared<sim::PanasonicDeck>();
    sim.adapter.attach(sony, {1});
    sim.adapter.attach(pana, {2});
    const bool sonySpielt = sz != Szenario::PanaNachSony;
    sim::TapeTransport& spieler = sonySpielt ? sony->transport() : pana->transport();
    sim::TapeTransport& recorder = sonySpielt ? pana->transport() : sony->transport();
    spieler.setPosition(12 * kSekunde);

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
        auto tick = [&] {
            clock.advanceMs(600);
            sim.sync();
            k.Timer1Timer();
        };
        tick();
        if (sz == Szenario::SonyNachPana) k.Waehle_Aufnahme(2);
        if (sz == Szenario::PanaNachSony) {
            k.Waehle_Aufnahme(1);
            k.Waehle_Zuspieler(2);
        }
        const int rec = k.Aufnahme_Nr();
        k.Box_Geraet[static_cast<std::size_t>(rec)].PausePause = false;
        k.Box_Geraet[static_cast<std::size_t>(rec)].MaxPausenZeit = "5:00";
        k.Schnitt_IRCodes[6].Befehl = {1, 1200, 0};
        k.Schnitt_IRCodes[3].Befehl = {1, 600, 0};
        k.Schnitt_IRCodes[2].Befehl = {1, 900, 0};
        std::vector<std::int32_t> start, ende;
        const std::string ziffer = sonySpielt ? "1" : "2";
        for (int i = 0; i < kSchnitte; ++i) {
            start.push_back((20 + 15 * i) * kSekunde + static_cast<std::int32_t>(rng() % 50));
            ende.push_back(start.back() + 6 * kSekunde + static_cast<std::int32_t>(rng() % 50));
            for (int c = 0; c < 5; ++c)
                k.Raster.setZelle(c, i + 1, "");
            k.Raster.setZelle(0, i + 1, ziffer);
            k.Raster.setZelle(1, i + 1, zeit(start.back()));
            k.Raster.setZelle(2, i + 1, zeit(ende.back()));
        }
        k.Laengen_berechnen();
        k.Zeile_anwaehlen(1);

        // Where the player stood at a past moment while it kept playing.
        auto spielerBei = [&](sim::Ps at) {
            sim.sync();
            return spieler.position() -
                   static_cast<std::int32_t>((clock.nowPs() - at) / sim::ControlLDeck::kFieldPs);
        };
        k.SchneidenKnopf->click();
        for (int t = 0; t < 3000 && k.SchneidenKnopf->isChecked(); ++t) {
            spieler.options().reactionFields = reaktion(rng);
            recorder.options().reactionFields = reaktion(rng);
            tick();
        }
        sim.sync();
        std::vector<sim::Ps> zeiten;
        if (sz == Szenario::SonyNachIr) {
            for (const auto& b : sim.irSender->bursts())
                zeiten.push_back(b.start);
        } else if (sz == Szenario::SonyNachPana) {
            for (const auto& r : pana->log())
                if (r.obeyed) zeiten.push_back(r.at);
        } else {
            for (const auto& r : sony->log())
                if (r.obeyed && r.address == sim::ControlLDeck::kAddress) zeiten.push_back(r.at);
        }
        for (int i = 0; i < kSchnitte && static_cast<std::size_t>(2 * i + 1) < zeiten.size(); ++i) {
            e.rec.push_back((spielerBei(zeiten[static_cast<std::size_t>(2 * i)]) -
                             start[static_cast<std::size_t>(i)]) /
                            2.0);
            e.pause.push_back((spielerBei(zeiten[static_cast<std::size_t>(2 * i + 1)]) -
                               ende[static_cast<std::size_t>(i)]) /
                              2.0);
            ++e.schnitte;
        }
        platform::WindowTracker::instance().unregisterWindow(static_cast<QWidget*>(&k));
    }
    platform::setPrompts(nullptr);
    platform::setOs(nullptr);
    return e;
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
    std::printf("%s_cuts_done: %d of %d\n", name, e.schnitte, kSchnitte);
    std::printf("%s_record_mean_error: %.2f frames\n", name, mittel(e.rec));
    std::printf("%s_record_max_error: %.1f frames\n", name, groesst(e.rec));
    std::printf("%s_pause_mean_error: %.2f frames\n", name, mittel(e.pause));
    std::printf("%s_pause_max_error: %.1f frames\n", name, groesst(e.pause));
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    platform::WindowTracker::instance().setFollowFocus(false);
    zeige("controll_player_panasonic_recorder", lauf(Szenario::SonyNachPana, 11));
    zeige("panasonic_player_controll_recorder", lauf(Szenario::PanaNachSony, 12));
    zeige("controll_player_ir_recorder", lauf(Szenario::SonyNachIr, 13));
    return 0;
}
