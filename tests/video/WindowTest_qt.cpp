// The video window: first start, activation and deactivation with the video
// settings, resize, the parameters dialog and the stored cut list.
#include "VideoFixture.h"

#include "platform/Errors.h"
#include "platform/ModalRunner_qt.h"
#include "platform/ScopeExit.h"
#include "platform/ScreenFit_qt.h"
#include "support/SaveFaults.h"

#include <QCheckBox>
#include <QLayout>
#include <QToolBar>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

using video::TKameraDialog;

class Window : public VideoFixture {};

TEST_F(Window, FirstStartWithoutVideoSettings) {
    TKameraDialog& k = makeKamera();
    EXPECT_EQ(k.windowTitle(), TKameraDialog::kCaption);
    EXPECT_EQ(k.Aufnahme_Nr(), 4);
    EXPECT_EQ(k.Zuspieler_Nr(), 1);
    EXPECT_EQ(k.width(), 725);
    EXPECT_EQ(k.height(), 562);
    EXPECT_FALSE(k.Sony_justiert);
    EXPECT_TRUE(k.IR_Warnung);
    EXPECT_EQ(k.CountBox[1]->farbe(), video::kRein_Gruen);
    EXPECT_EQ(k.CountBox[4]->farbe(), video::kRein_Rot);
    EXPECT_EQ(k.CountBox[1]->Kanal_x->title(), QStringLiteral("Kanal 1"));
    EXPECT_EQ(k.CountBox[4]->Kanal_x->title(), QStringLiteral("Infrarot (4)"));
    EXPECT_TRUE(k.CountBox[4]->Zuspieler->isHidden());
    EXPECT_TRUE(k.CountBox[2]->SpeedButton[8]->isHidden());
    EXPECT_FALSE(k.CountBox[4]->SpeedButton[8]->isHidden());
    EXPECT_FALSE(k.CountBox[1]->Offset->isHidden()) << "offset edits shown by default";
    // Only "< Neu >" in every device list; no box has a device.
    for (int b = 1; b <= 4; ++b) {
        EXPECT_EQ(k.CountBox[static_cast<std::size_t>(b)]->ComboBox1->count(), 1);
        EXPECT_EQ(k.CountBox[static_cast<std::size_t>(b)]->ComboBox1->currentIndex(), -1);
    }
    // Box 4 has no learnt command: all its buttons are off.
    for (int n = 1; n <= 12; ++n)
        EXPECT_FALSE(k.CountBox[4]->SpeedButton[static_cast<std::size_t>(n)]->isEnabled());
    EXPECT_TRUE(k.Parameter->Cue_vor->isChecked());
    EXPECT_FALSE(k.Parameter->Pause_bei_CutIn->isChecked());
    EXPECT_EQ(k.Parameter->SpulWert->text(), QStringLiteral("2:00.00"));
    EXPECT_FALSE(k.Timer_an());
}

