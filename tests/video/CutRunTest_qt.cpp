// The cut run end to end on simulated decks: a Control-L player, a Panasonic
// recorder on its edit line or an IR recorder in box 4, command rows, player
// changes and the start warnings.
#include "VideoFixture.h"

#include "desk/IrSendLink.h"
#include "desk/Lernen_qt.h"
#include "sim/IrDetector.h"
#include "sim/IrRecorder.h"

#include <QPushButton>

using video::TKameraDialog;
using Mode = sim::TapeTransport::Mode;

namespace {
constexpr std::int32_t s(double sekunden) {
    return static_cast<std::int32_t>(sekunden * 50 + 0.5);
}
} // namespace

class CutRun : public VideoFixture {
protected:
    TKameraDialog& bereit(std::int32_t start) {
        attachDecks();
        sony->transport().setPosition(start);
        sonyKalibriert();
        TKameraDialog& k = makeKamera();
        activateBoth();
        tick();
        return k;
    }

    // The player's tape position at a moment of the past while it played on.
    std::int32_t spielerBei(sim::Ps at) {
        sim.sync();
        const sim::Ps jetzt = clock.nowPs();
        return sony->transport().position() -
               static_cast<std::int32_t>((jetzt - at) / sim::ControlLDeck::kFieldPs);
    }

    // Ticks until the run ends (at most n), each `spaet` ms late.
    int laufen(int n, int spaet = 0) {
        int i = 0;
        while (kamera->SchneidenKnopf->isChecked() && i < n) {
            clock.advanceMs(spaet);
            tick();
            ++i;
        }
        return i;
    }

    // IR sends with the player's position at that moment.
    void irMitPosition() {
        desk::setIrSender([this](const Sio::TBefehl& b) {
            sim.sync();
            sent.push_back(b);
            sentAtMs.push_back(clock.nowUs() / 1000.0);
            irPosition.push_back(sony->transport().position());
            return 1;
        });
    }
    std::vector<std::int32_t> irPosition;

    // Box 4 as the recorder: its delays, no pause for record, and (unless
    // learnt) stand-in commands for Record, Pause and Stop.
    static void irKasten(TKameraDialog& k, const char* rec, const char* pause) {
        k.Box_Geraet[4].dt_IR_rec = rec;
        k.Box_Geraet[4].dt_IR_Pause = pause;
        k.Box_Geraet[4].PausePause = false;
        k.Box_Geraet[4].MaxPausenZeit = "5:00";
    }
    static void irBefehle(TKameraDialog& k) {
        k.Schnitt_IRCodes[6].Befehl = {1, 600, 0};
        k.Schnitt_IRCodes[3].Befehl = {1, 300, 0};
        k.Schnitt_IRCodes[2].Befehl = {1, 200, 0};
    }
};

TEST_F(CutRun, LineRecorderRecordsAndPausesAtTheCutPoints) {
    TKameraDialog& k = bereit(s(12));
    k.Waehle_Aufnahme(2);
    k.Box_Geraet[2].dt_K_rec = "0";
    k.Box_Geraet[2].dt_K_Pause = "0";
    k.Box_Geraet[2].PausePause = false;
    zeile(1, {"1", "0:00:20.00", "0:00:26.00", "", "eins"});
    k.Laengen_berechnen();
    pana->clearLog();
    sony->clearLog();
    k.SchneidenKnopf->click();
    EXPECT_TRUE(k.SchneidenKnopf->isChecked());
    EXPECT_FALSE(k.Raster.Editieren);
    laufen(60);
    EXPECT_FALSE(k.SchneidenKnopf->isChecked()) << "the last row ends the run";

    // The stopped player was started by the run.
    EXPECT_TRUE(hatZeile("Starten des nicht aktiven Zuspielers Nr : 1 # Versuche : 1") ||
                hatZeile("Starten des nicht aktiven Zuspielers Nr : 1 # Versuche : 2"));
    EXPECT_TRUE(hatZeile("XAufnahme Schnittpunkt :  0:00:20.00"));
    EXPECT_TRUE(hatZeile("XStoppe  Schnittpunkt :  0:00:26.00"));
    std::vector<sim::PanasonicDeck::Received> befehle;
    for (const auto& r : pana->log())
        if (r.obeyed) befehle.push_back(r);
    ASSERT_GE(befehle.size(), 3u);
    EXPECT_NEAR(spielerBei(befehle[0].at), s(20), 3) << "record at the start";
    EXPECT_NEAR(spielerBei(befehle[1].at), s(26), 3) << "pause at the end";
    EXPECT_EQ(pana->transport().mode(), Mode::Stop) << "the last row stops the recorder";
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
    EXPECT_EQ(k.Raster.Row, k.Raster.RowCount() - 1);
}

TEST_F(CutRun, IrRecorderWithSignedDelaysAndOffset) {
    TKameraDialog& k = bereit(s(10));
    irMitPosition();
    irBefehle(k);
    irKasten(k, "-0:01.00", "0.10");
    k.CountBox[1]->Offset->setText(QStringLiteral("0:02.00"));
    zeile(1, {"1", "0:00:20.00", "0:00:26.00", "", ""});
    k.Laengen_berechnen();
    k.SchneidenKnopf->click();
    laufen(60);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0][1], 600);
    // Grid time = tape + offset; a negative lead sends after the point.
    EXPECT_NEAR(irPosition[0], s(20 - 2 + 1), 3);
    EXPECT_EQ(sent[1][1], 300);
    EXPECT_NEAR(irPosition[1], s(26 - 2 - 0.4), 3);
    EXPECT_TRUE(hatZeile("Schnitt Zeile 1 : 1 , 0:00:20.00 , 0:00:26.00 ,  0:00:06.00 , "));
}

