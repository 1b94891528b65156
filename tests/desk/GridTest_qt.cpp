// The key grid, its display modes, the size buttons and the service panel's
// line monitor on the simulated UART.
#include "support/DeskFixture.h"

#include <QPushButton>
#include <QStyle>

#include "sim/LineSource.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>

class Grid : public DeskFixture {
protected:
    void SetUp() override {
        writeCompleteSettings();
        makeForm();
    }
    bool lime(QWidget* w) { return w->palette().color(QPalette::Window) == QColor(0, 255, 0); }
    bool red(QWidget* w) { return w->palette().color(QPalette::Window) == QColor(255, 0, 0); }
};

TEST_F(Grid, GeometryFollowsWindowAndKeySize) {
    auto& f = *form;
    f.setBounds({77, 320, 230, 434});
    f.Knopfbreite = 40;
    f.Knopfhoehe = 40;
    EXPECT_EQ(f.Anzahl_Spalten(), 6);
    EXPECT_EQ(f.Anzahl_Zeilen(), 11);
    f.Knopfbreite = 43;
    f.Knopfhoehe = 35;
    EXPECT_EQ(f.Anzahl_Spalten(), 6);
    EXPECT_EQ(f.Anzahl_Zeilen(), 13);
    f.Tasten_Aufbau();
    ASSERT_NE(f.Taste(613), nullptr);
    EXPECT_EQ(f.Taste(613)->objectName(), "bt_613");
    EXPECT_EQ(f.Taste(613)->geometry(), QRect(5 * 43 + 3, 12 * 35 + 3, 43, 35));
    EXPECT_EQ(f.Taste(714), nullptr);

    // A wide window: positions beyond 30 columns have no key.
    f.setWidth(2000);
    f.Knopfbreite = 20;
    EXPECT_EQ(f.Anzahl_Spalten(), 101);
    f.Lernen1Click();
    EXPECT_NE(f.Taste(3001), nullptr);
    EXPECT_EQ(f.Taste(3101), nullptr);
    EXPECT_EQ(f.findChild<desk::TButtonx*>("bt_3101"), nullptr);
    EXPECT_EQ(f.Taste(3001)->objectName(), "bt_3001");
}

TEST_F(Grid, DisplayModesShowCaptionsFreeKeysAndDisabledKeys) {
    auto& f = *form;
    // The default layout: key 204 is free, key 101 has no command.
    desk::TButtonx* k101 = f.Taste(101);
    desk::TButtonx* k204 = f.Taste(204);
    ASSERT_TRUE(k101 && k204);
    EXPECT_FALSE(k101->isHidden());
    EXPECT_FALSE(k101->isEnabled()) << "entry 0 is 0";
    EXPECT_TRUE(k204->isHidden() || !k204->Beschriftung.empty());

    k101->Befehl[0] = 1;
    f.Tasten_Aufbau();
    EXPECT_TRUE(k101->isEnabled());
    EXPECT_EQ(k101->text(), "&Tuner");

    desk::TButtonx* free = f.Taste(102);
    ASSERT_NE(free, nullptr);
    EXPECT_TRUE(free->isHidden());
    f.Lernen1Click();
    EXPECT_TRUE(f.Lernen1->isChecked());
    EXPECT_FALSE(free->isHidden());
    EXPECT_TRUE(free->isEnabled());
    EXPECT_EQ(free->text(), "*102");
    EXPECT_TRUE(f.Taste(103)->isEnabled()) << "learn mode enables every key";
    EXPECT_TRUE(f.Hoeher->isHidden());

    f.Service2Click();
    EXPECT_FALSE(f.Lernen1->isChecked());
    EXPECT_TRUE(free->isHidden());
    EXPECT_TRUE(k101->isHidden());
    EXPECT_FALSE(f.Serielle_Schnittstelle->isHidden());
    EXPECT_FALSE(f.Hoeher->isHidden());
    EXPECT_TRUE(f.Timer1->isActive());
    // Key-sized at the grid's corner, widened so that every caption shows.
    EXPECT_EQ(f.Hoeher->geometry().topLeft(), QPoint(3, 3));
    EXPECT_EQ(f.Hoeher->height(), 35);
    EXPECT_GE(f.Hoeher->width(), 43);
    EXPECT_EQ(f.Duenner->geometry(), QRect(3 + f.Hoeher->width(), 38, f.Hoeher->width(), 35));
    for (QPushButton* b : {f.Hoeher, f.enger, f.Breiter, f.Duenner})
        EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(b->text()) +
                                  2 * b->style()->pixelMetric(QStyle::PM_ButtonMargin))
            << b->text().toStdString();

    f.Service2Click();
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_TRUE(f.Serielle_Schnittstelle->isHidden());
    EXPECT_FALSE(k101->isHidden());
    EXPECT_TRUE(free->isHidden());
}

