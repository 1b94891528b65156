// Editing the cut list in the window: Cut In and Cut Out from the player's
// position (live with the recorder), the player button, the pop-up commands,
// the spin buttons and the table view.
#include "VideoFixture.h"

#include <QAction>
#include <QTest>

using video::TKameraDialog;

class GridEdit : public VideoFixture {
protected:
    TKameraDialog& fenster() {
        TKameraDialog& k = makeKamera();
        activateBoth();
        k.Neue_Schnittliste();
        k.Kanal_Position[1] = {' ', 0, 1, 0, 10};
        k.Kanal_Status[1] = "> ";
        k.Kanal_spielt[1] = true;
        k.Kanal_gelesen[1] = true;
        return k;
    }
};

TEST_F(GridEdit, CutInAndCutOutRecordALiveCut) {
    TKameraDialog& k = fenster();
    k.Schnitt_IRCodes[6].Befehl = {1, 600, 0};
    k.Schnitt_IRCodes[3].Befehl = {1, 300, 0};
    k.Box_Geraet[4].PausePause = false;
    k.LiveButton->setChecked(true);
    k.SchneidenKnopf->setChecked(true);
    k.CutInClick();
    EXPECT_EQ(k.Raster.zeile(1), (video::Rasterzeile{"1", " 0:01:00.05", "", "", ""}));
    EXPECT_FALSE(k.SchneidenKnopf->isChecked());
    EXPECT_TRUE(k.Raster.Editieren);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][1], 600) << "live: Record to the recorder";

    k.Kanal_Position[1] = {' ', 0, 1, 10, 0};
    k.CutOutClick();
    EXPECT_EQ(k.Raster.zelle(2, 1), " 0:01:10.00");
    EXPECT_EQ(k.Raster.zelle(3, 1), " 0:00:09.20");
    EXPECT_EQ(k.Raster.Row, 2);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1][1], 300);
    EXPECT_EQ(text(k.Gesamtzeit), " 0:00:09.20");

    // Refused: a start already there, an end already there, no start.
    k.Zeile_anwaehlen(1);
    k.CutInClick();
    k.CutOutClick();
    k.Zeile_anwaehlen(2);
    k.Raster.setZelle(2, 2, " ");
    k.CutOutClick();
    EXPECT_EQ(os.beeps, 3);
    EXPECT_EQ(k.Raster.zelle(2, 2), " ");
    // A start of blanks only is taken.
    k.Raster.setZelle(1, 2, "  ");
    k.Raster.setZelle(2, 2, "");
    k.LiveButton->setChecked(false);
    k.CutInClick();
    EXPECT_EQ(k.Raster.zelle(1, 2), " 0:01:10.00");
    EXPECT_EQ(sent.size(), 2u);
}

TEST_F(GridEdit, CutsOnTheLastRowGrowTheGrid) {
    TKameraDialog& k = fenster();
    k.Zeile_anwaehlen(19);
    k.CutInClick();
    EXPECT_EQ(k.Raster.RowCount(), 21);
    EXPECT_EQ(k.Raster.Row, 19);
    k.Zeile_anwaehlen(20);
    k.Raster.setZelle(1, 20, "0:00");
    k.CutOutClick();
    EXPECT_EQ(k.Raster.Row, 21);
    EXPECT_GE(k.Raster.RowCount(), 22);
    EXPECT_EQ(k.StringGrid1->rowCount(), k.Raster.RowCount());

    // Pause at Cut In when the player stands paused.
    k.Parameter->Pause_bei_CutIn->setChecked(true);
    k.Kanal_Status[1] = "II";
    attachDecks();
    k.Raster.setZelle(1, 21, "");
    k.Zeile_anwaehlen(21);
    sony->clearLog();
    k.CutInClick();
    sim.sync();
    EXPECT_FALSE(sony->log().empty());
}