TEST_F(CutRun, CommandRowsGotoRecorderChoiceAndDialog) {
    TKameraDialog& k = bereit(s(4 * 60 + 30));
    k.Parameter->SpulWert->setText(QStringLiteral("0:10.00"));
    k.Schnitt_IRCodes[3].Befehl = {1, 300, 0};
    zeile(1, {"", "Goto", "0:05:00.00", "", ""});
    zeile(2, {"", "Aufnahme Rec Nr", "5", "", ""});
    zeile(3, {"", "Dialogbox", "", "", "Band wechseln"});
    zeile(4, {"1", "0:06:00", "0:06:10", "", ""});
    k.Laengen_berechnen();
    k.SchneidenKnopf->click();
    tick();
    EXPECT_TRUE(hatZeile("Goto_Befehl  0:05:00 Differenz  0:00:30"));
    // Wound past 5 minutes by what the deck winds while the stop gets through.
    EXPECT_GE(sony->transport().position(), s(300));
    EXPECT_LE(sony->transport().position(), s(312));
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
    EXPECT_EQ(k.Raster.Row, 2);
    tick();
    EXPECT_EQ(k.Aufnahme_Nr(), 4) << "recorder 5 does not exist";
    EXPECT_EQ(k.Raster.Row, 3);
    prompts.expectMessage(QStringLiteral("Band wechseln"));
    tick();
    EXPECT_FALSE(k.SchneidenKnopf->isChecked()) << "the box ends the run";
    EXPECT_EQ(k.Raster.Row, 4);
    EXPECT_TRUE(k.Timer_an());
}

TEST_F(CutRun, StopRowAndPanicStop) {
    TKameraDialog& k = bereit(s(30));
    k.Schnitt_IRCodes[3].Befehl = {1, 300, 0};
    k.Schnitt_IRCodes[2].Befehl = {1, 200, 0};
    zeile(1, {"", "Stop", "", "", ""});
    k.Laengen_berechnen();
    k.vcrClick(k.CountBox[1]->SpeedButton[2]); // Play
    sim.sync();
    ASSERT_EQ(sony->transport().mode(), Mode::Play);
    k.SchneidenKnopf->click();
    tick();
    EXPECT_FALSE(k.SchneidenKnopf->isChecked());
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
    EXPECT_FALSE(k.Aufnahme_laeuft);

    // Panic stop: player three times, recorder twice, and nothing else.
    k.vcrClick(k.CountBox[1]->SpeedButton[2]);
    sim.sync();
    ASSERT_EQ(sony->transport().mode(), Mode::Play);
    sent.clear();
    sony->clearLog();
    k.SchneidenKnopf->setChecked(true);
    k.Aufnahme_laeuft = true;
    k.Panik_StopClick();
    sim.sync();
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
    ASSERT_FALSE(sony->log().empty());
    for (const auto& r : sony->log())
        EXPECT_EQ(r.command, 48) << "only Stop to the player";
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][1], 200);
    EXPECT_EQ(sent[1][1], 200);
    EXPECT_FALSE(k.SchneidenKnopf->isChecked());
    EXPECT_TRUE(k.Aufnahme_laeuft) << "kept until the next start";
    EXPECT_TRUE(k.Timer_an());
    EXPECT_TRUE(hatZeile("Panik Stop"));
}

TEST_F(CutRun, PlayerChangeStepsTheRecorder) {
    auto drei = std::make_shared<sim::ControlLDeck>();
    sim.adapter.attach(drei, {3});
    TKameraDialog& k = bereit(s(30));
    irMitPosition();
    k.Schnitt_IRCodes[3].Befehl = {1, 300, 0};
    k.Schnitt_IRCodes[10].Befehl = {1, 1000, 0};
    k.Schnitt_IRCodes[11].Befehl = {1, 1100, 0};
    zeile(1, {"3", "1:00:00", "1:00:10", "", ""});
    zeile(2, {"1", "1:00:00", "1:00:10", "", ""});
    k.Laengen_berechnen();
    k.vcrClick(k.CountBox[1]->SpeedButton[2]);
    k.SchneidenKnopf->click();
    sent.clear();
    tick();
    EXPECT_TRUE(hatZeile("Umschalten von Player 1 nach 3"));
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0][1], 1000);
    EXPECT_EQ(sent[1][1], 1000);
    EXPECT_NEAR(sentAtMs[1] - sentAtMs[0], 2500, 50);
    sim.sync();
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
    EXPECT_EQ(drei->transport().mode(), Mode::Play);
    EXPECT_EQ(k.Zuspieler_Nr(), 3);

    // Back from 3 to 1: down twice. The cut point lies far ahead, so move on.
    k.Zeile_anwaehlen(2);
    sent.clear();
    tick();
    EXPECT_TRUE(hatZeile("Umschalten von Player 3 nach 1"));
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0][1], 1100);
    EXPECT_EQ(sent[1][1], 1100);

    // No steps when the old player was not playing.
    Sio::Kamera_Befehl(1, Sio::Transport::Stop);
    k.Zeile_anwaehlen(1);
    k.Letzter_Zuspieler = 1;
    k.Kanal_spielt[1] = false;
    k.Waehle_Zuspieler(1);
    const auto wechsel = std::count(memo.lines.begin(), memo.lines.end(),
                                    std::string("Umschalten von Player 1 nach 3"));
    sent.clear();
    k.Zaehler_abfragen();
    ASSERT_FALSE(k.Kanal_spielt[1]);
    k.Schnitt_Schritt();
    EXPECT_EQ(std::count(memo.lines.begin(), memo.lines.end(),
                         std::string("Umschalten von Player 1 nach 3")),
              wechsel);
    for (const auto& b : sent)
        EXPECT_NE(b[1], 1000);
    EXPECT_EQ(k.Zuspieler_Nr(), 3);
}

TEST_F(CutRun, StartWarnings) {
    attachDecks();
    TKameraDialog& k = makeKamera();
    activateBoth();
    tick();
    // Control-L not calibrated and a Sony device present: no run.
    const QString sonyWarnung = QStringLiteral(
        "Achtung !\rerst Sony Steuerung ausmessen !\rper Dr\u00FCcken eines Knopfes ausl\u00F6sen");
    const QString irWarnung = QStringLiteral(
        "Achtung : kein IR Code geladen !\rOK = Weiterwarnen, Nein = keine weiteren Warnungen");
    prompts.expectMessage(sonyWarnung);
    prompts.expectOkNo(irWarnung, true);
    k.SchneidenKnopf->click();
    EXPECT_FALSE(k.SchneidenKnopf->isChecked());
    EXPECT_TRUE(k.IR_Warnung);

    Sio::Sony1 = kSony1;
    k.Sony_justiert = true;
    prompts.expectOkNo(irWarnung, true);
    k.SchneidenKnopf->click();
    EXPECT_FALSE(k.SchneidenKnopf->isChecked()) << "OK warns again and starts nothing";
    prompts.expectOkNo(irWarnung, false);
    k.SchneidenKnopf->click();
    EXPECT_FALSE(k.SchneidenKnopf->isChecked());
    EXPECT_FALSE(k.IR_Warnung);
    k.SchneidenKnopf->click();
    EXPECT_TRUE(k.SchneidenKnopf->isChecked()) << "no warning: the run starts";
}

