// The learn dialog's own behaviour: code formatting, the bit, Sony and RC5
// readouts, the analytic fields, the test send, the detector lamp and the
// priority around a learn.
#include "LernenFixture.h"

#include "platform/Errors.h"
#include "platform/ScopeExit.h"

#include <QScreen>
#include <QScrollArea>

#include <algorithm>

using platform::PriorityClass;
using Prio = std::vector<PriorityClass>;

using LernenDialog = LernenFixture;

TEST_F(LernenDialog, CodeFormattingAndReadouts) {
    using L = desk::TLernenForm;
    EXPECT_EQ(L::Formatiere_Hexcode("a1-b2 c"), "A1 B2 C");
    EXPECT_EQ(L::Formatiere_Hexcode("abc"), "AB C");
    EXPECT_EQ(L::Formatiere_Hexcode("ABCD"), "AB CD ");
    EXPECT_EQ(L::Formatiere_Hexcode("xyz"), "");

    EXPECT_EQ(L::Sony_Auslesen("F5 A0"), "010");
    EXPECT_EQ(L::Sony_Auslesen("F5 80"), "01");
    EXPECT_EQ(L::Sony_Auslesen("E0"), "") << "no header";
    EXPECT_EQ(L::Sony_Auslesen("F7"), "") << "a pair that is no bit ends without result";

    // 101, toggle 01, then address 00101 and command 001100 as bi-phase
    // pairs (10 is 0, 01 is 1).
    EXPECT_EQ(L::RC5_Auslesen("AD 33 4B 4"), "RC5 = (1) 00101001100  05-0C");
    EXPECT_EQ(L::RC5_Auslesen("B5 33 4B 4"), "RC5 = (0) 00101001100  05-0C");
    // A toggle that is no pair keeps address and command in their places.
    EXPECT_EQ(L::RC5_Auslesen("BD 33 4B 4"), "RC5 = (?) 00101001100  05-0C");
    // A short code: the bits it lacks are "?".
    EXPECT_EQ(L::RC5_Auslesen("A8"), "RC5 = (1) ???????????  00-00");
    EXPECT_EQ(L::RC5_Auslesen("80"), "");

    // The spin boxes hold only what a key's code text keeps: 400 bits, 131
    // Sony bits ("11110" and 3 characters each), no negative repeat count.
    auto& l = *dialog;
    l.Binaercnt->setValue(5000);
    EXPECT_EQ(l.Binaercnt->value(), 400);
    EXPECT_EQ(l.BinaerBox->count(), 400);
    l.SonyLength->setValue(5000);
    EXPECT_EQ(l.SonyLength->value(), 131);
    EXPECT_EQ(l.Sony1Box->count(), 131);
    l.Anzahl_Wiederholungen->setValue(-3);
    EXPECT_EQ(l.Anzahl_Wiederholungen->value(), 0);
    l.A_Wdhlg->setValue(-3);
    EXPECT_EQ(l.A_Wdhlg->value(), 0);
}

