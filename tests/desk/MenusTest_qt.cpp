// The main window's menu: language, COM choice and "Allocate", the about
// box's extension switch, the web page, the counter readout and the timing
// measurement with its result box and stored values.
#include "support/DeskFixture.h"
#include "support/LocaleScope.h"

#include "desk/PortHold.h"
#include "platform/SerialDevice.h"

#include <QRegularExpression>
#include <QSignalSpy>

namespace {

const QString kBoxKopf =
    QStringLiteral("Version 1.17, 11-Juni-2002\r\r*** Zeitverhalten des PC ***\r");

// Records the boxes of one operation; any other prompt fails the test.
class Boxen final : public platform::Prompts {
public:
    void message(const QString& t) override { texte << t; }
    void error(const QString& t) override { ADD_FAILURE() << "error " << t.toStdString(); }
    bool yesNo(const QString& t) override { return unerwartet(t), false; }
    bool okNo(const QString& t) override { return unerwartet(t), false; }
    platform::Answer yesNoCancel(const QString& t) override {
        return unerwartet(t), platform::Answer::Cancel;
    }
    std::optional<QString> openFile(const platform::FileDialogOptions&) override {
        return unerwartet({}), std::nullopt;
    }
    std::optional<QString> saveFile(const platform::FileDialogOptions&) override {
        return unerwartet({}), std::nullopt;
    }
    bool print(QPrinter*) override { return unerwartet({}), false; }
    std::optional<QString> inputQuery(const QString&, const QString& t, const QString&) override {
        return unerwartet(t), std::nullopt;
    }
    QStringList texte;

private:
    static void unerwartet(const QString& t) {
        ADD_FAILURE() << "unexpected prompt " << t.toStdString();
    }
};

} // namespace

class Menus : public DeskFixture {
protected:
    void SetUp() override {
        writeCompleteSettings(100);
        makeForm();
        activate();
    }
    void TearDown() override {
        platform::clearComPortPaths();
        platform::setPortAccessOpener({});
    }
    platform::IniFile ini() const { return platform::IniFile(iniPath()); }

    // The about box at the rates 95000 turns/ms and 700000 reads/s.
    static QString ueber() {
        Sio::Drehg_mSec = 95000;
        Sio::Anfragen_Sec = 700000;
        return QStringLiteral("Tavix, Fernsteuern + Videoschneiden \r            pc remote control "
                              "+ video editing\r\rVersion 1.17, 11-Juni-2002\r\r<95000-700000>");
    }

    // Shows the timing measurement and returns its box.
    QString messen() {
        Boxen boxen;
        platform::setPrompts(&boxen);
        form->Timing_Nachmessen->click();
        platform::setPrompts(&prompts);
        // The transmitter's last character goes out before the next run.
        clock.advanceMs(10);
        sim.sync();
        EXPECT_EQ(boxen.texte.size(), 1u);
        return boxen.texte.value(0);
    }
};

TEST_F(Menus, LanguageSwitchBothWays) {
    auto& f = *form;
    QSignalSpy closed(&f, &desk::TIRForm::closed);
    ASSERT_EQ(f.Sprache, 1);
    EXPECT_EQ(f.Datei1->title(), QStringLiteral("&Datei"));
    f.Englisch1->trigger();
    EXPECT_EQ(f.Sprache, 2);
    EXPECT_TRUE(f.Englisch1->isChecked());
    EXPECT_FALSE(f.Deutsch1->isChecked());
    EXPECT_EQ(ini().readInteger("Einstellungen", "Sprache", 0), 2);
    const QStringList captions = {
        f.Datei1->title(),          f.Neu1->text(),  f.Laden1->text(),    f.Speichern1->text(),
        f.Speichernunter1->text(),  f.Ende1->text(), f.Service1->title(), f.Lernen1->text(),
        f.Infraroteinheit1->title()};
    EXPECT_EQ(captions, (QStringList{"&File", "&New", "&Load", "&Save", "Save as", "&End",
                                     "&Settings", "&Learn", "&Infrared"}));
    EXPECT_EQ(closed.count(), 0);

    // Back to German needs a restart: the program ends, the choice is kept.
    prompts.expectMessage(QStringLiteral("Bitte Programm neu starten"));
    f.Deutsch1->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(f.Sprache, 1);
    EXPECT_TRUE(f.Deutsch1->isChecked());
    EXPECT_EQ(ini().readInteger("Einstellungen", "Sprache", 0), 1);
    EXPECT_EQ(f.Datei1->title(), QStringLiteral("&File")) << "no way back while it runs";
}