TEST_F(CutRun, PassedCutPointRewindsAndEmptyStartTakesTheEndAbove) {
    TKameraDialog& k = bereit(s(60));
    k.Schnitt_IRCodes[3].Befehl = {1, 300, 0};
    zeile(1, {"1", "0:00:30", "0:00:40", "", ""});
    zeile(2, {"1", "", "0:00:50", "", ""});
    k.Laengen_berechnen();
    k.Parameter->SpulWert->setText(QStringLiteral("0:05.00"));
    k.SchneidenKnopf->click();
    tick();
    EXPECT_TRUE(hatZeile("Zurueckspulen, um Schnittpunkt zu erreichen"));
    EXPECT_TRUE(hatZeile("Goto_Befehl  0:00:20 Differenz -0:00:40"));
    EXPECT_LE(sony->transport().position(), s(20)) << "before the cut point, with room to play in";
    EXPECT_GE(sony->transport().position(), s(5));

    k.Zeile_anwaehlen(2);
    k.CountDown_anzeigen();
    EXPECT_EQ(k.Triggerzelle, "0:00:40") << "a blank start uses the end above";
}

TEST_F(CutRun, PanasonicPlayerGetsNoCue) {
    TKameraDialog& k = bereit(s(60));
    k.Waehle_Zuspieler(2);
    tick();
    pana->clearLog();
    k.Parameter->SpulWert->setText(QStringLiteral("5:00.00"));
    k.Goto_Befehl(s(90));
    EXPECT_TRUE(hatZeile("Kein Cue bei Panasonic"));
    EXPECT_TRUE(hatZeile("Goto_Befehl Ende, loopctr : -1"));
    EXPECT_TRUE(pana->log().empty());
}

TEST_F(CutRun, ShortStaleAndPassedRowsGetTheirCutOut) {
    TKameraDialog& k = bereit(s(12));
    irMitPosition();
    irBefehle(k);
    irKasten(k, "0", "0");
    // Rows shorter than the tick can see, and rows whose end lies in the
    // first second after a tick.
    const std::vector<std::pair<double, double>> schnitte = {{20, 21},   {30, 31.5}, {40, 41.62},
                                                             {50, 51.9}, {60, 62.3}, {70, 72.5}};
    int r = 1;
    for (const auto& [a, e] : schnitte)
        zeile(r++, {"1", Sio::Zaehler_nach_Text(s(a)), Sio::Zaehler_nach_Text(s(e)), "", ""});
    // Ends edited after the lengths were computed: one before its start, one
    // shorter than the stored length says.
    zeile(r++, {"1", "0:01:20.00", "0:01:25.00", "", ""});
    zeile(r++, {"1", "0:01:30.00", "0:01:40.00", "", ""});
    k.Laengen_berechnen();
    k.Raster.setZelle(2, r - 2, "0:01:19.00");
    k.Raster.setZelle(2, r - 1, "0:01:31.00");
    k.SchneidenKnopf->click();
    EXPECT_LT(laufen(400), 400) << "the run reaches its end";
    EXPECT_EQ(k.Raster.zelle(3, r - 2), "") << "lengths are recomputed at the start";

    std::vector<double> erwartet;
    for (const auto& [a, e] : schnitte) {
        erwartet.push_back(a);
        erwartet.push_back(e);
    }
    erwartet.push_back(90);
    erwartet.push_back(91);
    ASSERT_EQ(sent.size(), erwartet.size() + 1) << "record and pause per cut, then stop";
    for (std::size_t i = 0; i < erwartet.size(); ++i) {
        EXPECT_EQ(sent[i][1], i % 2 ? 300 : 600) << i;
        EXPECT_NEAR(irPosition[i], s(erwartet[i]), 3) << i;
    }
    EXPECT_EQ(sent.back()[1], 200);

    // A cut-out point that a tick finds passed pauses at once.
    sent.clear();
    k.Zeile_anwaehlen(2);
    k.SchneidenKnopf->setChecked(true);
    k.Aufnahme_laeuft = true;
    tick();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][1], 300);
    EXPECT_FALSE(k.Aufnahme_laeuft);
    EXPECT_EQ(k.Raster.Row, 3);
    EXPECT_TRUE(hatZeile("Schnittpunkt verpasst, Zeile 2 : Pause sofort"));

    // A step that finds the playing tape read a field past the cut-out a
    // tenth of a second ago (the tick's other reads, a busy machine): the
    // cut lands that much later, and is named.
    sent.clear();
    k.Schnittvermerke.clear();
    k.Zeile_anwaehlen(2);
    k.Aufnahme_laeuft = true;
    sony->transport().setMode(Mode::Play);
    Sio::Zaehler_nach_Position(Sio::Zeitwort_nach_Zaehler(k.Raster.zelle(2, 2), 1) + 1,
                               k.Kanal_Position[1]);
    k.Kanal_spielt[1] = true;
    k.Kanal_Lesezeit[1] = platform::clock().tickCount() - 100;
    k.Schnitt_Schritt();
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(k.Schnittvermerke.size(), 1u);
    EXPECT_EQ(k.Schnittvermerke[0].Text, "Zeile 2 : Pause 0:00:00.03 zu sp\xE4t");
}

