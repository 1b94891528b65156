// The device boxes on simulated decks: polling and its texts, roles, the
// transport buttons, the Control-L calibration, the recorder command and the
// IR buttons of box 4.
#include "VideoFixture.h"

using video::TKameraDialog;

class Boxes : public VideoFixture {};

TEST_F(Boxes, PollShowsPositionStatusAndProtocolPerChannel) {
    attachDecks();
    sony->transport().setPosition(((1 * 60 + 2) * 60 + 3) * 50 + 8);
    pana->transport().setPosition((5 * 60 + 30) * 50);
    TKameraDialog& k = makeKamera();
    activateBoth();
    tick();
    EXPECT_EQ(k.Kanal_Typ[1], Sio::Protokoll::Sony);
    EXPECT_EQ(k.Kanal_Typ[2], Sio::Protokoll::Panasonic);
    EXPECT_EQ(k.Kanal_Typ[3], Sio::Protokoll::Keins);
    EXPECT_EQ(text(k.CountBox[1]->Zaehler), " 1:02:03 " + k.Kanal_Status[1] + " Sony");
    EXPECT_EQ(text(k.CountBox[2]->Zaehler), " 0:05:30 " + k.Kanal_Status[2] + " Panasonic");
    EXPECT_EQ(text(k.CountBox[3]->Zaehler), "");
    // A text wider than the box shows its start, the position.
    EXPECT_EQ(k.CountBox[1]->Zaehler->cursorPosition(), 0);
    EXPECT_EQ(k.CountBox[2]->Zaehler->cursorPosition(), 0);
    EXPECT_TRUE(hatZeile("Ger\xE4te\xE4nderung   1 : Sony  2 : Panasonic  3 : "));
    EXPECT_TRUE(k.CountBox[1]->SpeedButton[2]->isEnabled());
    EXPECT_TRUE(k.CountBox[2]->SpeedButton[2]->isEnabled());
    EXPECT_FALSE(k.CountBox[3]->SpeedButton[2]->isEnabled());

    // Timecode display adds the frames; the change line comes only on a change.
    k.Parameter->Timecode_Display->setChecked(true);
    const auto zeilen = memo.lines.size();
    tick();
    EXPECT_EQ(text(k.CountBox[1]->Zaehler).substr(0, 12), " 1:02:03.04 ");
    EXPECT_EQ(memo.lines.size(), zeilen);
    // A deck that goes off empties its text and disables its buttons.
    sony->setOff(true);
    tick();
    EXPECT_EQ(k.Kanal_Typ[1], Sio::Protokoll::Keins);
    EXPECT_EQ(text(k.CountBox[1]->Zaehler), "");
    EXPECT_FALSE(k.CountBox[1]->SpeedButton[2]->isEnabled());
    // Every activation logs the device line anew.
    activate();
    activateKamera();
    const auto vorher = memo.lines.size();
    tick();
    EXPECT_GT(memo.lines.size(), vorher);

    // While the timer is off a tick does nothing.
    k.Timer1->stop();
    const auto still = memo.lines.size();
    tick();
    EXPECT_EQ(memo.lines.size(), still);
}

TEST_F(Boxes, RolesStayOneAndOne) {
    TKameraDialog& k = makeKamera();
    k.Waehle_Aufnahme(1);
    EXPECT_EQ(k.Aufnahme_Nr(), 1);
    EXPECT_FALSE(k.CountBox[1]->Zuspieler->isChecked()) << "one role per box";
    EXPECT_FALSE(k.CountBox[4]->Aufnahme->isChecked());
    EXPECT_EQ(k.Zuspieler_Nr(), 2) << "recorder in box 1 and no player";
    activateBoth();
    tick();
    EXPECT_TRUE(k.CountBox[2]->Zuspieler->isChecked());
    EXPECT_EQ(k.CountBox[2]->farbe(), video::kRein_Gruen);
    k.Waehle_Zuspieler(3);
    EXPECT_FALSE(k.CountBox[2]->Zuspieler->isChecked());
    EXPECT_EQ(k.CountBox[2]->farbe(), QApplication::palette().color(QPalette::Button));
    k.Waehle_Zuspieler(9);
    EXPECT_EQ(k.Zuspieler_Nr(), 3);

    // No recorder at all: box 4 becomes it at the next tick.
    k.CountBox[1]->Aufnahme->setChecked(false);
    EXPECT_EQ(k.Aufnahme_Nr(), 4);
    EXPECT_FALSE(k.CountBox[4]->Aufnahme->isChecked());
    tick();
    EXPECT_TRUE(k.CountBox[4]->Aufnahme->isChecked());
}