TEST_F(Window, DeactivationStopsTheRunAndWritesTheSettings) {
    TKameraDialog& k = makeKamera();
    activateBoth();
    EXPECT_TRUE(k.Timer_an());
    EXPECT_TRUE(form->Videomaske_aktiv);
    EXPECT_TRUE(k.Raster.Editieren);

    k.setGeometry(50, 60, 700, 500);
    k.Waehle_Zuspieler(3);
    k.Waehle_Aufnahme(2);
    k.Parameter->Cue_vor->setChecked(false);
    k.Parameter->CueWert->setText(QStringLiteral("0:40.00"));
    k.Parameter->Timecode_Display->setChecked(true);
    k.Parameter->Offsetfelder_sichtbar->setChecked(false);
    EXPECT_TRUE(k.CountBox[2]->Offset->isHidden());
    k.SchneidenKnopf->setChecked(true);

    // The parameters dialog is a window of the program: the video window
    // goes inactive while it is up, and active again after.
    bool timerImDialog = true, knopfImDialog = true;
    platform::queueModalScript([&](QDialog&) {
        timerImDialog = k.Timer_an();
        knopfImDialog = k.SchneidenKnopf->isChecked();
        return int(QDialog::Accepted);
    });
    k.EinstellungenKnopfClick();
    EXPECT_FALSE(timerImDialog);
    EXPECT_FALSE(knopfImDialog) << "the run ends without a device command";
    EXPECT_TRUE(k.Timer_an()) << "polling resumes";
    EXPECT_FALSE(k.SchneidenKnopf->isChecked());

    platform::IniFile ini(iniPath());
    EXPECT_EQ(ini.readInteger("Videomaske", "top", 0), 60);
    EXPECT_EQ(ini.readInteger("Videomaske", "left", 0), 50);
    EXPECT_EQ(ini.readInteger("Videomaske", "width", 0), 700);
    EXPECT_EQ(ini.readInteger("Videomaske", "height", 0), 500);
    EXPECT_EQ(ini.readInteger("Videoeinstellungen", "Zuspieler", 0), 3);
    EXPECT_EQ(ini.readInteger("Videoeinstellungen", "Aufnahmerecorder", 0), 2);
    EXPECT_FALSE(ini.readBool("SpulZeiten", "Cue_Vor", true));
    EXPECT_EQ(ini.readString("SpulZeiten", "CueWert", ""), "0:40.00");
    EXPECT_TRUE(ini.readBool("Sonstiges_Video", "Timecode_Display", false));

    // A second run of the program starts from these settings.
    kamera.reset();
    form.reset();
    TKameraDialog& z = makeKamera();
    EXPECT_EQ(z.geometry(), QRect(50, 60, 700, 500));
    EXPECT_EQ(z.Zuspieler_Nr(), 3);
    EXPECT_EQ(z.Aufnahme_Nr(), 2);
    EXPECT_EQ(z.CountBox[2]->farbe(), video::kRein_Rot);
    EXPECT_FALSE(z.Parameter->Cue_vor->isChecked());
    EXPECT_EQ(z.Parameter->CueWert->text(), QStringLiteral("0:40.00"));
    EXPECT_TRUE(z.Parameter->Timecode_Display->isChecked());
    EXPECT_TRUE(z.CountBox[1]->Offset->isHidden()) << "offset edits follow the stored state";

    // The settings go out in one save; a save that fails keeps the file as it
    // was, with none of the new values.
    std::ifstream in(iniPath(), std::ios::binary);
    const std::string alt((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    z.Waehle_Zuspieler(2);
    z.Parameter->CueWert->setText(QStringLiteral("0:50.00"));
    for (auto kind : {testsupport::SaveFault::Write, testsupport::SaveFault::Rename}) {
        testsupport::SaveFault fault(kind);
        EXPECT_THROW(z.FormDeactivate(), EInOutError);
        std::ifstream again(iniPath(), std::ios::binary);
        EXPECT_EQ(
            std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()),
            alt);
    }
    testsupport::SaveFault counting;
    z.FormDeactivate();
    EXPECT_EQ(counting.saves(), 1);
    EXPECT_EQ(ini.readInteger("Videoeinstellungen", "Zuspieler", 0), 2);
    EXPECT_EQ(ini.readString("SpulZeiten", "CueWert", ""), "0:50.00");
}

TEST_F(Window, StoredCalibrationAndBadRoles) {
    {
        platform::IniFile ini(iniPath());
        ini.writeInteger("Sony", "Sony1", 1234);
        ini.writeInteger("Sony", "Sony2", 2345);
        ini.writeInteger("Videoeinstellungen", "Aufnahmerecorder", 7);
        ini.writeInteger("Videoeinstellungen", "Zuspieler", 0);
    }
    TKameraDialog& k = makeKamera();
    EXPECT_TRUE(k.Sony_justiert);
    EXPECT_EQ(Sio::Sony1, 1234);
    EXPECT_EQ(Sio::Sony2, 2345);
    EXPECT_EQ(k.Aufnahme_Nr(), 4);
    EXPECT_EQ(k.Zuspieler_Nr(), 1);

    kamera.reset();
    form.reset();
    platform::IniFile(iniPath()).writeInteger("Sony", "Sony1", -1);
    EXPECT_FALSE(makeKamera().Sony_justiert) << "-1 counts as not calibrated";

    // A stored geometry beyond any screen is brought within the screens.
    kamera.reset();
    form.reset();
    {
        platform::IniFile ini(iniPath());
        ini.writeInteger("Videomaske", "top", 2147483647);
        ini.writeInteger("Videomaske", "left", -2147483647 - 1);
        ini.writeInteger("Videomaske", "width", 2147483647);
        ini.writeInteger("Videomaske", "height", 2147483647);
    }
    TKameraDialog& g = makeKamera();
    const QRect area = platform::availableScreenArea(), r = g.Rahmen();
    EXPECT_TRUE(area.contains(r.topLeft())) << r.x() << " " << r.y();
    EXPECT_LE(r.width(), area.width());
    EXPECT_LE(r.height(), area.height());
}

TEST_F(Window, DamagedRecorderFileAtStartIsShownAndCreationGoesOn) {
    const std::string ir = file("rec_ir.cdx").string();
    writeFile(ir, " 108 Top\r\n 112 Left\r\n 293 Width\r\n 176 Height\r\n  69 Knopfbreite\r\n  40 "
                  "Knopfhoehe\r\n   1 obsolet\r\n  201\r\n0  Typ\r\n> Play\r\n\r\n         "
                  "1\r\n       500\r\n         0\r\n  202\r\nabc\r\n");
    {
        platform::IniFile ini(iniPath());
        ini.writeString("VideoGeraet0", "Name", "Rec");
        ini.writeString("VideoGeraet0", "IRDatei", ir);
        ini.writeString("Geraete", "Box4", "Rec");
        ini.writeInteger("Videomaske", "top", 40);
        ini.writeInteger("Sony", "Sony1", 1234);
    }
    prompts.expectError(QStringLiteral("Ung\u00FCltige Zahl in Zeile 16 von >") +
                        QString::fromStdString(ir) + QStringLiteral("<"));
    TKameraDialog& k = makeKamera();
    EXPECT_EQ(k.Schnitt_IRCodes[1].Befehl[1], 500) << "slots read before the damage stay";
    for (std::size_t n = 1; n <= 12; ++n) {
        const QToolButton* b = k.CountBox[4]->SpeedButton[n];
        EXPECT_EQ(b->isEnabled(), b->property("Tag").toInt() == 1)
            << "the buttons follow the slots";
    }
    EXPECT_TRUE(k.Sony_justiert) << "the later steps ran";
    EXPECT_EQ(Sio::Sony1, 1234);
    ASSERT_NE(k.Parameter, nullptr);
}

TEST_F(Window, StoresAndRestoresTheOuterFrame) {
    // A window manager's frame: 4 pixels round, a title bar of 24; the
    // frame fits the screen (800 x 600 offscreen) whole.
    const auto ohne = TKameraDialog::Rahmenraender;
    TKameraDialog::Rahmenraender = [](const QWidget&) { return QMargins(4, 24, 4, 4); };
    platform::ScopeExit zurueck([&] { TKameraDialog::Rahmenraender = ohne; });
    {
        platform::IniFile ini(iniPath());
        ini.writeInteger("Videomaske", "top", 100);
        ini.writeInteger("Videomaske", "left", 60);
        ini.writeInteger("Videomaske", "width", 700);
        ini.writeInteger("Videomaske", "height", 500);
    }
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        TKameraDialog& k = makeKamera();
        EXPECT_EQ(k.geometry(), QRect(64, 124, 692, 472));
        EXPECT_EQ(k.Rahmen(), QRect(60, 100, 700, 500));
        activateBoth();
        activate(); // the video window goes inactive and stores its frame
        platform::IniFile ini(iniPath());
        EXPECT_EQ(ini.readInteger("Videomaske", "top", 0), 100) << "no creeping";
        EXPECT_EQ(ini.readInteger("Videomaske", "left", 0), 60);
        EXPECT_EQ(ini.readInteger("Videomaske", "width", 0), 700);
        EXPECT_EQ(ini.readInteger("Videomaske", "height", 0), 500);
        platform::WindowTracker::instance().unregisterWindow(static_cast<QWidget*>(kamera.get()));
        kamera.reset();
        form.reset();
    }
}