TEST_F(CutRun, CutInLandsOnItsFrameWhereverTheTapeStands) {
    TKameraDialog& k = bereit(s(12));
    irMitPosition();
    irBefehle(k);
    irKasten(k, "0.10", "0"); // 10 frames
    // The step that cuts in finds the player playing 1 to 2 s before the
    // start, in every phase of the second; or standing there, so that the
    // automatic Play of one step leaves the cut-in to the next.
    struct Fall {
        double start, vorher;
        bool spielt;
    };
    const std::vector<Fall> faelle = {
        {30.40, 1.30, true}, {40.40, 1.45, true},  {50.32, 1.35, true},  {60.52, 1.90, true},
        {70.92, 1.60, true}, {80.40, 2.00, false}, {90.40, 2.20, false}, {100.72, 1.90, false}};
    int r = 1;
    for (const Fall& f : faelle)
        zeile(r++, {"1", Sio::Zaehler_nach_Text(s(f.start)), Sio::Zaehler_nach_Text(s(f.start + 3)),
                    "", ""});
    k.Laengen_berechnen();
    k.SchneidenKnopf->click();
    for (std::size_t i = 0; i < faelle.size(); ++i) {
        const Fall& f = faelle[i];
        const int zeile = static_cast<int>(i) + 1;
        ASSERT_EQ(k.Raster.Row, zeile);
        sim.sync();
        // Where the tape stands when the tick has come.
        sony->transport().setPosition(s(f.start - f.vorher) - (f.spielt ? s(0.6) : 0));
        sony->transport().setMode(f.spielt ? Mode::Play : Mode::Stop);
        const std::size_t vorher = sent.size();
        for (int n = 0; n < 3 && sent.size() == vorher; ++n)
            tick();
        ASSERT_EQ(sent.size(), vorher + 1) << zeile;
        EXPECT_EQ(sent[vorher][1], 600) << zeile;
        EXPECT_NEAR(irPosition[vorher], s(f.start) - s(0.4), 2) << zeile;
        for (int n = 0; n < 20 && k.Raster.Row == zeile; ++n)
            tick();
    }
    EXPECT_FALSE(hatZeile("Zurueckspulen, um Schnittpunkt zu erreichen"));

    // A record delay of 1.6 s puts the cut-in point behind the tape that
    // plays 1.3 s before the start: no late record, the run winds back and
    // cuts in on its frame.
    zeile(r, {"1", "0:02:00.00", "0:02:03.00", "", ""});
    k.Laengen_berechnen();
    k.Box_Geraet[4].dt_IR_rec = "0:01.15";
    ASSERT_EQ(k.Raster.Row, r);
    sim.sync();
    sony->transport().setPosition(s(120 - 1.3 - 0.6));
    sony->transport().setMode(Mode::Play);
    const std::size_t vorher = sent.size();
    for (int n = 0; n < 100 && sent.size() == vorher; ++n)
        tick();
    ASSERT_GT(sent.size(), vorher);
    EXPECT_EQ(sent[vorher][1], 600);
    EXPECT_NEAR(irPosition[vorher], s(120 - 1.6), 2);
    EXPECT_TRUE(hatZeile("Zurueckspulen, um Schnittpunkt zu erreichen"));
    // The user sees the miss, not only the trace.
    ASSERT_EQ(k.Schnittvermerke.size(), 1u);
    EXPECT_EQ(k.Schnittvermerke[0].Zeile, r);
    EXPECT_FALSE(k.Schnittvermerke[0].Aufnahme_spaet);
    EXPECT_TRUE(k.Schnittmeldung->isVisibleTo(&k));
    EXPECT_TRUE(k.Schnittmeldung->text().startsWith(
        QStringLiteral("Zeile %1 : Schnittpunkt um ").arg(r)));
    EXPECT_TRUE(k.Schnittmeldung->text().endsWith(QStringLiteral(" verpasst, neuer Anlauf")));
}

// The player stands past the row; the recorder needs 13 s from a command to
// its change.
class CutRunLongDelay : public CutRun {
protected:
    TKameraDialog& laufen_lassen(std::optional<std::int32_t> bandanfang) {
        TKameraDialog& k = bereit(s(66));
        sony->transport().options().beginning = bandanfang;
        irMitPosition();
        irBefehle(k);
        irKasten(k, "0:13.00", "0:13.00");
        zeile(1, {"1", "0:01:00.00", "0:01:15.00", "", ""});
        k.Laengen_berechnen();
        sent.clear();
        k.SchneidenKnopf->click();
        EXPECT_LT(laufen(300), 300) << "the run ends";
        EXPECT_EQ(sent.size(), 3u) << "record, pause, stop";
        return k;
    }
};

TEST_F(CutRunLongDelay, WindsBackFarEnoughForTheDelay) {
    TKameraDialog& k = laufen_lassen(std::nullopt);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0][1], 600);
    EXPECT_NEAR(irPosition[0], s(60 - 13), 2);
    for (const auto& v : k.Schnittvermerke)
        ADD_FAILURE() << v.Text;
    // The run ends, and stops the player, only once the pause has acted.
    ASSERT_GE(sent.size(), 2u);
    EXPECT_NEAR(irPosition[1], s(75 - 13), 2);
    EXPECT_GE(irPosition[2], s(75));
}

TEST_F(CutRunLongDelay, TapeWithoutThePrerollIsRecordedLateAndSaysSo) {
    TKameraDialog& k = laufen_lassen(s(55));
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0][1], 600);
    ASSERT_EQ(k.Schnittvermerke.size(), 1u) << k.Schnittmeldung->text().toStdString();
    const auto& v = k.Schnittvermerke[0];
    EXPECT_TRUE(v.Aufnahme_spaet);
    EXPECT_EQ(v.Zeile, 1);
    EXPECT_NEAR(v.Verspaetung, irPosition[0] - s(60 - 13), 3);
    EXPECT_GT(v.Verspaetung, s(7));
    EXPECT_EQ(k.Schnittmeldung->text().toStdString(),
              "Zeile 1 : Aufnahme " + Sio::Zaehler_nach_Text(v.Verspaetung).substr(1) +
                  " zu sp\u00E4t (kein Vorlauf)");
    EXPECT_LE(std::count(memo.lines.begin(), memo.lines.end(),
                         std::string("Zurueckspulen, um Schnittpunkt zu erreichen")),
              2);
}