TEST_F(GridEdit, PlayerButtonPopupAndSpinButtons) {
    TKameraDialog& k = fenster();
    k.Waehle_Zuspieler(2);
    k.Raster.Row = 3;
    k.SpeedButton1Click();
    EXPECT_EQ(k.Raster.zelle(0, 3), "2");
    EXPECT_EQ(k.Raster.Row, 4);

    // Pop-up items act only in column 1.
    k.Raster.Col = 0;
    k.PopxClick(k.PopupItems[2]);
    EXPECT_EQ(k.Raster.zelle(1, 4), "");
    k.Raster.Col = 1;
    k.PopxClick(k.PopupItems[2]);
    EXPECT_EQ(k.Raster.zelle(1, 4), "Goto");
    EXPECT_EQ(k.Raster.zelle(2, 4), "0:00");
    k.PopxClick(k.PopupItems[4]);
    EXPECT_EQ(k.Raster.zelle(1, 4), "Aufnahme Rec Nr");
    EXPECT_EQ(k.Raster.zelle(2, 4), "4");
    k.PopxClick(k.PopupItems[3]);
    EXPECT_EQ(k.Raster.zelle(4, 4), "Text f\xFCr Dialog");
    k.PopxClick(k.PopupItems[0]);
    EXPECT_EQ(k.Raster.zelle(1, 4), "Stop");
    EXPECT_EQ(k.Raster.zelle(2, 4), "4") << "Stop leaves the argument";

    // Spin buttons: a frame later or earlier in the focused time cell.
    k.Raster.setZelle(1, 5, "1:00");
    k.Raster.Row = 5;
    k.Raster.Col = 1;
    k.SpinButton3UpClick();
    EXPECT_EQ(k.Raster.zelle(1, 5), " 0:01:00.01");
    k.SpinButton3DownClick();
    k.SpinButton3DownClick();
    EXPECT_EQ(k.Raster.zelle(1, 5), " 0:00:59.24");
    rasterFokus = false;
    k.SpinButton3UpClick();
    EXPECT_EQ(k.Raster.zelle(1, 5), " 0:00:59.24") << "without the focus only lengths";
    rasterFokus = true;

    // During a run they move the row; on row 1 upwards nothing.
    k.SchneidenKnopf->setChecked(true);
    k.SpinButton3UpClick();
    EXPECT_EQ(k.Raster.Row, 4);
    k.Raster.Row = 1;
    k.SpinButton3UpClick();
    EXPECT_EQ(k.Raster.Row, 1);
    k.SpinButton3DownClick();
    EXPECT_EQ(k.Raster.Row, 2);
    EXPECT_EQ(k.Raster.zelle(1, 5), " 0:00:59.24");
}

TEST_F(GridEdit, InsertEndsTheRunAndTableFollowsTheData) {
    TKameraDialog& k = fenster();
    zeile(2, {"1", "0:10", "0:20", "", "zwei"});
    k.Raster.Row = 2;
    k.SchneidenKnopf->setChecked(true);
    k.Zeile_einfuegen_TasteClick();
    EXPECT_FALSE(k.SchneidenKnopf->isChecked());
    EXPECT_TRUE(k.Timer_an());
    EXPECT_EQ(k.Raster.zelle(4, 3), "zwei");
    EXPECT_EQ(k.StringGrid1->item(3, 4)->text(), QStringLiteral("zwei"));
    k.Raster.Row = 3;
    k.Zeile_loeschenClick();
    EXPECT_EQ(k.Raster.zelle(4, 3), "");
    EXPECT_EQ(k.StringGrid1->item(3, 4)->text(), QString());

    // Typing into the table goes into the data.
    k.StringGrid1->item(5, 4)->setText(QStringLiteral("Gr\u00FC\u00DFe"));
    EXPECT_EQ(k.Raster.zelle(4, 5), "Gr\xFC\xDF"
                                    "e");
    k.StringGrid1->setCurrentCell(6, 2);
    EXPECT_EQ(k.Raster.Row, 6);
    EXPECT_EQ(k.Raster.Col, 2);
    EXPECT_EQ(k.StringGrid1->item(0, 1)->text(), QStringLiteral("Start (Befehl)"));

    // A right click opens the commands and keeps the current cell.
    k.show();
    const QRect zelle = k.StringGrid1->visualRect(k.StringGrid1->model()->index(2, 1));
    QTest::mouseClick(k.StringGrid1->viewport(), Qt::RightButton, {}, zelle.center());
    EXPECT_TRUE(k.PopupMenu1->isVisible());
    EXPECT_EQ(k.Raster.Row, 6);
    EXPECT_EQ(k.Raster.Col, 2);
    k.PopupMenu1->hide();
    k.hide();
    EXPECT_FALSE(k.StringGrid1->item(0, 1)->flags() & Qt::ItemIsEditable);
}

