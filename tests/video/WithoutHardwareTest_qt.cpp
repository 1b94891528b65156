// Tavix as a person without the hardware tries it: started through the
// program's own start-up with TAVIX_PORTS=sim (on a virtual clock, with a
// settings file of an earlier run), the simulated adapter's window beside it,
// learning a key the window chose and sending it back, the decks found by
// the video window, and a cut list run to its end.
#include "support/ProgramFixture.h"

#include "apps/tavix/TavixProgram.h"
#include "engine/Bandposition.h"
#include "engine/Sio.h"
#include "platform/IniFile.h"
#include "platform/ModalRunner_qt.h"
#include "platform/Prompts_qt.h"
#include "platform/ScreenFit_qt.h"
#include "platform/System.h"
#include "platform/VirtualClock.h"
#include "platform/WindowTracker_qt.h"
#include "sim/AdapterWindow_qt.h"
#include "sim/PeoplesAdapter.h"
#include "sim/PortAccess.h"
#include "video/Kamera_qt.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using Mode = sim::TapeTransport::Mode;

class WithoutHardware : public ProgramFixture {};

TEST_F(WithoutHardware, AdapterWindowChoosesTheKeyThatIsLearntAndShowsItSentBack) {
    // A first start: every first-run question has German buttons.
    platform::IniFile ini(folder / "Tavix.ini");
    ini.deleteKey("Einstellungen", "Sprache");
    ini.deleteKey("Einstellungen", "IR_Einheit");
    ini.deleteKey("Schnittstelle", "Com_Nr");
    const QString auswahl = QStringLiteral("\r\rMomentane Auswahl / actual choice : ");
    prompts
        .expectYesNo(QStringLiteral("Tavix, Fernsteuern + Videoschneiden \r            pc remote "
                                    "control + video editing\rVersion 1.17, 11-Juni-2002\r\rBitte "
                                    "gewünschte Sprache angeben. Die Auswahl kann später geändert "
                                    "werden!\rPlease select language. The choice can be changed "
                                    "later on!") +
                         auswahl + QStringLiteral("Deutsch\r\ro.k. ?\r"),
                     true)
        .expectYesNo(QStringLiteral("Bitte Tavix Typ, bzw. Infraroteinheit, angeben. Auswahl kann "
                                    "später geändert werden!\rPlease select infrared device. Can "
                                    "be changed later on!") +
                         auswahl + QStringLiteral("Tavix Remote/Dongle\r\ro.k. ?\r"),
                     false)
        .expectYesNo(QStringLiteral("Bitte Tavix Typ, bzw. Infraroteinheit, angeben. Auswahl kann "
                                    "später geändert werden!\rPlease select infrared device. Can "
                                    "be changed later on!") +
                         auswahl + QStringLiteral("Tavix Classic/Raw\r\ro.k. ?\r"),
                     true)
        .expectYesNo(
            QStringLiteral("COM 1 für Tavix benutzen (1 - 8)\r(\"Nein\" toggelt durch die COMs)"),
            true);
    QStringList knoepfe;
    prompts.onShown = [&](const platform::ScriptedPrompts::Shown&) {
        knoepfe << QCoreApplication::translate("QPlatformTheme", "&Yes") +
                       QCoreApplication::translate("QPlatformTheme", "&No");
    };
    tavix::TavixProgram& p = start();
    prompts.onShown = {};
    EXPECT_EQ(knoepfe, QStringList(4, QStringLiteral("&Ja&Nein")));
    ASSERT_NE(devices, nullptr) << "TAVIX_PORTS=sim gives the simulated adapter";
    ASSERT_NE(p.adapterWindow, nullptr);
    sim::AdapterWindow& w = *p.adapterWindow;

    // It says once why it is in use, in its window and in the debug window.
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(platform::availableScreenArea().contains(w.frameGeometry()))
        << "beside the main window, yet whole on the screen";
    EXPECT_TRUE(w.reasonLabel->text().contains(QStringLiteral("TAVIX_PORTS=sim")));
    int said = 0;
    for (const std::string& line : p.debugDisplay->lines())
        if (line.find("simulierter Adapter") != std::string::npos) {
            ++said;
            EXPECT_NE(line.find("TAVIX_PORTS=sim"), std::string::npos) << line;
        }
    EXPECT_EQ(said, 1);
    // It stands for hardware: it never takes the activation.
    EXPECT_TRUE(w.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    for (QAbstractButton* b : w.keys->buttons())
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);

    // German: Qt's own texts are German too.
    EXPECT_TRUE(p.qtGermanLoaded);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));

    // Choose the Sony key, then learn key 107.
    const auto& keys = devices->keys();
    int sony = -1;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i].name == "Sony Power") sony = static_cast<int>(i);
    ASSERT_GE(sony, 0);
    w.keys->button(sony)->click();
    EXPECT_EQ(devices->chosen(), static_cast<std::size_t>(sony));
    EXPECT_TRUE(w.chosenLabel->text().contains(QStringLiteral("Sony Power")));

    desk::TIRForm& f = *p.mainWindow;
    f.Lernen1Click();
    desk::TButtonx* key = f.Taste(107);
    ASSERT_NE(key, nullptr);
    platform::queueModalScript([](QDialog& d) {
        auto& l = static_cast<desk::TLernenForm&>(d);
        l.Lernen->click();
        l.Beschriftung->setText(QStringLiteral("Sony"));
        return int(QDialog::Accepted);
    });
    key->click();
    EXPECT_EQ(platform::pendingModalScripts(), 0u);
    EXPECT_EQ(key->Beschriftung, "Sony");
    EXPECT_EQ(devices->detector->remote().pressCount(), 1);
    EXPECT_GT(key->Befehl[1], 0) << "a code was learnt";

    // Sent back in normal mode: the window names the key it matches.
    f.Lernen1Click();
    key->click();
    w.refresh();
    const auto last = devices->sendings(1);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].key, "Sony Power");
    EXPECT_GE(last[0].bursts, 13);
    EXPECT_TRUE(w.sentLabel->text().contains(QStringLiteral("Sony Power")))
        << w.sentLabel->text().toStdString();
    bild(w, QStringLiteral("adapter-window-after-learn-and-send"));
    EXPECT_TRUE(unexpected.isEmpty()) << unexpected.join('\n').toStdString();
}

