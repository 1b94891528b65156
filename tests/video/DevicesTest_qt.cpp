// The device table and the recorder editor: new and known devices, the
// stored table, the box devices, the recorder's IR file and learning.
#include "VideoFixture.h"

#include "platform/ModalRunner_qt.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include <optional>

using video::TKameraDialog;

class Devices : public VideoFixture {
protected:
    // Plays the editor: the script changes the fields, then OK or Cancel.
    void editor(std::function<void(video::TGeraete_edit&)> f, bool ok = true) {
        platform::queueModalScript([f, ok](QDialog& d) {
            f(static_cast<video::TGeraete_edit&>(d));
            return ok ? int(QDialog::Accepted) : int(QDialog::Rejected);
        });
    }
    void waehle(int box, const QString& name) {
        QComboBox* c = kamera->CountBox[static_cast<std::size_t>(box)]->ComboBox1;
        c->setCurrentIndex(c->findText(name));
        kamera->CountBox1ComboBox1Click(box);
    }
    void geraet(int n, const std::string& name, const std::string& datei = "") {
        platform::IniFile ini(iniPath());
        const std::string s = "VideoGeraet" + std::to_string(n);
        ini.writeString(s, "Name", name);
        ini.writeString(s, "dt_IR_rec", " 0:00:01.00");
        ini.writeString(s, "IRDatei", datei);
        ini.writeBool(s, "PausePause", false);
    }
};

TEST_F(Devices, NewDeviceIsAddedStoredAndLoadedBeforeNew) {
    TKameraDialog& k = makeKamera();
    activateBoth();
    QString nameImEditor = QStringLiteral("x");
    editor([&](video::TGeraete_edit& e) {
        nameImEditor = e.Edit1->text();
        e.Edit1->setText(QStringLiteral("VHS"));
        e.IR_Aufnahme->setText(QStringLiteral("2"));
        e.K_Pause->setText(QStringLiteral("kein"));
        e.t_Pause->setText(QStringLiteral("etwa 4:30 min"));
        e.setIR_Aufnahme_steuerungIndex(1);
    });
    prompts.expectMessage(QStringLiteral("Ger\u00E4t VHS eingef\u00FCgt"));
    waehle(4, QStringLiteral("< Neu >"));
    EXPECT_TRUE(nameImEditor.isEmpty()) << "a new device starts without a name";
    EXPECT_EQ(k.CountBox[1]->ComboBox1->count(), 2);
    EXPECT_EQ(k.CountBox[4]->ComboBox1->currentText(), QStringLiteral("VHS"));
    EXPECT_EQ(k.Box_Geraet[4].Name, "VHS");
    EXPECT_EQ(k.Box_Geraet[4].dt_IR_rec, " 0:00:02.00");
    EXPECT_EQ(k.Box_Geraet[4].dt_K_Pause, " 0:00:00.00") << "no time word: a zero time";
    EXPECT_EQ(k.Box_Geraet[4].MaxPausenZeit, "4:30");
    EXPECT_FALSE(k.Box_Geraet[4].PausePause);
    platform::IniFile ini(iniPath());
    EXPECT_EQ(ini.readString("VideoGeraet0", "Name", ""), "VHS");
    // A leading blank is written quoted, so it comes back.
    EXPECT_EQ(ini.readString("VideoGeraet0", "dt_IR_rec", ""), " 0:00:02.00");
    EXPECT_FALSE(ini.readBool("VideoGeraet0", "PausePause", true));
    EXPECT_EQ(ini.readString("Geraete", "Box4", ""), "VHS");

    kamera.reset();
    form.reset();
    TKameraDialog& z = makeKamera();
    EXPECT_EQ(z.CountBox[2]->ComboBox1->itemText(0), QStringLiteral("VHS"));
    EXPECT_EQ(z.CountBox[2]->ComboBox1->itemText(1), QStringLiteral("< Neu >"));
    EXPECT_EQ(z.CountBox[4]->ComboBox1->currentIndex(), 0);
    EXPECT_EQ(z.CountBox[2]->ComboBox1->currentIndex(), -1);
    EXPECT_EQ(z.Box_Geraet[4].dt_IR_rec, " 0:00:02.00");
}