TEST_F(CutRun, LateTicksStillCutOutOnTheFrame) {
    TKameraDialog& k = bereit(s(12));
    irMitPosition();
    irBefehle(k);
    irKasten(k, "0", "0");
    // Rows whose cut-out the tick after the cut-in could just take if it
    // came on time; on a busy machine every tick comes 300 ms late.
    std::vector<std::pair<double, double>> schnitte;
    for (int i = 0; i < 12; ++i) {
        const double a = 20 + 8 * i + 0.14 * i;
        schnitte.emplace_back(a, a + 1.8 + 0.04 * i);
    }
    int r = 1;
    for (const auto& [a, e] : schnitte)
        zeile(r++, {"1", Sio::Zaehler_nach_Text(s(a)), Sio::Zaehler_nach_Text(s(e)), "", ""});
    k.Laengen_berechnen();
    k.SchneidenKnopf->click();
    EXPECT_LT(laufen(800, 300), 800);
    ASSERT_EQ(sent.size(), 2 * schnitte.size() + 1);
    for (std::size_t i = 0; i < schnitte.size(); ++i) {
        EXPECT_EQ(sent[2 * i + 1][1], 300) << i;
        EXPECT_NEAR(irPosition[2 * i], s(schnitte[i].first), 2) << i;
        EXPECT_NEAR(irPosition[2 * i + 1], s(schnitte[i].second), 2) << i;
    }
    for (const std::string& l : memo.lines)
        EXPECT_EQ(l.rfind("Schnittpunkt verpasst", 0), std::string::npos) << l;

    // A machine that takes the processor away for longer than a frame, again
    // and again: a cut that lands more than a frame off its point is named
    // with its row in a notice, never left silently.
    irPosition.clear();
    sent.clear();
    k.Schnittvermerke.clear();
    sony->transport().setPosition(s(12));
    tick();
    k.Zeile_anwaehlen(1);
    sim.bus.setStalls({600000, 150 * sim::kPsPerMs, sim.bus.accesses()});
    k.SchneidenKnopf->click();
    laufen(800, 300);
    sim.bus.setStalls({});
    int daneben = 0;
    for (std::size_t i = 0; i < irPosition.size() && i / 2 < schnitte.size(); ++i) {
        const auto& [a, e] = schnitte[i / 2];
        if (std::abs(irPosition[i] - s(i % 2 ? e : a)) <= 2) continue;
        ++daneben;
        const int row = static_cast<int>(i / 2) + 1;
        EXPECT_TRUE(std::any_of(k.Schnittvermerke.begin(), k.Schnittvermerke.end(),
                                [row](const auto& v) { return v.Zeile == row; }))
            << "row " << row << " cut at " << irPosition[i] << " silently";
    }
    EXPECT_GT(daneben, 0) << "the stalls disturb some cuts";
}

TEST_F(CutRun, ContinuationRowIsCutOutAtItsOwnEnd) {
    TKameraDialog& k = bereit(s(12));
    irMitPosition();
    irBefehle(k);
    irKasten(k, "0", "0");
    zeile(1, {"1", "0:00:20.00", "0:00:25.00", "", ""});
    zeile(2, {"1", "", "0:00:30.00", "", ""});
    k.Laengen_berechnen();
    k.SchneidenKnopf->click();
    EXPECT_LT(laufen(200), 200);
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[2][1], 600);
    EXPECT_NEAR(irPosition[2], s(25), 3) << "the end above starts the continuation";
    EXPECT_EQ(sent[3][1], 300);
    EXPECT_NEAR(irPosition[3], s(30), 3) << "its own end stops it";
}

TEST_F(CutRun, TimedOutWaitSaysWhereItStood) {
    TKameraDialog& k = bereit(s(17));
    k.Schnitt_IRCodes[6].Befehl = {1, 600, 0};
    k.Box_Geraet[4].dt_IR_rec = "0";
    k.Box_Geraet[4].PausePause = false;
    zeile(1, {"1", "0:00:20.00", "0:00:30.00", "", ""});
    k.Laengen_berechnen();
    k.vcrClick(k.CountBox[1]->SpeedButton[2]);
    tick();
    ASSERT_TRUE(k.Kanal_spielt[1]);
    k.SchneidenKnopf->setChecked(true);
    // The tape stops after the poll: the wait never reaches its target.
    sim.sync();
    sony->transport().setMode(Mode::Stop);
    const std::int32_t stand = sony->transport().position();
    k.Schnitt_Schritt();
    ASSERT_EQ(sent.size(), 1u) << "the command still goes out";
    EXPECT_TRUE(k.Aufnahme_laeuft);
    EXPECT_TRUE(hatZeile("Position nicht erreicht, Zeile 1 : Ziel  0:00:20.00, erreicht " +
                         Sio::Zaehler_nach_Text(stand)));
}

class CutRunInterrupted : public CutRun {
protected:
    // A cut far ahead of a playing player: the step winds towards it and lets
    // messages run while the tape moves; `mitten` runs at the first chance.
    void winden(std::function<void()> mitten) {
        TKameraDialog& k = bereit(s(10));
        irMitPosition();
        irBefehle(k);
        zeile(1, {"1", "0:05:00.00", "0:05:10.00", "", ""});
        k.Laengen_berechnen();
        k.vcrClick(k.CountBox[1]->SpeedButton[2]);
        tick();
        k.SchneidenKnopf->click();
        ASSERT_TRUE(k.SchneidenKnopf->isChecked());
        onProcessMessages = [this, mitten] {
            if (!mitten_gelaufen) {
                mitten_gelaufen = true;
                sim.sync();
                logVorher = sony->log().size();
                sentVorher = sent.size();
                mitten();
                sim.sync();
                logNachher = sony->log().size();
                sentNachher = sent.size();
            }
        };
        tick();
        ASSERT_TRUE(mitten_gelaufen);
        clock.advanceMs(6000);
        sim.sync();
    }
    // Commands to the player after the scripted moment, the scripted
    // moment's own ones left out.
    std::vector<std::uint8_t> spaeter() const {
        std::vector<std::uint8_t> v;
        for (std::size_t i = logNachher; i < sony->log().size(); ++i)
            if (sony->log()[i].obeyed) v.push_back(sony->log()[i].command);
        return v;
    }
    bool mitten_gelaufen = false;
    std::size_t logVorher = 0, logNachher = 0, sentVorher = 0, sentNachher = 0;
};

TEST_F(CutRunInterrupted, PanicEndsTheStep) {
    winden([this] { kamera->Panik_StopClick(); });
    EXPECT_TRUE(hatZeile("Vorspulen, um Zeit zu verkuerzen"));
    EXPECT_EQ(sentNachher - sentVorher, 2u) << "the panic's own recorder stops";
    EXPECT_EQ(sent.size(), sentNachher) << "no recorder command after the panic";
    EXPECT_TRUE(spaeter().empty()) << "no player command after the panic";
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
    EXPECT_FALSE(kamera->SchneidenKnopf->isChecked());
    EXPECT_TRUE(kamera->Timer_an());
    for (int i = 0; i < 5; ++i)
        tick();
    EXPECT_EQ(sent.size(), sentNachher);
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
}