TEST_F(Window, CommentColumnHasItsWidthAtTheFirstShow) {
    TKameraDialog& k = makeKamera();
    k.show();
    int summe = 0;
    for (int c = 0; c <= 3; ++c)
        summe += k.StringGrid1->columnWidth(c);
    EXPECT_GT(k.StringGrid1->columnWidth(4), 0);
    EXPECT_EQ(k.StringGrid1->columnWidth(4), k.Schnittpanel->width() - summe - 30);
    k.hide();
}

TEST_F(Window, ResizeLaysOutBoxesCommentColumnAndCaptions) {
    TKameraDialog& k = makeKamera();
    k.show();
    // At the first size every box shows its roles whole.
    k.layout()->activate();
    k.FormResize();
    for (int b = 1; b <= 4; ++b)
        for (QRadioButton* r : {k.CountBox[b]->Zuspieler, k.CountBox[b]->Aufnahme})
            if (r->isVisibleTo(&k)) {
                EXPECT_GE(r->width(), r->sizeHint().width()) << b;
            }
    k.resize(1000, 600);
    k.layout()->activate();
    k.FormResize();
    EXPECT_EQ(k.CountBox[1]->width(), 250);
    EXPECT_EQ(k.CountBox[1]->Zaehler->text(), QStringLiteral("1000"));
    EXPECT_EQ(k.CountBox[2]->Zaehler->text(), QStringLiteral("600"));
    int summe = 0;
    for (int c = 0; c <= 3; ++c)
        summe += k.StringGrid1->columnWidth(c);
    EXPECT_EQ(k.StringGrid1->columnWidth(4), k.Schnittpanel->width() - summe - 30);
    EXPECT_EQ(k.ToolBar2->toolButtonStyle(), Qt::ToolButtonTextOnly);

    k.resize(450, 490);
    k.layout()->activate();
    const int breit = k.StringGrid1->columnWidth(4);
    k.FormResize();
    EXPECT_EQ(k.width(), 450) << "the boxes' widths do not keep the window wide";
    k.layout()->activate();
    EXPECT_EQ(k.CountBox[1]->width(), 112);
    EXPECT_EQ(k.StringGrid1->columnWidth(4), breit) << "450 pixels or less keep the column";
    EXPECT_EQ(k.ToolBar2->toolButtonStyle(), Qt::ToolButtonIconOnly);
    k.resize(450, 491);
    k.FormResize();
    EXPECT_EQ(k.ToolBar2->toolButtonStyle(), Qt::ToolButtonTextOnly);
    k.hide();
}