TEST_F(Devices, KnownNameCancelEmptyAndPlaceholder) {
    geraet(0, "Alpha");
    geraet(1, "Beta");
    platform::IniFile(iniPath()).writeString("Geraete", "Box2", "Gamma");
    TKameraDialog& k = makeKamera();
    activateBoth();
    EXPECT_EQ(k.CountBox[2]->ComboBox1->currentIndex(), -1) << "an unknown stored name";
    EXPECT_EQ(k.Box_Geraet[2], video::TVideoGeraet{});

    // Renaming Alpha to Beta overwrites Beta; Alpha keeps its values.
    editor([](video::TGeraete_edit& e) {
        EXPECT_EQ(e.IR_Aufnahme->text(), QStringLiteral(" 0:00:01.00"));
        e.Edit1->setText(QStringLiteral("Beta"));
        e.IR_Aufnahme->setText(QStringLiteral("0:03"));
    });
    prompts.expectMessage(QStringLiteral("Bekanntes Ger\u00E4t Beta : Parameter angepa\u00DFt"));
    waehle(1, QStringLiteral("Alpha"));
    EXPECT_EQ(k.CountBox[1]->ComboBox1->currentText(), QStringLiteral("Beta"));
    EXPECT_EQ(k.Geraeteliste[1].dt_IR_rec, " 0:00:03.00");
    EXPECT_EQ(k.Geraeteliste[0].dt_IR_rec, " 0:00:01.00");
    EXPECT_EQ(k.Box_Geraet[1].Name, "Beta");

    // Cancel, an empty name and the placeholder change nothing.
    editor([](video::TGeraete_edit& e) { e.Edit1->setText(QStringLiteral("Neu")); }, false);
    waehle(3, QStringLiteral("Alpha"));
    editor([](video::TGeraete_edit& e) { e.Edit1->clear(); });
    waehle(3, QStringLiteral("Alpha"));
    editor([](video::TGeraete_edit& e) { e.Edit1->setText(QStringLiteral("< Neu >")); });
    prompts.expectMessage(QStringLiteral("Ger\u00E4tenamen angeben !"));
    waehle(3, QStringLiteral("Alpha"));
    EXPECT_EQ(k.Box_Geraet[3], video::TVideoGeraet{});
    EXPECT_EQ(k.CountBox[1]->ComboBox1->count(), 3);
    EXPECT_EQ(readFile(iniPath()).find("Neu\r\n"), std::string::npos);
}

TEST_F(Devices, TheTableHoldsTwentyOneDevices) {
    for (int n = 0; n < 20; ++n)
        geraet(n, std::string("G").append(std::to_string(n)));
    TKameraDialog& k = makeKamera();
    activateBoth();
    ASSERT_EQ(k.CountBox[1]->ComboBox1->count(), 21);
    editor([](video::TGeraete_edit& e) { e.Edit1->setText(QStringLiteral("Zuviel")); });
    prompts.expectMessage(QStringLiteral("Ger\u00E4teliste voll : Zuviel nicht eingef\u00FCgt"));
    waehle(1, QStringLiteral("< Neu >"));
    EXPECT_EQ(k.CountBox[1]->ComboBox1->count(), 21);
    EXPECT_FALSE(platform::IniFile(iniPath()).sectionExists("VideoGeraet20"));
}