TEST_F(CutRunInterrupted, DeactivationStopsTheWindingPlayerOnce) {
    winden([this] {
        activate(); // the main window comes to the front
        kamera->Timer1Timer();
    });
    const std::vector<std::uint8_t> danach = spaeter();
    EXPECT_FALSE(danach.empty());
    for (std::uint8_t c : danach)
        EXPECT_EQ(c, 48) << "only Stop";
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
    EXPECT_EQ(sent.size(), sentVorher);
    EXPECT_FALSE(kamera->Timer_an()) << "an inactive window does not poll";
    kamera->Panik_StopClick();
    EXPECT_FALSE(kamera->Timer_an());
    kamera->vcrClick(kamera->CountBox[1]->SpeedButton[6]);
    EXPECT_FALSE(kamera->Timer_an());
}

TEST_F(CutRunInterrupted, RestartAndDueTickDoNotNest) {
    winden([this] {
        kamera->SchneidenKnopf->click(); // stops, with the panic
        kamera->SchneidenKnopf->click(); // and starts again
        kamera->Timer1Timer();           // a tick that was due
    });
    EXPECT_EQ(std::count(memo.lines.begin(), memo.lines.end(),
                         std::string("Vorspulen, um Zeit zu verkuerzen")),
              1);
    EXPECT_TRUE(spaeter().empty());
    EXPECT_EQ(sent.size(), sentNachher);
    EXPECT_TRUE(kamera->SchneidenKnopf->isChecked());
    EXPECT_TRUE(kamera->Timer_an());
    // The next tick steps again: the stopped player is started.
    tick();
    sim.sync();
    EXPECT_EQ(sony->transport().mode(), Mode::Play);
}

// The IR recorder of the simulated adapter in box 4, its commands learnt from
// its own remote through the IR detector; a Control-L player on channel 1 and
// a Panasonic player on channel 2 on its inputs 1 and 2.
class CutRunIrRecorder : public CutRun {
protected:
    TKameraDialog& bereitIr() {
        attachDecks();
        sony->transport().setPosition(s(12));
        sonyKalibriert();
        recorder = std::make_shared<sim::IrRecorder>();
        sim.attach(recorder, {0, 3});
        recorder->connectInput(1, sim::IrRecorder::sourceOf(*sony, "Kanal 1"));
        recorder->connectInput(2, sim::IrRecorder::sourceOf(*pana, "Kanal 2"));
        auto detector = sim::attachIrDetector(sim, {}, false);
        TKameraDialog& k = makeKamera();
        lernen = std::make_unique<desk::TLernenForm>(form->IniDatei.get());
        lernen->ProcessMessages = [] {};
        k.Geraete_edit->Lernen = video::Lerndialog_von(*lernen);
        activateBoth();
        desk::setIrSender({});
        video::TGeraete_edit& e = *k.Geraete_edit;
        e.IRDateiName->setText(QString::fromStdString(file("rekorder.cdx").string()));
        // As the main window leaves the dialog after learning its key 107.
        lernen->BeschriftungG->setTitle(QStringLiteral("Beschriftung Taste 107"));
        // Button of box 4 per command: Play, Stop, Pause, Record, up, down.
        for (const auto& [knopf, code] :
             {std::pair{2, 1}, {6, 2}, {10, 3}, {4, 6}, {8, 10}, {12, 11}}) {
            detector->remote().setDefaultKey(sim::IrRecorder::remoteKey(code));
            platform::queueModalScript([](QDialog& d) {
                auto& l = static_cast<desk::TLernenForm&>(d);
                // A recorder command is no key of the main window.
                EXPECT_EQ(l.BeschriftungG->title().toStdString(), "Beschriftung");
                l.Lernen->click();
                return int(QDialog::Accepted);
            });
            e.LernenClick(e.CountBox1->SpeedButton[static_cast<std::size_t>(knopf)]);
            EXPECT_NE(k.Schnitt_IRCodes[static_cast<std::size_t>(code)].Befehl[1], 0) << code;
        }
        EXPECT_EQ(platform::pendingModalScripts(), 0u);
        // The delay from the command to the recorder's change: the sender's
        // set-up, the first frame of the burst and the recorder's reaction.
        irKasten(k, "0.08", "0.08");
        tick();
        return k;
    }
    std::vector<sim::RecordedSegment> aufgenommen() const {
        std::vector<sim::RecordedSegment> v;
        for (const auto& g : recorder->contentMap())
            if (g.endPs > g.startPs) v.push_back(g);
        return v;
    }
    std::shared_ptr<sim::IrRecorder> recorder;
    std::unique_ptr<desk::TLernenForm> lernen;
};

