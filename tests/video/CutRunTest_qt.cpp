// The cut run end to end on simulated decks: a Control-L player, a Panasonic
// recorder on its edit line or an IR recorder in box 4, command rows, player
// changes and the start warnings.
#include "VideoFixture.h"

#include "desk/IrSendLink.h"

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

    // Ticks until the run ends (at most n).
    int laufen(int n) {
        int i = 0;
        while (kamera->SchneidenKnopf->isChecked() && i < n) {
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
    k.Schnitt_IRCodes[6].Befehl = {1, 600, 0};
    k.Schnitt_IRCodes[3].Befehl = {1, 300, 0};
    k.Schnitt_IRCodes[2].Befehl = {1, 200, 0};
    k.Box_Geraet[4].dt_IR_rec = "-0:01.00";
    k.Box_Geraet[4].dt_IR_Pause = "0.10";
    k.Box_Geraet[4].PausePause = false;
    k.Box_Geraet[4].MaxPausenZeit = "5:00";
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

    // Panic stop: player three times, recorder twice.
    sent.clear();
    k.SchneidenKnopf->setChecked(true);
    k.Aufnahme_laeuft = true;
    k.Panik_StopClick();
    EXPECT_EQ(sent.size(), 2u);
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
    Sio::Kamera_Befehl(1, 2);
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