TEST_F(Devices, RecorderIrFileOfBoxFour) {
    // A stored device with an IR file fills the table at start.
    video::Schnitt_IRTabelle t{};
    t[3].Befehl = {1, 300, 0};
    t[6].Befehl = {1, 600, 0};
    const std::string datei = file("vhs_ir.cdx").string();
    video::Schreibe_Schnitt_IRCodes(t, datei, 1);
    geraet(0, "VHS", datei);
    platform::IniFile(iniPath()).writeString("Geraete", "Box4", "VHS");
    TKameraDialog& k = makeKamera();
    activateBoth();
    EXPECT_EQ(k.Schnitt_IRCodes[6].Befehl[1], 600);
    EXPECT_TRUE(k.CountBox[4]->SpeedButton[4]->isEnabled());
    EXPECT_FALSE(k.CountBox[4]->SpeedButton[2]->isEnabled());

    // A file name that does not exist empties the table and the buttons;
    // an empty one keeps it.
    editor([&](video::TGeraete_edit& e) {
        e.IRDateiName->setText(QString::fromStdString(file("weg.cdx").string()));
    });
    waehle(4, QStringLiteral("VHS"));
    EXPECT_EQ(k.Schnitt_IRCodes[6].Befehl[0], 0);
    EXPECT_FALSE(k.CountBox[4]->SpeedButton[4]->isEnabled());
    k.Schnitt_IRCodes[6].Befehl = {1, 600, 0};
    editor([&](video::TGeraete_edit& e) { e.IRDateiName->clear(); });
    waehle(4, QStringLiteral("VHS"));
    EXPECT_EQ(k.Schnitt_IRCodes[6].Befehl[1], 600);
}

TEST_F(Devices, DiskButtonAndLearning) {
    TKameraDialog& k = makeKamera();
    activateBoth();
    video::TGeraete_edit& e = *k.Geraete_edit;
    // The editor is open over the video window, which polls no more.
    std::optional<platform::WindowTracker::ModalScope> editor(std::in_place, &e);
    ASSERT_FALSE(k.Timer_an());
    e.Edit1->setText(QStringLiteral("VHS"));
    EXPECT_EQ(e.GroupBox1->title(), QStringLiteral("VHS"));
    e.IRDateiName->clear();

    // Learning needs a file name first.
    prompts.expectMessage(QStringLiteral("Dateinamen f\u00FCr Fernsteuerdatei ausw\u00E4hlen"));
    e.LernenClick(e.CountBox1->SpeedButton[4]);
    EXPECT_FALSE(k.Timer_an());

    // The disk button proposes the key file's folder (here beside the program:
    // portable use) and the device's name; Cancel keeps the field empty, so
    // the next proposal follows the name as it is then. A new file is created.
    prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Cancel);
    e.SpeichernBClick();
    EXPECT_EQ(prompts.shown().back().dialog.fileName.toStdString(),
              (folder / "VHS_ir.cdx").string());
    EXPECT_TRUE(e.IRDateiName->text().isEmpty());
    e.Edit1->setText(QStringLiteral("S-VHS"));
    const std::string vorschlag = (folder / "S-VHS_ir.cdx").string();
    prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Ok,
                   QString::fromStdString(vorschlag));
    e.SpeichernBClick();
    EXPECT_EQ(prompts.shown().back().dialog.fileName.toStdString(), vorschlag);
    EXPECT_EQ(e.IRDateiName->text(), QString::fromStdString(vorschlag));
    EXPECT_EQ(readFile(vorschlag), video::Datei_Text(k.Schnitt_IRCodes));
    // An existing file is left alone.
    writeFile(vorschlag, "eigene");
    prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Ok,
                   QString::fromStdString(vorschlag));
    e.SpeichernBClick();
    EXPECT_EQ(readFile(vorschlag), "eigene");
    video::Schreibe_Schnitt_IRCodes(k.Schnitt_IRCodes, vorschlag + ".x", 1);
    std::filesystem::rename(vorschlag + ".x", vorschlag);

    // Learning Record: the dialog gets the label, the slot and a fixed type.
    video::LernAuftrag gesehen;
    bool timerImDialog = true;
    e.Lernen = [&](video::LernAuftrag& a) {
        gesehen = a;
        timerImDialog = k.Timer_an();
        a.Lernpuffer = {2, 8000, 4000, 0};
        a.IR_Hex_Code = "A1";
        return true;
    };
    k.Schnitt_IRCodes[6].Name = "alt";
    const std::size_t laenge = readFile(vorschlag).size();
    e.LernenClick(e.CountBox1->SpeedButton[4]);
    EXPECT_EQ(gesehen.Beschriftung, QStringLiteral("* Record"));
    EXPECT_EQ(gesehen.IR_Hex_Code, "alt");
    EXPECT_FALSE(timerImDialog);
    EXPECT_FALSE(k.Timer_an());
    EXPECT_EQ(k.Schnitt_IRCodes[6].Befehl[1], 8000);
    EXPECT_EQ(k.Schnitt_IRCodes[6].Name, "A1");
    EXPECT_EQ(readFile(vorschlag).substr(laenge), video::Knopf_Text(k.Schnitt_IRCodes, 6));

    // Cancelled: table and file stay, the button is released.
    e.Lernen = [](video::LernAuftrag& a) {
        a.Lernpuffer[1] = 1;
        return false;
    };
    const std::string vorher = readFile(vorschlag);
    e.CountBox1->SpeedButton[4]->setChecked(true);
    e.LernenClick(e.CountBox1->SpeedButton[4]);
    EXPECT_EQ(k.Schnitt_IRCodes[6].Befehl[1], 8000);
    EXPECT_EQ(readFile(vorschlag), vorher);
    EXPECT_FALSE(e.CountBox1->SpeedButton[4]->isChecked());
    EXPECT_FALSE(k.Timer_an());
    editor.reset();
    EXPECT_TRUE(k.Timer_an()) << "polling resumes when the editor closes";
}