TEST_F(LernenDialog, AnalyticKeyOpensWithItsBitsSonyPatternAndLength) {
    auto& f = *form;
    f.Lernen1Click();
    desk::TButtonx& k = key(107, 2, {2, 600, 25000}, "F5 A0 ");
    platform::queueModalScript([&](QDialog& d) {
        auto& l = static_cast<desk::TLernenForm&>(d);
        EXPECT_EQ(l.FunktionIndex(), 2);
        EXPECT_TRUE(l.Analytisch->isEnabled());
        EXPECT_FALSE(l.IRBefehl->isEnabled());
        EXPECT_TRUE(l.Kombination->isHidden());
        EXPECT_EQ(l.Pulslaenge->text(), QStringLiteral("600"));
        EXPECT_EQ(l.Burstpause->text(), QStringLiteral("25000"));
        EXPECT_EQ(l.A_Wdhlg->value(), 2);
        // F5 A0 and the appended 0: 20 items, ticks as the bits.
        EXPECT_EQ(l.Binaercnt->value(), 20);
        EXPECT_EQ(ticks(l.BinaerBox), "11110101101000000000");
        EXPECT_EQ(l.SonyLength->value(), 3);
        EXPECT_EQ(ticks(l.Sony1Box), "010");
        // 11 bits up to the last 1: 11 x 600 + 25000.
        EXPECT_EQ(l.Befehlslaenge->text(), QStringLiteral("31600"));
        EXPECT_TRUE(l.Timer1->isActive());

        // Feld_Display widens the dialog and lists the buffer.
        l.Feld_Display->setChecked(true);
        EXPECT_EQ(l.Flaeche->width(), desk::TLernenForm::kBreiteMitFeld);
        EXPECT_TRUE(l.Test_IR->isEnabled());
        // It fits the screen it is on: on a 1024 x 600 one (less a title
        // bar of 30) it is as high as the screen and wide enough for the
        // scroll bar; what does not fit scrolls, OK and Abbrechen too.
        using L = desk::TLernenForm;
        EXPECT_EQ(L::fittedSize(QSize(623, L::kHoehe), QSize(1024, 570), 15), QSize(638, 570));
        EXPECT_EQ(L::fittedSize(QSize(374, L::kHoehe), QSize(1024, 570), 15), QSize(389, 570));
        EXPECT_EQ(L::fittedSize(QSize(623, L::kHoehe), QSize(500, 570), 15), QSize(500, 570));
        EXPECT_EQ(L::fittedSize(QSize(623, L::kHoehe), QSize(1920, 1050), 15),
                  QSize(623, L::kHoehe));
        l.show();
        const QRect platz = l.screen()->availableGeometry();
        EXPECT_TRUE(platz.contains(l.frameGeometry()));
        auto* rollen = l.findChild<QScrollArea*>();
        EXPECT_NE(rollen, nullptr);
        for (QPushButton* b : {l.OKBtn, l.BitBtn1}) {
            if (rollen) rollen->ensureWidgetVisible(b);
            EXPECT_TRUE(l.rect().contains(QRect(b->mapTo(&l, QPoint(0, 0)), b->size())))
                << b->objectName().toStdString();
        }
        l.hide();
        EXPECT_EQ(l.Feld->toPlainText(), QStringLiteral("2 - 0\n600 - 1\n25000 - 2"));

        // A typed pulse length reaches the buffer at once while the lamp runs.
        l.Pulslaenge->setText(QStringLiteral("500"));
        EXPECT_EQ(l.Lernpuffer[1], 500);
        l.Burstpause->setText(QStringLiteral("20000"));
        l.IR_Hex_Code->setText(QStringLiteral("80"));
        EXPECT_EQ(l.Befehlslaenge->text(), QStringLiteral("20500"));

        // A Sony bit pattern ticked by hand becomes the code.
        l.Sony1Box->item(0)->setCheckState(Qt::Checked);
        EXPECT_EQ(l.Binaercnt->value(), 5 + 3 + 3 + 2);
        EXPECT_EQ(l.IR_Hex_Code->text(), QStringLiteral("F6 D0 "));
        EXPECT_EQ(ticks(l.BinaerBox), "1111011011010");
        // Unticking a bit of the binary box.
        l.BinaerBox->item(0)->setCheckState(Qt::Unchecked);
        EXPECT_EQ(l.IR_Hex_Code->text(), QStringLiteral("76 D0 "));
        l.Feld_Display->setChecked(false);
        EXPECT_EQ(l.Flaeche->width(), desk::TLernenForm::kBreiteOhneFeld);
        return int(QDialog::Accepted);
    });
    k.click();
    EXPECT_EQ(k.Tasten_typ, 2);
    EXPECT_EQ(k.IR_Code, "76 D0 ");
    EXPECT_EQ(liste(k.Befehl), (std::vector<std::int32_t>{2, 500, 20000}));
}

TEST_F(LernenDialog, DeactivationPutsTheAnalyticFieldsIntoTheBufferBeforeTheCopyBack) {
    auto& f = *form;
    f.Lernen1Click();
    // An IR command switched to "Analytisch" without typing anything: the
    // fields hold the shortest and longest duration.
    desk::TButtonx& k = key(107, 0, {3, 900, 450, 560, 1690, 0}, "code");
    platform::queueModalScript([&](QDialog& d) {
        auto& l = static_cast<desk::TLernenForm&>(d);
        EXPECT_EQ(l.Anzahl_Wiederholungen->value(), 3);
        EXPECT_EQ(l.Pulslaenge->text(), QStringLiteral("450"));
        EXPECT_EQ(l.Burstpause->text(), QStringLiteral("1690"));
        l.setFunktionIndex(2);
        l.IR_Hex_Code->setText(QStringLiteral("a0b"));
        EXPECT_EQ(l.Lernpuffer[1], 900) << "nothing typed into the analytic fields yet";
        return int(QDialog::Accepted);
    });
    k.click();
    EXPECT_EQ(k.Tasten_typ, 2);
    EXPECT_EQ(k.IR_Code, "A0 B");
    EXPECT_EQ(liste(k.Befehl), (std::vector<std::int32_t>{3, 450, 1690}));
    EXPECT_EQ(k.Befehl[3], 0);
}