TEST_F(CutRunIrRecorder, TenRowsFromTwoPlayersRunToTheirEnd) {
    TKameraDialog& k = bereitIr();
    struct Schnitt {
        int zeile;
        const char* spieler;
        double start, ende;
    };
    // Row 2 goes on from row 1; row 8 has its player cue forward past where
    // its last row left it, row 10 a few seconds after row 8.
    const std::vector<Schnitt> schnitte = {{1, "Kanal 1", 20, 30},   {2, "Kanal 1", 30, 31.5},
                                           {3, "Kanal 1", 60, 70},   {5, "Kanal 2", 40, 45},
                                           {6, "Kanal 2", 50, 52},   {7, "Kanal 2", 90, 93},
                                           {8, "Kanal 1", 100, 110}, {10, "Kanal 1", 115, 116.5}};
    for (const auto& c : schnitte)
        zeile(c.zeile,
              {std::string(1, c.spieler[6]), c.zeile == 2 ? "" : Sio::Zaehler_nach_Text(s(c.start)),
               Sio::Zaehler_nach_Text(s(c.ende)), "", ""});
    zeile(4, {"", "Offset", "0:00", "", ""});
    zeile(9, {"", "Aufnahme Rec Nr", "4", "", ""});
    k.Laengen_berechnen();
    k.SchneidenKnopf->click();
    EXPECT_LT(laufen(2000), 2000) << "the run reaches the last row";
    sim.sync();

    const auto map = aufgenommen();
    ASSERT_EQ(map.size(), schnitte.size());
    // Each cut where the delays entered put it, 2.6 fields before the point
    // (they are that much longer than the recorder's own), at the start of
    // the field; a cell holds whole frames, so 31.5 s is the unit before.
    auto zelle = [](double t) {
        return Sio::Zeitwort_nach_Zaehler(Sio::Zaehler_nach_Text(s(t)), 1) - 2.6;
    };
    for (std::size_t i = 0; i < map.size(); ++i) {
        EXPECT_EQ(map[i].player, schnitte[i].spieler) << i;
        EXPECT_TRUE(map[i].playerPlaying) << i;
        EXPECT_NEAR(map[i].playerStart, zelle(schnitte[i].start), 0.25) << i;
        EXPECT_NEAR(map[i].playerEnd, zelle(schnitte[i].ende), 0.25) << i;
    }
    EXPECT_EQ(recorder->transport().mode(), Mode::Stop) << "the last row stops the recorder";
    // Before that the last cut-out paused it.
    bool pause = false;
    for (const auto& r : recorder->log())
        if (r.obeyed && r.code == 3) pause = true;
    EXPECT_TRUE(pause);
    EXPECT_EQ(recorder->log().back().code, 2);
    for (int i = 0; i < 10; ++i)
        tick();
    EXPECT_EQ(aufgenommen().size(), schnitte.size()) << "it never records again";
}

TEST_F(CutRunIrRecorder, PanicDuringACueEndsTheRun) {
    TKameraDialog& k = bereitIr();
    zeile(1, {"1", "0:01:00.00", "0:01:10.00", "", ""});
    k.Laengen_berechnen();
    k.vcrClick(k.CountBox[1]->SpeedButton[2]);
    tick();
    std::size_t sonyVorher = 0, sonyNachher = 0, irVorher = 0, irNachher = 0;
    onProcessMessages = [&] {
        if (sonyVorher) return;
        sim.sync();
        sonyVorher = sony->log().size();
        irVorher = recorder->log().size();
        k.ToolButton17->click(); // "Stop !"
        sim.sync();
        sonyNachher = sony->log().size();
        irNachher = recorder->log().size();
    };
    k.SchneidenKnopf->click();
    tick();
    ASSERT_TRUE(hatZeile("Goto : Cue vor"));
    ASSERT_NE(sonyVorher, 0u);
    for (int i = 0; i < 20; ++i)
        tick();
    sim.sync();
    for (std::size_t i = sonyVorher; i < sony->log().size(); ++i)
        EXPECT_EQ(sony->log()[i].command, 48) << "the panic's Stop only";
    EXPECT_EQ(sony->log().size(), sonyNachher);
    EXPECT_EQ(irNachher - irVorher, 2u);
    for (std::size_t i = irVorher; i < recorder->log().size(); ++i)
        EXPECT_EQ(recorder->log()[i].code, 2);
    EXPECT_EQ(recorder->log().size(), irNachher);
    EXPECT_TRUE(aufgenommen().empty());
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
}

// A machine that takes the processor away for 50 ms each time a recorder
// command is about to go out, before the send has raised its priority: the
// cuts land two and a half fields late, past their frame where the delay
// entered is already off by a field, and the row is named for each.
TEST_F(CutRunIrRecorder, CommandsDelayedBeforeTheirSetUpNameTheirRow) {
    TKameraDialog& k = bereitIr();
    zeile(1, {"1", Sio::Zaehler_nach_Text(s(20)), Sio::Zaehler_nach_Text(s(24)), "", ""});
    k.Laengen_berechnen();
    os.onPriority = [this](platform::PriorityClass c) {
        if (c == platform::PriorityClass::RealtimeShort) clock.advanceMs(50);
    };
    k.SchneidenKnopf->click();
    EXPECT_LT(laufen(200), 200);
    os.onPriority = {};
    sim.sync();
    const auto map = aufgenommen();
    ASSERT_EQ(map.size(), 1u);
    // Undisturbed, the delays entered leave both cuts 2.6 fields early.
    EXPECT_NEAR(map[0].playerStart, s(20) - 2.6 + 2.5, 0.5);
    EXPECT_NEAR(map[0].playerEnd, s(24) - 2.6 + 2.5, 0.5);
    std::vector<std::string> vermerke;
    for (const auto& v : k.Schnittvermerke)
        if (v.Zeile == 1) vermerke.push_back(v.Text);
    EXPECT_EQ(vermerke, (std::vector<std::string>{"Zeile 1 : Aufnahme 0:00:00.01 zu sp\xE4t",
                                                  "Zeile 1 : Pause 0:00:00.01 zu sp\xE4t"}));
}

TEST_F(CutRunIrRecorder, ListTakenAsUsersDoRunsWithEachPlayerPastItsRows) {
    // As a user takes a list: rows from the playing camcorder, then box 2
    // marked and rows from the playing VCR, one right after another; each
    // player then stands past its rows. The recorder is on input 1.
    TKameraDialog& k = bereitIr();
    k.Zeile_anwaehlen(1);
    auto warten = [this](double sekunden) {
        for (int i = 0; i < static_cast<int>(sekunden / 0.6); ++i)
            tick();
    };
    auto schnitt = [&](double laenge, double pause) {
        k.CutInClick();
        warten(laenge);
        k.CutOutClick();
        warten(pause);
    };
    k.vcrClick(k.CountBox[1]->SpeedButton[2]);
    warten(1);
    schnitt(3, 0);
    schnitt(2, 1);
    k.CountBox[2]->Zuspieler->click();
    ASSERT_EQ(k.Zuspieler_Nr(), 2);
    k.vcrClick(k.CountBox[2]->SpeedButton[2]);
    warten(1);
    schnitt(3, 2);
    schnitt(2, 0);
    schnitt(2, 1);
    std::vector<int> spieler;
    std::vector<std::int32_t> von, bis;
    std::int32_t laengen = 0;
    for (int r = 1; r <= 5; ++r) {
        spieler.push_back(k.Raster.zelle(0, r)[0] - '0');
        von.push_back(Sio::Zeitwort_nach_Zaehler(k.Raster.zelle(1, r), 1));
        bis.push_back(Sio::Zeitwort_nach_Zaehler(k.Raster.zelle(2, r), 1));
        laengen += bis.back() - von.back();
    }
    EXPECT_EQ(spieler, (std::vector<int>{1, 1, 2, 2, 2}));

    k.Zeile_anwaehlen(1);
    const double beginn = clock.nowUs() / 1e6;
    k.SchneidenKnopf->click();
    EXPECT_LT(laufen(1000), 1000) << "the run reaches the last row";
    EXPECT_LE(clock.nowUs() / 1e6 - beginn, laengen / 50.0 + 30 * 5);
    sim.sync();
    const auto map = aufgenommen();
    ASSERT_EQ(map.size(), 5u);
    for (std::size_t i = 0; i < map.size(); ++i) {
        EXPECT_EQ(map[i].player, spieler[i] == 1 ? "Kanal 1" : "Kanal 2") << i;
        EXPECT_TRUE(map[i].playerPlaying) << i;
        EXPECT_NEAR(map[i].playerStart, von[i], 3) << i;
        EXPECT_NEAR(map[i].playerEnd, bis[i], 3) << i;
    }
    EXPECT_TRUE(k.Schnittvermerke.empty());

    // The next run starts on the camcorder's rows again: the recorder goes
    // back from the VCR's input the run left it on, though the VCR stands.
    ASSERT_EQ(recorder->input(), 2);
    k.Zeile_anwaehlen(1);
    k.SchneidenKnopf->click();
    laufen(4);
    sim.sync();
    EXPECT_EQ(recorder->input(), 1);
    k.ToolButton17->click();
}