TEST_F(Menus, ComChoiceObtainsAccessAndAllocateHoldsThePort) {
    auto& f = *form;
    std::vector<std::uint16_t> zugriff;
    platform::setPortAccessOpener([&](std::uint16_t base) { zugriff.push_back(base); });
    f.COM[3]->trigger();
    EXPECT_EQ(Sio::Com_Nr, 3);
    EXPECT_EQ(f.Serielle_Schnittstelle->title(), QStringLiteral("COM 3:"));
    for (int n = 1; n <= 8; ++n)
        EXPECT_EQ(f.COM[static_cast<std::size_t>(n)]->isChecked(), n == 3) << n;
    EXPECT_EQ(ini().readInteger("Schnittstelle", "Com_Nr", 0), 3);
    EXPECT_EQ(zugriff, (std::vector<std::uint16_t>{0x3E8}));
    EXPECT_EQ(f.Gehaltene_Ports, nullptr) << "nothing held without Allocate";

    // In service mode the line monitor drives the new port at once.
    f.Service2Click();
    f.COM[2]->trigger();
    EXPECT_EQ(Sio::Port_LSR, 0x2F8 + 5);
    f.Service2Click();

    // Devices of our own stand in for the serial ports.
    for (int n = 1; n <= 8; ++n)
        platform::setComPortPath(n, (folder / ("ttyS" + std::to_string(n - 1))).string());
    writeFile(folder / "ttyS2", "");
    writeFile(folder / "ttyS4", "");
    // Ticking it opens nothing by itself, and is stored.
    f.Allocate1->trigger();
    EXPECT_TRUE(f.Allocate1->isChecked());
    EXPECT_TRUE(ini().readBool("Einstellungen", "ComKrallen", false));
    EXPECT_EQ(f.Gehaltene_Ports, nullptr);

    f.COM[3]->trigger();
    ASSERT_NE(f.Gehaltene_Ports, nullptr);
    EXPECT_EQ(f.Gehaltene_Ports->paths(), (std::vector<std::string>{(folder / "ttyS2").string()}));
    // A second hold of the same port is refused; the choice stays.
    prompts.expectMessage(QStringLiteral("ungültiger FileHandle"));
    f.COM[3]->trigger();
    EXPECT_EQ(f.Gehaltene_Ports->count(), 1u);
    EXPECT_EQ(Sio::Com_Nr, 3);
    // A port without a device: refused, the choice is in force all the same.
    prompts.expectMessage(QStringLiteral("ungültiger FileHandle"));
    f.COM[4]->trigger();
    EXPECT_EQ(Sio::Com_Nr, 4);
    EXPECT_TRUE(f.COM[4]->isChecked());
    EXPECT_EQ(ini().readInteger("Schnittstelle", "Com_Nr", 0), 4);
    f.COM[5]->trigger();
    EXPECT_EQ(f.Gehaltene_Ports->count(), 2u);

    // The next start holds the stored port again; another holder is refused.
    desk::PortHolds fremd;
    EXPECT_FALSE(fremd.hold(5));
    f.Allocate1->trigger();
    EXPECT_FALSE(ini().readBool("Einstellungen", "ComKrallen", true));
    EXPECT_EQ(f.Gehaltene_Ports->count(), 2u) << "held until the program ends";
    f.Gehaltene_Ports.reset();
    EXPECT_TRUE(fremd.hold(5));
}

TEST_F(Menus, InfoTwiceWithinEightSecondsSwitchesTheExtensionOn) {
    auto& f = *form;
    const QString about = ueber();
    EXPECT_FALSE(f.Debug1->isVisible());
    // The first box long after the start, the second 8.5 s later: nothing.
    prompts.expectMessage(about);
    f.Info1->trigger();
    clock.advanceMs(8500);
    prompts.expectMessage(about);
    f.Info1->trigger();
    EXPECT_FALSE(ini().readBool("Debugeinstellungen", "ExtraMenuePunkte", false));
    EXPECT_FALSE(f.Debug1->isVisible());
    // 8 s after the last one: switched on for good.
    clock.advanceMs(8000);
    prompts.expectMessage(about);
    prompts.expectMessage(QStringLiteral("Erweiterung eingeschaltet/Extension switched on"));
    f.Info1->trigger();
    EXPECT_TRUE(f.Debug1->isVisible());
    EXPECT_TRUE(f.N5->isVisible());
    EXPECT_FALSE(f.High_Perform->isHidden());
    EXPECT_TRUE(ini().readBool("Debugeinstellungen", "ExtraMenuePunkte", false));
}