TEST_F(LernenDialog, TestSendUsesWhatOkWouldStore) {
    auto& f = *form;
    f.Lernen1Click();
    desk::TButtonx& k = key(107, 0, {1, 900, 450, 560, 0}, "");
    platform::queueModalScript([&](QDialog& d) {
        auto& l = static_cast<desk::TLernenForm&>(d);
        l.Feld_Display->setChecked(true);
        // The IR command as it stands.
        const std::int64_t t0 = clock.nowUs();
        l.Test_IR->click();
        EXPECT_GE(clock.nowUs() - t0, 500000) << "half a second before the send";
        EXPECT_EQ(sent.size(), 1u);
        EXPECT_EQ(liste(sent.back()), (std::vector<std::int32_t>{1, 900, 450, 560}));
        EXPECT_TRUE(l.Timer1->isActive());
        // "Analytisch" chosen, code typed, fields untouched: the test sends
        // the analytic command, not the stale list.
        l.setFunktionIndex(2);
        l.IR_Hex_Code->setText(QStringLiteral("A"));
        l.Test_IR->click();
        EXPECT_EQ(liste(sent.back()), (std::vector<std::int32_t>{1, 450, 450, 450, 900}));
        // A macro is not tested.
        l.setFunktionIndex(1);
        EXPECT_FALSE(l.Test_IR->isEnabled());
        return int(QDialog::Rejected);
    });
    k.click();
    EXPECT_EQ(k.Tasten_typ, 0);

    // A look at "Analytisch" with a test send, then back to the learnt
    // command and OK: the learnt command is what is stored.
    platform::queueModalScript([&](QDialog& d) {
        auto& l = static_cast<desk::TLernenForm&>(d);
        l.Feld_Display->setChecked(true);
        l.setFunktionIndex(2);
        const std::size_t vorher = sent.size();
        l.Test_IR->click();
        EXPECT_EQ(sent.size(), vorher + 1);
        l.setFunktionIndex(0);
        return int(QDialog::Accepted);
    });
    k.click();
    EXPECT_EQ(k.Tasten_typ, 0);
    EXPECT_EQ(liste(k.Befehl), (std::vector<std::int32_t>{1, 900, 450, 560}));

    // The longest analytic codes, ticked bit by bit or typed without
    // blanks: the test sends what the key keeps and sends after OK.
    for (const bool getippt : {false, true}) {
        std::vector<std::int32_t> getestet;
        platform::queueModalScript([&](QDialog& d) {
            auto& l = static_cast<desk::TLernenForm&>(d);
            l.Feld_Display->setChecked(true);
            l.setFunktionIndex(2);
            l.Pulslaenge->setText(QStringLiteral("500"));
            l.Burstpause->setText(QStringLiteral("20000"));
            if (getippt) {
                l.IR_Hex_Code->setText(QString(200, QLatin1Char('8')));
            } else {
                l.Binaercnt->setValue(799);
                l.BinaerBox->item(0)->setCheckState(Qt::Checked);
                l.BinaerBox->item(l.BinaerBox->count() - 1)->setCheckState(Qt::Checked);
            }
            l.Test_IR->click();
            getestet = liste(sent.back());
            return int(QDialog::Accepted);
        });
        k.click();
        f.Lernen1Click();
        k.click();
        f.Lernen1Click();
        EXPECT_EQ(liste(sent.back()), getestet) << (getippt ? "typed" : "ticked");
        if (!getippt) {
            EXPECT_EQ(getestet, (std::vector<std::int32_t>{1, 500, 199000, 500, 20000}));
        }
    }
}

TEST_F(LernenDialog, LampResolutionCaptionsAndWavHint) {
    auto& l = *dialog;
    {
        Aktiv a(l);
        EXPECT_EQ(l.windowTitle(), QStringLiteral("Tastenbelegung"));
        EXPECT_FALSE(l.Feld_Display->isHidden());
        // Lamp: the detector line on channel 3.
        detector->detector().addLinePulse(clock.nowPs() + 1000000000LL,
                                          clock.nowPs() + 3000000000LL);
        clock.advanceMs(2);
        l.Timer1Timer();
        EXPECT_EQ(l.ledFarbe(), 0x00FF00u);
        clock.advanceMs(2);
        l.Timer1Timer();
        EXPECT_EQ(l.ledFarbe(), 0x0000FFu);
        l.IR_AufloesungItems[1]->setChecked(true);
        prompts.expectMessage(QStringLiteral("Wird nur erzeugt, wenn in \"Beschriftung\" etwas "
                                             "steht\r... und das tut es im Moment nicht !"));
        l.Beschriftung->setText(QStringLiteral("  "));
        l.WAV_Datei->setChecked(true);
    }
    EXPECT_FALSE(l.Timer1->isActive()) << "the lamp stops when the dialog loses the focus";
    EXPECT_EQ(platform::IniFile(iniPath()).readInteger("IR_Sensor", "IR_Aufloesung", 0), 1);
    // A new dialog reads the resolution back.
    desk::TLernenForm zweiter(form->IniDatei.get());
    EXPECT_EQ(zweiter.IR_AufloesungIndex(), 1);

    // English captions follow the program's language at activation.
    form->Sprache = 2;
    Aktiv a(l);
    EXPECT_EQ(l.windowTitle(), QStringLiteral("key assignment"));
    EXPECT_EQ(l.BeschriftungG->title(), QStringLiteral("key caption"));
    EXPECT_EQ(l.BitBtn1->text(), QStringLiteral("Cancel"));
}