TEST_F(Window, StoredListIsLoadedAtTheFirstActivation) {
    writeFile(file("schnitt.lst"), ";; x\r\n;X 2 Zuspieler Nr.\r\n 0:10, 0:20 ; eins\r\n");
    platform::IniFile(iniPath()).writeString("Dateien", "Schnittliste",
                                             file("schnitt.lst").string());
    TKameraDialog& k = makeKamera();
    activateBoth();
    EXPECT_EQ(k.Schnittdateiname->text(), QStringLiteral("schnitt.lst"));
    EXPECT_EQ(k.Raster.zelle(0, 1), "2");
    EXPECT_EQ(k.Raster.zelle(4, 1), "eins");
    EXPECT_EQ(k.Zuspieler_Nr(), 2);
    EXPECT_EQ(k.StringGrid1->item(1, 1)->text(), QStringLiteral("0:10"));

    // Only once: a later activation keeps the grid.
    k.Raster.setZelle(4, 1, "bearbeitet");
    activate();
    activateKamera();
    EXPECT_EQ(k.Raster.zelle(4, 1), "bearbeitet");
}

TEST_F(Window, MissingStoredListLeavesNoName) {
    platform::IniFile(iniPath()).writeString("Dateien", "Schnittliste", file("weg.lst").string());
    TKameraDialog& k = makeKamera();
    k.Schnittdateiname->setText(QStringLiteral("alt"));
    activateBoth();
    EXPECT_TRUE(k.Schnittdateiname->text().isEmpty());
}