TEST_F(CutRun, StopStopsEveryDeckTheRunSetMoving) {
    TKameraDialog& k = bereit(s(30));
    irBefehle(k);
    zeile(1, {"1", "0:10:00.00", "0:10:10.00", "", ""});
    k.Laengen_berechnen();
    k.SchneidenKnopf->click();
    laufen(3);
    sim.sync();
    ASSERT_NE(sony->transport().mode(), Mode::Stop) << "the run set the camcorder moving";
    // The user marks box 2 meanwhile, then presses "Stop".
    k.CountBox[2]->Zuspieler->click();
    k.ToolButton17->click();
    clock.advanceMs(500);
    sim.sync();
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
    EXPECT_FALSE(k.SchneidenKnopf->isChecked());
}

TEST_F(CutRun, FailingReadsOrSendsEndTheRunWithAMessage) {
    TKameraDialog& k = bereit(s(12));
    irMitPosition();
    irBefehle(k);
    irKasten(k, "0", "0");
    zeile(1, {"1", "0:00:20.00", "0:00:26.00", "", ""});
    k.Laengen_berechnen();
    const QString zu = QStringLiteral(" (der Rechner ist zu besch\u00E4ftigt)");
    // The player's reads fail from the third tick on: the run ends after a
    // bounded number of ticks and says why; on a machine whose ticks come
    // late it says that too.
    for (const int spaet : {0, 300}) {
        SCOPED_TRACE(spaet);
        sony->setOff(false);
        k.Zeile_anwaehlen(1);
        k.SchneidenKnopf->click();
        laufen(2);
        sony->setOff(true);
        prompts.expectMessage(QStringLiteral("Schnitt abgebrochen, Zeile 1 : Zuspieler 1 "
                                             "antwortet nicht") +
                              (spaet ? zu : QString()));
        EXPECT_LE(laufen(30, spaet), 12);
        EXPECT_FALSE(k.SchneidenKnopf->isChecked());
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back()[1], 200) << "the recorder stopped";
    }
    // Reads that keep losing the processor leave only the last good
    // position, and a player stopped under a recording row never reaches its
    // cut-out: neither is waited for without end.
    const QString lesbar = QStringLiteral("Schnitt abgebrochen, Zeile 1 : Z\u00E4hlerstand von "
                                          "Zuspieler 1 nicht lesbar");
    for (const bool gestoert : {true, false}) {
        SCOPED_TRACE(gestoert);
        sony->setOff(false);
        sony->transport().setPosition(s(12));
        tick();
        k.Zeile_anwaehlen(1);
        k.SchneidenKnopf->click();
        if (gestoert) {
            laufen(2);
            sim.bus.setStalls({3000, 5 * sim::kPsPerMs, sim.bus.accesses()});
            prompts.expectMessage(lesbar + zu);
        } else {
            for (int i = 0; i < 60 && !k.Aufnahme_laeuft; ++i)
                tick();
            ASSERT_TRUE(k.Aufnahme_laeuft);
            // Started again, the row says it holds a standing picture;
            // without the automatic start the run ends.
            sim.sync();
            sony->transport().setMode(Mode::Stop);
            laufen(2);
            ASSERT_FALSE(k.Schnittvermerke.empty());
            EXPECT_EQ(k.Schnittvermerke.back().Text,
                      "Zeile 1 : Zuspieler 1 stand w\xE4hrend der Aufnahme");
            k.Parameter->Automatik_Play_bei_Cut->setChecked(false);
            sim.sync();
            sony->transport().setMode(Mode::Stop);
            prompts.expectMessage(
                QStringLiteral("Schnitt abgebrochen, Zeile 1 : Zuspieler 1 spielt nicht"));
        }
        EXPECT_LE(laufen(30, gestoert ? 300 : 0), 12);
        sim.bus.setStalls({});
        k.Parameter->Automatik_Play_bei_Cut->setChecked(true);
        EXPECT_FALSE(k.SchneidenKnopf->isChecked());
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back()[1], 200) << "the recorder stopped";
    }
    // The record command never goes out clean: the run stops the player and
    // says so rather than leave the row out silently.
    sony->setOff(false);
    tick();
    desk::setIrSender([this](const Sio::TBefehl& b) {
        sent.push_back(b);
        return b[1] == 600 ? 0 : 1;
    });
    sent.clear();
    k.Zeile_anwaehlen(1);
    sony->transport().setPosition(s(12));
    prompts.expectMessage(QStringLiteral("Schnitt abgebrochen, Zeile 1 : Aufnahme-Befehl nicht "
                                         "gesendet") +
                          zu);
    k.SchneidenKnopf->click();
    EXPECT_LT(laufen(100), 100);
    sim.sync();
    EXPECT_EQ(sony->transport().mode(), Mode::Stop);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back()[1], 200);
}