TEST_F(LernenDialog, LearnRunsAtRealtimePriorityAndGivesItBackOnEveryPath) {
    auto& l = *dialog;
    Aktiv a(l);
    // What the priority does around a learn does not depend on how long the
    // capture watches: at this rate a capture of nothing times out after
    // 0.3 s of reads, not 15 s.
    const auto anfragen = Sio::Anfragen_Sec;
    Sio::Anfragen_Sec = 20000;
    platform::ScopeExit zurueck([anfragen] { Sio::Anfragen_Sec = anfragen; });
    form->RealTimeModus1->setChecked(true);
    // Learning what the detector sees: nothing, so the capture times out
    // and says so; the readouts stay empty and the code field turns red.
    l.Lernen->click();
    EXPECT_EQ(os.priorityCalls, (Prio{PriorityClass::Realtime, PriorityClass::Normal}));
    EXPECT_TRUE(l.Hex_Kommentar->text().startsWith(QStringLiteral("Probieren ! ")));
    EXPECT_TRUE(l.Hex_Kommentar->text().endsWith(QStringLiteral("(Befehl nicht sauber)")));
    EXPECT_EQ(l.codeFarbe(), 0x0000FFu);
    EXPECT_TRUE(l.RC5_Feld->isHidden());
    EXPECT_EQ(l.Binaercnt->value(), 0);
    EXPECT_TRUE(l.Timer1->isActive());

    // The learn throws (a frame too long for a command): normal priority
    // and the lamp come back, the error is shown.
    os.priorityCalls.clear();
    l.Optimieren->setChecked(true);
    const auto alt = Sio::IR_Methode;
    Sio::IR_Methode = 2;
    // 799 durations of 300 µs and no long pause: one frame that cannot be
    // kept with its closing zeros in a command.
    detector->detector().setConfig({sim::IrDetector::Mode::Envelope, 0, true});
    Sio::Abfallzeit_IR_Detektor = 0;
    sim::IrEmission lang;
    lang.befehl.push_back(1);
    lang.befehl.insert(lang.befehl.end(), 799, 300);
    lang.befehl.push_back(0);
    detector->remote().press(lang, clock.nowPs() + 60000000000LL);
    bool shown = false;
    prompts.onShown = [&](const platform::ScriptedPrompts::Shown& s) {
        shown = s.kind == platform::PromptKind::Error;
        EXPECT_EQ(os.current, PriorityClass::Normal) << "the box comes after the priority is back";
    };
    prompts.expectError(QStringLiteral("Bereichsfehler: Befehl[802]"));
    l.Timer1->stop();
    l.Lernen->click();
    Sio::IR_Methode = alt;
    EXPECT_TRUE(shown) << l.Hex_Kommentar->text().toStdString() << " "
                       << l.IR_Hex_Code->text().toStdString();
    EXPECT_EQ(os.priorityCalls, (Prio{PriorityClass::Realtime, PriorityClass::Normal}));
    EXPECT_TRUE(l.Timer1->isActive());

    // A refused priority change is said and learning goes on.
    os.priorityCalls.clear();
    os.priorityResult = false;
    prompts.onShown = {};
    prompts.expectMessage(QStringLiteral("Problem Set_priority"));
    prompts.expectMessage(QStringLiteral("Problem Set_priority"));
    l.Lernen->click();
    EXPECT_EQ(os.priorityCalls.size(), 2u);
    // Without the privilege for a higher priority the program runs on at
    // normal priority and says so once in the debug output.
    os.priorityResult = true;
    os.refused = true;
    Dbg_disp::Debug_An = true;
    l.Lernen->click();
    l.Lernen->click();
    Dbg_disp::Debug_An = false;
    os.refused = false;
    EXPECT_EQ(std::count_if(memo.lines.begin(), memo.lines.end(),
                            [](const std::string& l) {
                                return l.find("Keine Berechtigung fuer Echtzeit-Prioritaet "
                                              "(nice -20): das Programm laeuft mit normaler "
                                              "Prioritaet") != std::string::npos;
                            }),
              1);
    // Without the real-time item the priority is not touched.
    os.priorityCalls.clear();
    form->RealTimeModus1->setChecked(false);
    l.Lernen->click();
    EXPECT_TRUE(os.priorityCalls.empty());
}