TEST_F(Devices, DiskButtonProposesTheUsersDataFolderWhenInstalled) {
    // An installed program keeps its settings in the user's folders and may
    // not write beside itself: the new recorder file goes with the key file.
    std::filesystem::create_directories(folder / "config/tavix");
    std::filesystem::rename(folder / "Tavix.ini", folder / "config/tavix/Tavix.ini");
    TKameraDialog& k = makeKamera();
    activateBoth();
    video::TGeraete_edit& e = *k.Geraete_edit;
    std::optional<platform::WindowTracker::ModalScope> editor(std::in_place, &e);
    e.Edit1->setText(QStringLiteral("VHS"));
    e.IRDateiName->clear();
    prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Cancel);
    e.SpeichernBClick();
    EXPECT_EQ(prompts.shown().back().dialog.fileName.toStdString(),
              dataFile("VHS_ir.cdx").string());
}

TEST_F(Devices, EditorHasRoomForEveryFieldAndLearnButton) {
    TKameraDialog& k = makeKamera();
    video::TGeraete_edit& e = *k.Geraete_edit;
    e.FormShow();
    e.show();
    e.layout()->activate();
    // A fixed border, at least the designed size.
    EXPECT_EQ(e.minimumSize(), e.maximumSize());
    EXPECT_GE(e.width(), 433);
    EXPECT_GE(e.height(), 428);
    int geprueft = 0;
    for (QWidget* w : e.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&e)) continue;
        if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QAbstractButton*>(w) &&
            !qobject_cast<QLabel*>(w))
            continue;
        EXPECT_GE(w->height(), w->sizeHint().height())
            << w->metaObject()->className() << " " << w->objectName().toStdString() << " "
            << w->property("Tag").toInt();
        ++geprueft;
    }
    EXPECT_GE(geprueft, 7 + 12 + 2) << "fields, learn buttons and OK/Cancel";
    for (std::size_t n = 1; n <= 12; ++n)
        EXPECT_GE(e.CountBox1->SpeedButton[n]->height(),
                  e.CountBox1->SpeedButton[n]->sizeHint().height());

    // Typing a name (the box's caption follows it) moves no field: a click
    // aimed at a delay lands there.
    const auto lage = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        e.layout()->activate();
        std::vector<QRect> r;
        for (QLineEdit* w : e.findChildren<QLineEdit*>())
            r.push_back(QRect(w->mapTo(&e, QPoint()), w->size()));
        return r;
    };
    const std::vector<QRect> leer = lage();
    e.Edit1->setText(QStringLiteral("Recorder"));
    EXPECT_EQ(e.GroupBox1->title(), QStringLiteral("Recorder"));
    EXPECT_EQ(lage(), leer);
    e.Edit1->clear();
    EXPECT_EQ(lage(), leer);
    e.hide();
}