TEST_F(Grid, ServiceModeMakesLowWindowTallerAndSizeButtonsStopAtOne) {
    auto& f = *form;
    f.setHeight(300);
    f.Service2Click();
    EXPECT_EQ(f.Height(), 371);
    f.Service2Click();
    f.setHeight(371);
    f.Service2Click();
    EXPECT_EQ(f.Height(), 371);
    f.setHeight(500);
    f.Service2Click();
    f.Service2Click();
    EXPECT_EQ(f.Height(), 500);

    f.Datei_geaendert = false;
    f.AenderClick(f.Breiter);
    f.AenderClick(f.Hoeher);
    EXPECT_EQ(f.Knopfbreite, 44);
    EXPECT_EQ(f.Knopfhoehe, 36);
    EXPECT_TRUE(f.Datei_geaendert);
    for (int i = 0; i < 60; ++i) {
        f.AenderClick(f.Duenner);
        f.AenderClick(f.enger);
    }
    EXPECT_EQ(f.Knopfbreite, 1);
    EXPECT_EQ(f.Knopfhoehe, 1);
    EXPECT_EQ(f.Anzahl_Spalten(), f.Width() + 1);
    f.Tasten_Aufbau();
}

TEST_F(Grid, ResizeBeforeFirstPaintDoesNotRebuild) {
    auto& f = *form;
    f.Lernen1->setChecked(true);
    ASSERT_FALSE(f.Gezeichnet);
    f.Knopfbreite = 20;
    f.FormResize();
    EXPECT_EQ(f.Taste(701), nullptr);
    f.FormPaint();
    f.FormResize();
    EXPECT_NE(f.Taste(701), nullptr);
    EXPECT_EQ(memo.lines.at(memo.lines.size() - 2),
              "Fernsteuer Typ : 1112  top, left, width, height  77  320  230  434");
}

TEST_F(Grid, LineMonitorDrivesModemLinesAndShowsLatchedChanges) {
    auto& f = *form;
    auto source = std::make_shared<sim::LineSource>();
    sim.adapter.attach(source, {0, 1, 2, 3});
    f.Service2Click();
    // 115200 baud, 8 data bits.
    EXPECT_EQ(sim.uart.lineControl() & 0x3F, 0x03);
    f.DTR->setChecked(true);
    f.Timer1Timer();
    EXPECT_EQ(sim.uart.modemControl() & 3, 1);
    EXPECT_TRUE(lime(f.DTR));
    EXPECT_TRUE(red(f.RTS));
    EXPECT_TRUE(red(f.CTS));
    EXPECT_TRUE(red(f.DSR));

    // A short CTS pulse between two ticks is still shown: the change is
    // latched until the monitor reads it.
    source->cts(1000000000LL, true).cts(2000000000LL, false);
    source->dsr(1000000000LL, true);
    clock.advanceMs(100);
    sim.sync();
    f.RTS->setChecked(true);
    f.Timer1Timer();
    EXPECT_EQ(sim.uart.modemControl() & 3, 3);
    EXPECT_TRUE(lime(f.CTS)) << "the pulse came and went between the ticks";
    EXPECT_TRUE(lime(f.DSR));
    EXPECT_TRUE(red(f.RxD));
    clock.advanceMs(330);
    f.Timer1Timer();
    EXPECT_TRUE(red(f.CTS));
    EXPECT_TRUE(lime(f.DSR));

    // Deactivation stops the monitor.
    f.FormDeactivate();
    EXPECT_FALSE(f.Timer1->isActive());
    f.Service2Click();
}

TEST_F(Grid, MenuItemsTickThroughTheirHandlersOnly) {
    auto& f = *form;
    // Qt toggles a checkable item itself; the handler's toggle must be the
    // only one.
    f.Lernen1->trigger();
    EXPECT_TRUE(f.Lernen1->isChecked());
    EXPECT_FALSE(f.Taste(102)->isHidden());
    f.Lernen1->trigger();
    EXPECT_FALSE(f.Lernen1->isChecked());
    EXPECT_TRUE(f.Taste(102)->isHidden());

    f.COM[3]->trigger();
    EXPECT_EQ(Sio::Com_Nr, 3);
    for (int n = 1; n <= 8; ++n)
        EXPECT_EQ(f.COM[static_cast<std::size_t>(n)]->isChecked(), n == 3) << n;
    EXPECT_EQ(f.Serielle_Schnittstelle->title(), "COM 3:");
    EXPECT_EQ(platform::IniFile(iniPath()).readInteger("Schnittstelle", "Com_Nr", 0), 3);
    f.TavixRemote1->trigger();
    EXPECT_TRUE(f.TavixRemote1->isChecked());
    EXPECT_FALSE(f.TavixClassic1->isChecked());
    EXPECT_EQ(Sio::IR_Einheit, 3);
}