TEST_F(Boxes, TransportButtonsAndRecordWarning) {
    attachDecks();
    TKameraDialog& k = makeKamera();
    activateBoth();
    tick();
    QToolButton* play = k.CountBox[2]->SpeedButton[2];
    play->setChecked(true);
    k.vcrClick(play);
    sim.sync();
    EXPECT_EQ(pana->transport().mode(), sim::TapeTransport::Mode::Play);
    EXPECT_FALSE(play->isChecked());
    EXPECT_TRUE(k.Timer_an());
    EXPECT_GE(text(k.CountDown).size(), 1u);
    EXPECT_TRUE(hatZeile("VCR Click, Kanal 2, Befehl (Code) : 1"));

    // Record asks first; No sends nothing, and the box deactivates the window.
    QToolButton* rec = k.CountBox[2]->SpeedButton[4];
    const int deakt = platform::WindowTracker::instance().deactivations(static_cast<QWidget*>(&k));
    prompts.expectYesNo(
        QStringLiteral("Bitte best\u00E4tigen : \"Aufnahme\"\r(Diese Box erscheint, weil "
                       "die Option\r\"Warnung_vor_Aufnahme\" angeschaltet ist)"),
        false);
    k.vcrClick(rec);
    sim.sync();
    EXPECT_EQ(pana->transport().mode(), sim::TapeTransport::Mode::Play);
    EXPECT_EQ(platform::WindowTracker::instance().deactivations(static_cast<QWidget*>(&k)),
              deakt + 1);
    k.Parameter->Warnung_vor_Aufnahme->setChecked(false);
    k.vcrClick(rec);
    sim.sync();
    EXPECT_EQ(pana->transport().mode(), sim::TapeTransport::Mode::Record);
}

TEST_F(Boxes, UncalibratedControlLAsksAndCalibrates) {
    attachDecks();
    TKameraDialog& k = makeKamera();
    activateBoth();
    tick();
    QToolButton* play = k.CountBox[1]->SpeedButton[2];
    const QString frage =
        QStringLiteral("Das UART mu\u00DF f\u00FCr Sony justiert werden. Jetzt erledigen ?");
    prompts.expectYesNo(frage, false);
    k.vcrClick(play);
    EXPECT_FALSE(k.Sony_justiert);
    EXPECT_TRUE(sony->log().empty());

    prompts.expectYesNo(frage, true);
    // The result box's figures come from the measurement: take it as shown.
    QString ergebnis;
    prompts.onShown = [&](const platform::ScriptedPrompts::Shown& s) {
        if (s.kind == platform::PromptKind::Message) ergebnis = s.text;
    };
    prompts.onUnexpected = [](const QString&) {};
    k.vcrClick(play);
    prompts.onUnexpected = [](const QString& d) { ADD_FAILURE() << d.toStdString(); };
    EXPECT_TRUE(k.Sony_justiert);
    EXPECT_NEAR(Sio::Sony1, 9895, 500);
    EXPECT_EQ(
        ergebnis,
        QStringLiteral("Ergebnis : \rSony1 : %1\rSony2 : %2").arg(Sio::Sony1).arg(Sio::Sony2));
    platform::IniFile ini(iniPath());
    EXPECT_EQ(ini.readInteger("Sony", "Sony1", 0), Sio::Sony1);
    EXPECT_EQ(ini.readInteger("Sony", "Sony2", 0), Sio::Sony2);
    EXPECT_TRUE(k.Timer_an());

    // Now the button works; a Sony1 of 0 counts as uncalibrated again.
    k.vcrClick(play);
    sim.sync();
    EXPECT_EQ(sony->transport().mode(), sim::TapeTransport::Mode::Play);
    Sio::Sony1 = 0;
    prompts.expectYesNo(frage, false);
    k.vcrClick(play);
}

TEST_F(Boxes, RecorderCommandByLineAndByIr) {
    attachDecks();
    TKameraDialog& k = makeKamera();
    activateBoth();
    tick();
    // IR recorder in box 4: the slot's command goes to the main window's send.
    k.Schnitt_IRCodes[6].Befehl = {1, 900, 450, 0};
    k.Schnitt_IRCodes[3].Befehl = {1, 300, 0};
    k.Box_Geraet[4].PausePause = false;
    k.Aufnahme_Befehl(Sio::Transport::Record);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][1], 900);
    k.Box_Geraet[4].PausePause = true;
    k.Aufnahme_Befehl(Sio::Transport::Record);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1][1], 300) << "Pause - Pause records with Pause";

    // Recorder on channel 2 by edit line.
    k.Waehle_Aufnahme(2);
    k.Box_Geraet[2].PausePause = false;
    k.Aufnahme_Befehl(Sio::Transport::Record);
    sim.sync();
    EXPECT_EQ(pana->transport().mode(), sim::TapeTransport::Mode::Record);
    EXPECT_EQ(sent.size(), 2u);

    // Box 4's buttons follow the learnt slots and send them.
    k.En_Disable_IR_Knoepfe();
    EXPECT_TRUE(k.CountBox[4]->SpeedButton[4]->isEnabled());  // Record
    EXPECT_TRUE(k.CountBox[4]->SpeedButton[10]->isEnabled()); // Pause
    EXPECT_FALSE(k.CountBox[4]->SpeedButton[2]->isEnabled()); // Play
    k.IRKnopfClick(k.CountBox[4]->SpeedButton[10]);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2][1], 300);
}

TEST_F(Boxes, PlausibleCountersAndNoPosition) {
    EXPECT_TRUE(TKameraDialog::Zaehler_plausibel(""));
    EXPECT_TRUE(TKameraDialog::Zaehler_plausibel(" 23:59:59 > Sony"));
    EXPECT_FALSE(TKameraDialog::Zaehler_plausibel(" 24:00:00"));
    EXPECT_FALSE(TKameraDialog::Zaehler_plausibel(" 1:60:00"));

    attachDecks();
    TKameraDialog& k = makeKamera();
    activateBoth();
    tick();
    k.CountBox[1]->Offset->setText(QStringLiteral("0:01:00"));
    EXPECT_EQ(k.ZInt_Kameraoffset(), 3000);
    k.CountBox[1]->Offset->setText(QStringLiteral("x"));
    EXPECT_EQ(k.ZInt_Kameraoffset(), 0);
}