TEST_F(GridEdit, HeaderRowIsNeverCurrentAndSeparatorsAreRefused) {
    TKameraDialog& k = fenster();
    k.show();
    k.StringGrid1->setFocus();
    k.StringGrid1->setCurrentCell(1, 1);
    QTest::keyClick(k.StringGrid1, Qt::Key_Up);
    EXPECT_EQ(k.Raster.Row, 1) << "Up from row 1";
    EXPECT_EQ(k.StringGrid1->currentRow(), 1);
    const QRect kopf = k.StringGrid1->visualRect(k.StringGrid1->model()->index(0, 2));
    QTest::mouseClick(k.StringGrid1->viewport(), Qt::LeftButton, {}, kopf.center());
    EXPECT_EQ(k.Raster.Row, 1) << "a click on the header";
    EXPECT_EQ(k.StringGrid1->currentRow(), 1);
    k.Zeile_anwaehlen(0);
    EXPECT_EQ(k.Raster.Row, 1) << "by code";
    k.SpeedButton1Click();
    EXPECT_EQ(k.Raster.zelle(0, 0), "");
    EXPECT_EQ(k.Raster.zelle(0, 1), "1");
    k.hide();

    // ";" and "#" in start or end, "," in the start would shift the row on
    // reload: refused, the cell keeps its text.
    zeile(2, {"1", "0:00:10.00", "0:00:20.00", "", ""});
    k.Raster_anzeigen();
    const int piepser = os.beeps;
    const std::vector<std::pair<int, QString>> falsch = {{1, QStringLiteral("0:00:10;5")},
                                                         {1, QStringLiteral("#0:00:10")},
                                                         {1, QStringLiteral("0:00,10")},
                                                         {2, QStringLiteral("0:00:20;")},
                                                         {2, QStringLiteral("0:00#20")}};
    for (const auto& [spalte, t] : falsch)
        k.StringGrid1->item(2, spalte)->setText(t);
    EXPECT_EQ(os.beeps, piepser + 5);
    EXPECT_EQ(k.Raster.zeile(2), (video::Rasterzeile{"1", "0:00:10.00", "0:00:20.00", "", ""}));
    EXPECT_EQ(k.StringGrid1->item(2, 1)->text(), QStringLiteral("0:00:10.00"));
    EXPECT_EQ(k.StringGrid1->item(2, 2)->text(), QStringLiteral("0:00:20.00"));
    // A comma in the end and separators in the comment are the file's own.
    k.StringGrid1->item(2, 2)->setText(QStringLiteral("0:00:20,5"));
    k.StringGrid1->item(2, 4)->setText(QStringLiteral("a; b # c, d"));
    EXPECT_EQ(os.beeps, piepser + 5);
    EXPECT_EQ(k.Raster.zelle(2, 2), "0:00:20,5");
    EXPECT_EQ(k.Raster.zelle(4, 2), "a; b # c, d");
}

TEST_F(GridEdit, CutInAndOutRightAfterActivationReadThePlayer) {
    attachDecks();
    sony->transport().setPosition(12 * 50 + 34);
    sonyKalibriert();
    TKameraDialog& k = makeKamera();
    activateBoth();
    k.Neue_Schnittliste();
    k.CutInClick();
    EXPECT_EQ(k.Raster.zelle(1, 1), " 0:00:12.17");
    // Again after the main window was in front.
    activate();
    activateKamera();
    sony->transport().setPosition(20 * 50);
    k.CutOutClick();
    EXPECT_EQ(k.Raster.zelle(2, 1), " 0:00:20.00");

    // No device on the player's channel: refused like a filled cell.
    k.Waehle_Zuspieler(3);
    activate();
    activateKamera();
    k.LiveButton->setChecked(true);
    k.Zeile_anwaehlen(2);
    const int piepser = os.beeps;
    k.ToolButton12->setDown(true);
    k.CutInClick();
    EXPECT_EQ(os.beeps, piepser + 1);
    EXPECT_EQ(k.Raster.zeile(2), (video::Rasterzeile{"", "", "", "", ""}));
    EXPECT_TRUE(sent.empty()) << "no Record to the recorder";
    EXPECT_FALSE(k.ToolButton12->isDown());
}