TEST_F(Menus, InfoTwiceAcrossTheTickCountsWrapStillCounts) {
    auto& f = *form;
    const QString about = ueber();
    clock.setTickBase(0x80000000u - 1000); // the sign bit of a 32-bit count
    prompts.expectMessage(about);
    f.Info1->trigger();
    clock.advanceMs(2000);
    prompts.expectMessage(about);
    prompts.expectMessage(QStringLiteral("Erweiterung eingeschaltet/Extension switched on"));
    f.Info1->trigger();
    EXPECT_TRUE(f.Debug1->isVisible());
}

TEST_F(Menus, WebPageAndCounterReadout) {
    auto& f = *form;
    f.TavixWEBPage1->trigger();
    ASSERT_EQ(os.urls.size(), 1u);
    const QString url = QString::fromStdString(os.urls[0]);
    os.urlResult = false;
    prompts.expectError(
        QStringLiteral("Die Adresse\r") + url +
        QStringLiteral("\rkonnte nicht automatisch aufgerufen werden\rBitte manuell versuchen"));
    f.TavixWEBPage1->trigger();

    // The first click shows the seconds since the counter's start.
    clock.advanceMs(125000);
    const std::int64_t zaehler = Sio::Zaehlerstand();
    f.High_Perform->click();
    EXPECT_EQ(f.Label[1]->text(), QStringLiteral("Freuquenz : 1193182"));
    const std::int64_t jetzt = f.Label[2]->text().mid(10).toLongLong();
    EXPECT_GE(jetzt, zaehler);
    EXPECT_EQ(f.Label[3]->text(),
              QStringLiteral("Klick-Differenz (Sek) : %1").arg(jetzt / 1193182));
    EXPECT_EQ(f.Label[4]->text(), QStringLiteral("Zeit in Minuten : 2"));
    clock.advanceMs(3000);
    f.High_Perform->click();
    EXPECT_EQ(f.Label[3]->text(), QStringLiteral("Klick-Differenz (Sek) : 3"));
}

TEST_F(Menus, TimingMeasurementShowsAndStoresItsResult) {
    LocaleScope deutsch{QLocale(QLocale::German, QLocale::Germany)};
    auto& f = *form;
    os.version = {6, 1, 17, 2, "Linux 6.1.17"};
    Sio::Drehg_mSec = 1;
    Sio::Anfragen_Sec = 1;
    f.Service2Click();
    ASSERT_TRUE(f.Timer1->isActive());
    const QString box = messen();
    EXPECT_TRUE(f.Timer1->isActive()) << "the line monitor runs on afterwards";
    const auto i = ini();
    const std::int32_t drehg = Sio::Drehg_mSec, anfragen = Sio::Anfragen_Sec;
    EXPECT_NEAR(drehg, 95000, 95000 * 0.02);
    EXPECT_NEAR(anfragen, 700000, 700000 * 0.02);
    EXPECT_EQ(i.readInteger("Timing", "Drehg_mSec", 0), drehg);
    EXPECT_EQ(i.readInteger("Timing", "Anfragen_Sec", 0), anfragen);
    EXPECT_EQ(i.readInteger("Statistik", "Iterationen", 0), 30);
    EXPECT_EQ(i.readInteger("Statistik", "Quote", 0), 1000);
    EXPECT_EQ(i.readInteger("Statistik", "MessSchranke", 0), 10);
    EXPECT_EQ(i.readString("Statistik", "Fehlercode", "x"), "");
    const std::int32_t abw = i.readInteger("Statistik", "Abweichung", -1);
    EXPECT_GE(abw, 0);
    EXPECT_EQ(box,
              kBoxKopf + QStringLiteral("\rIterationen : 30\rMessSchranke : 10%\rSIO Anfragen : ") +
                  QString::number(anfragen) + QStringLiteral("/sec\rDrehungen : ") +
                  QString::number(drehg) + QStringLiteral("/msec  +/- ") + QString::number(abw) +
                  QStringLiteral(" /msec\rRatio : ") + QString::number(drehg / (anfragen / 1000)) +
                  QStringLiteral("\rTrefferquote : 1000/1000 "));
    EXPECT_EQ(i.readInteger("VersionInfo", "BuildNumber", 0), 17);
    EXPECT_EQ(i.readString("VersionInfo", "CSDVersion", ""), "Linux 6.1.17");
    const std::string am = i.readString("Statistik", "AusgemessenAm", "");
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d\\d, \\d\\d:\\d\\d:\\d\\d$"))
            .match(QString::fromStdString(am))
            .hasMatch())
        << am;
}