TEST_F(WithoutHardware, DecksAreFoundCalibratedTheRecorderLearntAndAListCut) {
    tavix::TavixProgram& p = start();
    ASSERT_NE(devices, nullptr);
    video::TKameraDialog& k = *p.kameraDialog;
    k.showVideoWindow();
    activateKamera();
    for (int i = 0; i < 4; ++i)
        tick();
    EXPECT_EQ(k.Kanal_Typ[1], Sio::Protokoll::Sony);
    EXPECT_EQ(k.Kanal_Typ[2], Sio::Protokoll::Panasonic);
    EXPECT_TRUE(k.CountBox[1]->SpeedButton[2]->isEnabled());
    EXPECT_TRUE(k.CountBox[2]->SpeedButton[2]->isEnabled());

    // The first Control-L command asks for the calibration and does it on
    // the camcorder.
    prompts.expectYesNo(
        QStringLiteral("Das UART mu\u00DF f\u00FCr Sony justiert werden. Jetzt erledigen ?"), true);
    k.CountBox[1]->SpeedButton[2]->click();
    ASSERT_EQ(unexpected.size(), 1);
    EXPECT_TRUE(unexpected[0].contains(QStringLiteral("Ergebnis"))) << unexpected[0].toStdString();
    unexpected.clear();
    EXPECT_GT(Sio::Sony1, 0);
    EXPECT_GT(Sio::Sony2, Sio::Sony1);

    // Play, then Cut In and Cut Out take the camcorder's real positions.
    k.CountBox[1]->SpeedButton[2]->click();
    for (int i = 0; i < 4; ++i)
        tick();
    EXPECT_EQ(devices->camcorder->transport().mode(), Mode::Play);
    k.Neue_Schnittliste();
    k.CutInClick();
    const std::string in = k.Raster.zelle(1, 1);
    for (int i = 0; i < 5; ++i)
        tick();
    k.CutOutClick();
    const std::string out = k.Raster.zelle(2, 1);
    EXPECT_NE(in, " 0:00:00.00");
    EXPECT_GT(Sio::Zeitwort_nach_Zaehler(out, 1), Sio::Zeitwort_nach_Zaehler(in, 1) + 100);
    EXPECT_NEAR(Sio::Zeitwort_nach_Zaehler(out, 1), devices->camcorder->transport().position(), 50);
    bild(k, QStringLiteral("video-window-boxes-live"));

    // The IR recorder in box 4: its Record, Pause, Stop, up and down learnt
    // from its remote, chosen in the adapter window, into a new file.
    const std::filesystem::path datei = folder / "Rekorder_ir.cdx";
    auto taste = [&](const std::string& name) {
        for (std::size_t i = 0; i < devices->keys().size(); ++i)
            if (devices->keys()[i].name == name) return static_cast<int>(i);
        ADD_FAILURE() << name;
        return 0;
    };
    const std::pair<int, const char*> befehle[5] = {
        {6, "Rec Record"}, {3, "Rec Pause"}, {2, "Rec Stop"}, {10, "Rec Up"}, {11, "Rec Down"}};
    prompts.expect(platform::PromptKind::Save, QStringLiteral("Fernsteuerdateien (*.cdx)"),
                   platform::Answer::Ok, QString::fromStdString(datei.string()));
    prompts.expectMessage(QStringLiteral("Ger\u00E4t IR-Rekorder eingef\u00FCgt"));
    platform::queueModalScript([&](QDialog& d) {
        auto& e = static_cast<video::TGeraete_edit&>(d);
        e.Edit1->setText(QStringLiteral("IR-Rekorder"));
        // Seven frames: about the time a command of two frames takes to act.
        e.IR_Aufnahme->setText(QStringLiteral("0.07"));
        e.IR_Pause->setText(QStringLiteral("0.07"));
        e.setIR_Aufnahme_steuerungIndex(1);
        e.SpeichernB->click();
        for (const auto& [code, name] : befehle) {
            p.adapterWindow->keys->button(taste(name))->click();
            platform::queueModalScript([](QDialog& l) {
                static_cast<desk::TLernenForm&>(l).Lernen->click();
                return int(QDialog::Accepted);
            });
            for (int n = 1; n <= 12; ++n)
                if (video::TCountBox::Tag(n) == code)
                    e.CountBox1->SpeedButton[static_cast<std::size_t>(n)]->click();
        }
        bild(e, QStringLiteral("recorder-editor-after-learning"));
        return int(QDialog::Accepted);
    });
    QComboBox* box4 = k.CountBox[4]->ComboBox1;
    box4->setCurrentIndex(box4->findText(QStringLiteral("< Neu >")));
    const int gedrueckt = devices->detector->remote().pressCount();
    k.CountBox1ComboBox1Click(4);
    EXPECT_EQ(platform::pendingModalScripts(), 0u);
    EXPECT_EQ(devices->detector->remote().pressCount(), gedrueckt + 5);
    video::Schnitt_IRTabelle gelesen{};
    video::Lies_Schnitt_IRCodes(gelesen, datei.string());
    for (const auto& [code, name] : befehle)
        EXPECT_GT(gelesen[static_cast<std::size_t>(code)].Befehl[0], 0) << name;

    // A list of three rows from the camcorder, recorded by the IR recorder.
    k.Neue_Schnittliste();
    k.Waehle_Aufnahme(4);
    const char* zeilen[3][3] = {{"1", "0:00:20.00", "0:00:24.00"},
                                {"1", "0:00:30.00", "0:00:36.00"},
                                {"1", "0:00:40.00", "0:00:45.00"}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            k.Raster.setZelle(c, r + 1, zeilen[r][c]);
    k.Laengen_berechnen();
    k.Zeile_anwaehlen(1);
    k.SchneidenKnopf->click();
    int ticks = 0;
    while (k.SchneidenKnopf->isChecked() && ticks < 300) {
        tick();
        ++ticks;
    }
    EXPECT_FALSE(k.SchneidenKnopf->isChecked()) << "the list ran to its end";
    const auto inhalt = devices->recorder->contentMap();
    ASSERT_EQ(inhalt.size(), 3u);
    for (std::size_t i = 0; i < inhalt.size(); ++i) {
        EXPECT_EQ(inhalt[i].player, "camcorder");
        EXPECT_TRUE(inhalt[i].playerPlaying);
        // Where each cut lies to the frame is the cut benchmark's business:
        // here the rows' stretches, each within a few frames.
        const double von = Sio::Zeitwort_nach_Zaehler(zeilen[i][1], 1);
        const double bis = Sio::Zeitwort_nach_Zaehler(zeilen[i][2], 1);
        EXPECT_NEAR(inhalt[i].playerStart, von, 10) << i;
        EXPECT_NEAR(inhalt[i].playerEnd - inhalt[i].playerStart, bis - von, 5) << i;
    }
    EXPECT_EQ(devices->recorder->transport().mode(), Mode::Stop);
    p.adapterWindow->refresh();
    EXPECT_EQ(p.adapterWindow->recorderLabel->text().count(QStringLiteral("camcorder")), 3);
    bild(*p.adapterWindow, QStringLiteral("adapter-window-after-cut-run"));
    EXPECT_TRUE(unexpected.isEmpty()) << unexpected.join('\n').toStdString();
}