TEST_F(Window, ACutListThatIsNoFileIsRefusedAndNotStored) {
    writeFile(file("alt.lst"), ";; x\r\n 0:10, 0:20 ; alt\r\n");
    const std::string alt = file("alt.lst").string();
    std::filesystem::create_directory(file("ordner.lst"));
    ASSERT_EQ(::mkfifo(file("fifo.lst").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", file("geraet.lst"));
    const auto keineDatei = [](const std::filesystem::path& p) {
        return QString::fromStdString("Datei >" + p.string() +
                                      "< ist keine gew\u00F6hnliche Datei (Ordner, "
                                      "Ger\u00E4t oder FIFO)\rNot a regular file (folder, "
                                      "device or FIFO)");
    };
    // Named on the command line: said why, the stored list stays and opens.
    for (const char* name : {"ordner.lst", "fifo.lst", "geraet.lst"}) {
        SCOPED_TRACE(name);
        platform::IniFile(iniPath()).writeString("Dateien", "Schnittliste", alt);
        TKameraDialog& k = makeKamera({QString::fromStdString(file(name).string())});
        prompts.expectError(keineDatei(file(name)));
        activateBoth();
        EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Schnittliste", ""), alt);
        EXPECT_EQ(k.Schnittdateiname->text(), QStringLiteral("alt.lst"));
        EXPECT_EQ(k.Raster.zelle(4, 1), "alt");
        platform::WindowTracker::instance().unregisterWindow(static_cast<QWidget*>(kamera.get()));
        kamera.reset();
        form.reset();
    }
    // Stored, and no file since: said why, and the window opens without a list.
    platform::IniFile(iniPath()).writeString("Dateien", "Schnittliste", file("fifo.lst").string());
    TKameraDialog& k = makeKamera();
    k.Schnittdateiname->setText(QStringLiteral("alt"));
    prompts.expectError(keineDatei(file("fifo.lst")));
    activateBoth();
    EXPECT_TRUE(k.Schnittdateiname->text().isEmpty());
    EXPECT_TRUE(k.Timer_an());
}

TEST_F(Window, BackToTheRemoteControlAndProgramEnd) {
    TKameraDialog& k = makeKamera();
    activateBoth();
    k.show();
    k.FBKnopfClick();
    EXPECT_FALSE(form->Videomaske_aktiv);
    EXPECT_FALSE(k.isVisible());
    EXPECT_EQ(platform::WindowTracker::instance().active(), static_cast<QWidget*>(form.get()));

    // As the program's view, closing the video window closes the main window.
    bool geschlossen = false;
    QObject::connect(form.get(), &desk::TIRForm::closed, [&] { geschlossen = true; });
    activateKamera();
    k.show();
    // Cancel at the main window's save question keeps both windows open.
    form->Datei_geaendert = true;
    prompts.expect(platform::PromptKind::YesNoCancel,
                   QStringLiteral("Änderungen der momentanen Fernsteuerdatei sichern ? \rSave "
                                  "changes ?"),
                   platform::Answer::Cancel);
    k.EndeKnopfClick();
    EXPECT_FALSE(geschlossen);
    EXPECT_TRUE(k.isVisible());
    EXPECT_TRUE(form->Datei_geaendert);
    form->Datei_geaendert = false;
    k.EndeKnopfClick();
    EXPECT_TRUE(geschlossen);
}