TEST_F(Menus, FailedTimingMeasurementsKeepTheRates) {
    auto& f = *form;
    const auto timingUnberuehrt = [this] {
        EXPECT_EQ(ini().readInteger("Timing", "Anfragen_Sec", 0), 700000);
        EXPECT_FALSE(ini().valueExists("Timing", "Drehg_mSec"));
    };
    // 1. The transmitter never empties: nothing measured.
    Sio::Drehg_mSec = 1234;
    Sio::Anfragen_Sec = 567890;
    sim.setFault(sim::Fault::TransmitterStuckBusy);
    QString box = messen();
    sim.setFault(sim::Fault::TransmitterStuckBusy, false);
    EXPECT_EQ(box,
              kBoxKopf + QStringLiteral("Fehlercode :  *COM ? \rIterationen : 0\rMessSchranke : "
                                        "10%\rSIO Anfragen : 567890/sec\rDrehungen : 1234/msec  "
                                        "+/- 0 /msec\rRatio : 2\rTrefferquote : 0/1000 "));
    EXPECT_EQ(Sio::Drehg_mSec, 1234);
    timingUnberuehrt();
    EXPECT_EQ(ini().readString("Statistik", "Fehlercode", ""), "Fehlercode :  *COM ? ");
    EXPECT_TRUE(ini().valueExists("VersionInfo", "MajorVersion"));

    // 2. No UART at all: the pass finds no character time and the engine
    // gives up; below 1000 reads a second the ratio has no divisor.
    Sio::Anfragen_Sec = 500;
    sim.setFault(sim::Fault::AbsentUart);
    box = messen();
    sim.setFault(sim::Fault::AbsentUart, false);
    EXPECT_TRUE(
        box.startsWith(kBoxKopf + QStringLiteral("Fehlercode : Zeitmessung fehlgeschlagen")))
        << box.toStdString();
    EXPECT_TRUE(box.contains(QStringLiteral("\rSIO Anfragen : 500/sec\rDrehungen : 1234/msec")));
    EXPECT_TRUE(box.contains(QStringLiteral("\rRatio : -\r")));
    EXPECT_EQ(Sio::Drehg_mSec, 1234);
    EXPECT_EQ(Sio::Anfragen_Sec, 500);
    timingUnberuehrt();
    EXPECT_EQ(ini().readInteger("Statistik", "Iterationen", -1), 0);

    // 3. A single pass: its loop rate would be 0 and every wait of the
    // program would return at once.
    Sio::Anfragen_Sec = 567890;
    sim.bus.setStalls({1000, 200 * sim::kPsPerUs, 0});
    box = messen();
    EXPECT_TRUE(box.contains(
        QStringLiteral("Fehlercode : ** Achtung: Iterationen < 3 **\rIterationen : 0\r")))
        << box.toStdString();
    EXPECT_TRUE(box.contains(QStringLiteral("Drehungen : 0/msec")))
        << "the box shows what was measured";
    EXPECT_EQ(Sio::Drehg_mSec, 1234);
    EXPECT_EQ(Sio::Anfragen_Sec, 567890);
    timingUnberuehrt();

    // Two passes are a warning only: the rates are kept and stored.
    sim.bus.setStalls({1000, 200 * sim::kPsPerUs, sim.bus.accesses() + 760000});
    box = messen();
    EXPECT_TRUE(box.contains(
        QStringLiteral("Fehlercode : ** Achtung: Iterationen < 3 **\rIterationen : 1\r")))
        << box.toStdString();
    EXPECT_NE(Sio::Drehg_mSec, 1234);
    EXPECT_EQ(ini().readInteger("Timing", "Drehg_mSec", 0), Sio::Drehg_mSec);
    EXPECT_EQ(ini().readInteger("Timing", "Anfragen_Sec", 0), Sio::Anfragen_Sec);
    (void)f;
}
