// Plomvare's window: start-up and settings, window size, the receiver's port
// and bit rate, player buttons, learning, the remote file and the Stop
// countdown.
#include "PlomvareFixture.h"

#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "platform/ScreenFit_qt.h"
#include "platform/ScriptedSerialDevice.h"
#include "support/SaveFaults.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

using W = pmp3p::RecordingRegisters::Write;

namespace {

const burst::Frame kA = {0xE0, 0x22, 0xF2, 0x82};
const burst::Frame kB = {0xE0, 0x33, 0xE5, 0x83};

std::vector<W> satz(std::uint16_t base, std::uint8_t code, std::uint8_t teiler) {
    return {{static_cast<std::uint16_t>(base + 3), static_cast<std::uint8_t>(code | 0x80)},
            {base, teiler},
            {static_cast<std::uint16_t>(base + 1), 0},
            {static_cast<std::uint16_t>(base + 3), code},
            {static_cast<std::uint16_t>(base + 1), 5}};
}

std::vector<W> mal2(std::vector<W> v) {
    auto w = v;
    w.insert(w.end(), v.begin(), v.end());
    return w;
}

} // namespace

class Window : public PlomvareFixture {};

TEST_F(Window, FirstStartWritesSettingsOpensThePortAndSetsTheRate) {
    auto& f = start();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Plomvare 1.46, standard.mpx"));
    EXPECT_EQ(f.FB_Datei, (folder / "standard.mpx").string());
    platform::IniFile p(ini());
    EXPECT_EQ(p.readString("Statistik", "Version", ""), "Plomvare 1.46, IR -> WINAMP, 29-Apr-2002");
    EXPECT_EQ(p.readInteger("Einstellungen", "Schnittstelle", 0), 2);
    EXPECT_FALSE(p.valueExists("Einstellungen", "Anzeige"));
    EXPECT_TRUE(f.ShutdownperStop1->isChecked());
    EXPECT_FALSE(f.ShutdownperStop1->isVisible());
    EXPECT_TRUE(f.COM[2]->isChecked());
    EXPECT_FALSE(f.COM[1]->isChecked());
    // The COM item and the reopen each set the rate.
    EXPECT_EQ(writes, mal2(satz(0x2F8, 3, 69)));
    EXPECT_EQ(f.Label2->text(), QStringLiteral("69"));
    EXPECT_EQ(f.Label3->text(), QStringLiteral("1666.66666666667"));
    EXPECT_EQ(f.ComPort1.BaudRate(), CPort::br1200);
    EXPECT_EQ(f.ComPort1.SyncMethod(), CPort::smNone);
    EXPECT_TRUE(f.ComPort1.Events == CPort::TComEvents{CPort::evRxChar});
    EXPECT_EQ(bytesOf(standard()), "[Einstellungen]\r\nPeriodenlaenge=600\r\n");
    EXPECT_EQ(f.BitsIndex(), 3);
    EXPECT_TRUE(f.Auswertung.Bereit);

    // "Version" is written at every start.
    p.writeString("Statistik", "Version", "alt");
    start();
    EXPECT_EQ(p.readString("Statistik", "Version", ""), "Plomvare 1.46, IR -> WINAMP, 29-Apr-2002");
}

TEST_F(Window, SettingsAndCommandLineAtStart) {
    platform::IniFile p(ini());
    p.writeBool("Einstellungen", "Anzeige", false);
    p.writeBool("Einstellungen", "ShutdownperStop", false);
    p.writeInteger("Einstellungen", "Schnittstelle", 4);
    writeBytes(folder / "other.mpx", "[Einstellungen]\r\nPeriodenlaenge=889\r\nAnzahl_Bits=6\r\n");

    auto& f = start({QStringLiteral("   ")});
    EXPECT_FALSE(f.Anzeige->isChecked());
    EXPECT_TRUE(f.Memo1->toPlainText().isEmpty());
    EXPECT_FALSE(f.ShutdownperStop1->isChecked());
    EXPECT_EQ(f.FB_Datei, standard().string());
    // COM 4: no item ticked, the port name stays, registers at 0x2F8.
    for (int n = 1; n <= 3; ++n)
        EXPECT_FALSE(f.COM[static_cast<std::size_t>(n)]->isChecked());
    EXPECT_EQ(f.ComPort1.Port(), "COM1");
    EXPECT_EQ(writes, satz(0x2F8, 3, 69));

    writes.clear();
    const std::string other = (folder / "other.mpx").string();
    auto& g = start({QString::fromStdString(other)});
    EXPECT_EQ(g.FB_Datei, other);
    EXPECT_EQ(g.windowTitle(), QStringLiteral("Plomvare 1.46, other.mpx"));
    EXPECT_EQ(g.Edit1->text(), QStringLiteral("889"));
    EXPECT_EQ(g.BitsIndex(), 1);
    EXPECT_TRUE(g.BitsItems[1]->isChecked());
    // The choice of 6 bits set the rate once, the reopen once more.
    EXPECT_EQ(writes, mal2(satz(0x2F8, 1, 102)));
    EXPECT_EQ(g.ComPort1.BaudRate(), CPort::br600);
    EXPECT_FALSE(p.valueExists("Dateien", "FB_Datei"));

    // A width out of the radio group's range: 3 and the lowest number
    // choose none, 12 and the highest the last.
    for (const char* wenig : {"3", "-2147483648"}) {
        SCOPED_TRACE(wenig);
        writes.clear();
        writeBytes(folder / "other.mpx", std::string("[Einstellungen]\r\nAnzahl_Bits=") + wenig);
        auto& h = start({QString::fromStdString(other)});
        EXPECT_EQ(h.BitsIndex(), -1);
        for (auto* r : h.BitsItems)
            EXPECT_FALSE(r->isChecked());
        EXPECT_EQ(writes, mal2(satz(0x2F8, 3, 69)));
    }
    for (const char* viel : {"12", "2147483647"}) {
        writeBytes(folder / "other.mpx", std::string("[Einstellungen]\r\nAnzahl_Bits=") + viel);
        EXPECT_EQ(start({QString::fromStdString(other)}).BitsIndex(), 3) << viel;
    }
}

TEST_F(Window, AnOptionIsNoRemoteFile) {
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(pmp3p::pruefeArgumente({QStringLiteral("--help")}, err), 2);
    std::rewind(err);
    char line[200] = {};
    ASSERT_NE(std::fgets(line, sizeof line, err), nullptr);
    EXPECT_EQ(std::string(line), "Usage: Plomvare [remote file (.mpx)]\n");
    std::fclose(err);
    EXPECT_EQ(pmp3p::pruefeArgumente({}, stderr), 0);
    EXPECT_EQ(pmp3p::pruefeArgumente({QStringLiteral("my.mpx")}, stderr), 0);
    // A file whose name starts with "-" is still a remote file.
    const QString alt = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(folder.string())));
    writeBytes(folder / "-alt.mpx", "");
    const int rc = pmp3p::pruefeArgumente({QStringLiteral("-alt.mpx")}, stderr);
    QDir::setCurrent(alt);
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "--help"));
}

TEST_F(Window, AFailedStartLeavesAWindowThatReportsInsteadOfCrashing) {
    // The settings file cannot be written in a folder that does not exist.
    folder /= "missing";
    prompts.expectError(
        QString::fromStdString("Die Datei " + ini().string() +
                               " kann nicht gespeichert werden: " + std::strerror(ENOENT)));
    auto& f = start();
    EXPECT_EQ(f.FB_Ini, nullptr);
    prompts.expectError(QStringLiteral("Keine Fernsteuerdatei geöffnet"));
    f.SetBaud->click();
    prompts.expectError(QStringLiteral("Keine Fernsteuerdatei geöffnet"));
    f.Initialisiere1->trigger();
}

TEST_F(Window, EveryResizeWritesWidthAndHeight) {
    auto& f = start();
    platform::IniFile p(ini());
    burst::FileWatch watch(folder.string());
    f.setWidth(500);
    EXPECT_EQ(watch.take("Plomvare.ini").writes, 1);
    EXPECT_EQ(p.readInteger("Einstellungen", "Width", 0), 500);
    EXPECT_EQ(p.readInteger("Einstellungen", "Height", 0), f.Height());
    f.klein1->trigger();
    EXPECT_EQ(p.readInteger("Einstellungen", "Width", 0), 342);
    EXPECT_EQ(p.readInteger("Einstellungen", "Height", 0), 120);
    EXPECT_FALSE(f.Anzeige->isChecked());
    EXPECT_FALSE(p.readBool("Einstellungen", "Anzeige", true));
    f.gross1->trigger();
    EXPECT_EQ(p.readInteger("Einstellungen", "Width", 0), 527);
    EXPECT_EQ(p.readInteger("Einstellungen", "Height", 0), 543);
    EXPECT_TRUE(p.readBool("Einstellungen", "Anzeige", false));

    // The size and the display tick of a size menu are one save: when it
    // fails, the window and its tick are as they were.
    const std::string vorher = bytesOf(ini());
    {
        testsupport::SaveFault fault(testsupport::SaveFault::Write, 1, ENOSPC);
        prompts.expectError(QString::fromStdString("Die Datei " + ini().string() +
                                                   " kann nicht gespeichert werden: ") +
                            QString::fromLocal8Bit(std::strerror(ENOSPC)));
        f.klein1->trigger();
        EXPECT_EQ(fault.saves(), 0);
        EXPECT_EQ(fault.calls(testsupport::SaveFault::Write), 1);
    }
    EXPECT_EQ(bytesOf(ini()), vorher);
    EXPECT_EQ(f.Width(), 527);
    EXPECT_EQ(f.Height(), 543);
    EXPECT_TRUE(f.Anzeige->isChecked());
    f.klein1->trigger();
    EXPECT_EQ(watch.take("Plomvare.ini").writes, 3);

    p.writeInteger("Einstellungen", "Width", 400);
    p.writeInteger("Einstellungen", "Height", 300);
    auto& g = start();
    EXPECT_EQ(g.Width(), 400);
    EXPECT_EQ(g.Height(), 300);

    // A size beyond any screen is brought within the screens.
    p.writeInteger("Einstellungen", "Width", 2147483647);
    p.writeInteger("Einstellungen", "Height", 2147483647);
    auto& h = start();
    const QRect area = platform::availableScreenArea();
    EXPECT_LE(h.Width(), area.width());
    EXPECT_LE(h.Height(), area.height());
    EXPECT_GE(h.Width(), 1);
}

TEST_F(Window, ButtonsCommandThePlayer) {
    auto& f = start();
    for (int i = 1; i <= 9; ++i)
        f.Knopf[static_cast<std::size_t>(i)]->click();
    EXPECT_EQ(player.befehle, (std::vector<std::int32_t>{40044, 40045, 40046, 40047, 40048, 40058,
                                                         40059, 40060, 40061}));
    EXPECT_EQ(player.beendet, 0);
    pmp3p::TTagButton fremd(QStringLiteral("x"), static_cast<pmp3p::Befehl>(10), nullptr);
    prompts.expectMessage(QStringLiteral("unbekannter Befehl"));
    f.PlayClick(&fremd);
}

TEST_F(Window, LearnsABurstIntoTheFileAndRecognisesIt) {
    auto& f = start();
    f.Lernen2->trigger();
    EXPECT_EQ(f.Memo2->toPlainText(), QStringLiteral("***** Lernmodus *****"));
    press(burst::wiederholt(kA, 3));
    EXPECT_TRUE(f.Memo2->toPlainText().contains(QStringLiteral("**** Lernmodus ! ****")));
    EXPECT_TRUE(f.Memo2->toPlainText().contains(QStringLiteral("Verzögerung (171817 / 11 )")));
    EXPECT_FALSE(f.Label1->text().isEmpty());
    prompts.expectMessage(QStringLiteral("Lerne Befehl als >Play<\rNeuer Befehl, Fachnr. 1"));
    f.Knopf[2]->click();
    press(burst::wiederholt(kB, 3));
    prompts.expectMessage(QStringLiteral("Lerne Befehl als >VolPlus<\rNeuer Befehl, Fachnr. 2"));
    f.Knopf[6]->click();
    EXPECT_TRUE(player.befehle.empty());

    platform::IniFile mpx(standard());
    EXPECT_EQ(mpx.readInteger("Befehl1", "x0", 0), 6);
    EXPECT_EQ(mpx.readInteger("Befehl1", "x2", 0), 2);
    EXPECT_EQ(mpx.readInteger("Befehl2", "x2", 0), 6);

    f.Lernen2->trigger();
    EXPECT_TRUE(f.Memo2->toPlainText().isEmpty());
    press(burst::wiederholt(kA, 3));
    EXPECT_EQ(player.befehle, std::vector<std::int32_t>{40045});
    press(burst::wiederholt(kB, 12));
    EXPECT_EQ(player.befehle, (std::vector<std::int32_t>{40045, 40058, 40058, 40058}));

    // The slots come back with the file.
    auto& g = start();
    EXPECT_EQ(g.Auswertung.Faecher[1][0], 6);
    EXPECT_EQ(g.Auswertung.Faecher[2][2], 6);
    EXPECT_EQ(g.Auswertung.Faecher[3][0], 0);
}

TEST_F(Window, StopCountdownClosesAndShutsDown) {
    auto& f = start();
    f.Lernen2->trigger();
    press(burst::wiederholt(kA, 3));
    prompts.expectMessage(QStringLiteral("Lerne Befehl als >Stop<\rNeuer Befehl, Fachnr. 1"));
    f.Knopf[4]->click();
    f.Lernen2->trigger();
    f.show();
    // Short presses and a long one: each Stop counts as it fires.
    for (const int frames : {2, 3, 5})
        press(burst::wiederholt(kA, frames));
    EXPECT_EQ(player.beendet, 1);
    EXPECT_EQ(os.beeps, 3);
    EXPECT_TRUE(f.Timer2->isActive());
    EXPECT_EQ(f.Timer2->interval(), 4000);
    EXPECT_TRUE(f.Count_down_Zaehler->isVisible());
    EXPECT_EQ(f.Count_down_Zaehler->text(), QStringLiteral("*Count_Down 3"));
    EXPECT_FALSE(closed);
    // The countdown's timers keep their time to the millisecond.
    EXPECT_EQ(f.Timer1->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(f.Timer2->timerType(), Qt::PreciseTimer);
    press(burst::wiederholt(kA, 2));
    EXPECT_EQ(os.shutdowns, 1);
    EXPECT_TRUE(closed);

    // A fourth Stop counted after the four seconds (the closing timer came
    // late) only closes: the counter decides, not the timer.
    auto& spaet = start();
    spaet.show();
    for (int i = 0; i < 3; ++i)
        press(burst::wiederholt(kA, 3));
    ASSERT_TRUE(spaet.Timer2->isActive());
    t = spaet.Auswertung.Stop_Stempel + platform::Clock::kCounterFrequency * 406 / 100;
    press(burst::wiederholt(kA, 3));
    EXPECT_EQ(spaet.Count_down_Zaehler->text(), QStringLiteral("Count_Down 4"));
    EXPECT_EQ(os.shutdowns, 1);
    EXPECT_TRUE(closed);

    // Without the option the fourth Stop only closes; the timer closes too.
    platform::IniFile(ini()).writeBool("Einstellungen", "ShutdownperStop", false);
    auto& g = start();
    g.show();
    EXPECT_FALSE(g.ShutdownperStop1->isChecked());
    for (int i = 0; i < 4; ++i)
        press(burst::wiederholt(kA, 3));
    EXPECT_EQ(os.shutdowns, 1);
    EXPECT_TRUE(closed);
    auto& h = start();
    h.show();
    h.Timer2Timer();
    EXPECT_TRUE(closed);
}

TEST_F(Window, BitRateErrors) {
    auto& f = start();
    writes.clear();
    f.Edit1->setText(QStringLiteral("abc"));
    prompts.expectError(QStringLiteral("'abc' ist kein gültiger Integerwert"));
    f.SetBaud->click();
    // A period the receiver cannot run at is refused before it is stored.
    f.Edit1->setText(QStringLiteral("0"));
    prompts.expectError(QStringLiteral("Division durch Null"));
    f.SetBaud->click();
    f.Edit1->setText(QStringLiteral("2218"));
    prompts.expectError(QStringLiteral("Bereichsfehler: SIO Teiler 256"));
    f.SetBaud->click();
    EXPECT_EQ(f.Label2->text(), QStringLiteral("256"));
    f.Edit1->setText(QStringLiteral("3000"));
    prompts.expectError(QStringLiteral("Bereichsfehler: SIO Teiler 345"));
    f.SetBaud->click();
    EXPECT_EQ(platform::IniFile(standard()).readInteger("Einstellungen", "Periodenlaenge", 1), 600);
    EXPECT_EQ(f.Periodenlaenge, 600);
    EXPECT_EQ(f.ComPort1.BaudRate(), CPort::br1200);
    EXPECT_TRUE(writes.empty());
    f.Edit1->setText(QStringLiteral("2217"));
    f.SetBaud->click();
    EXPECT_EQ(writes, satz(0x2F8, 3, 255));

    // COM 1: stored, ticked, registers at 0x3F8.
    writes.clear();
    f.Edit1->setText(QStringLiteral("600"));
    f.BitsItems[0]->click();
    EXPECT_EQ(platform::IniFile(standard()).readInteger("Einstellungen", "Anzahl_Bits", 0), 5);
    f.COM[1]->trigger();
    EXPECT_TRUE(f.COM[1]->isChecked());
    EXPECT_FALSE(f.COM[2]->isChecked());
    EXPECT_EQ(platform::IniFile(ini()).readInteger("Einstellungen", "Schnittstelle", 0), 1);
    auto expected = satz(0x2F8, 0, 69);
    const auto com1 = satz(0x3F8, 0, 69);
    expected.insert(expected.end(), com1.begin(), com1.end());
    EXPECT_EQ(writes, expected);

    // A remote file that holds such a period and another width: every step
    // of the next start runs, the port opens, and the error is shown once.
    auto device = std::make_shared<platform::ScriptedSerialDevice>();
    platform::ScopedSerialOpener opener(platform::ScriptedSerialDevice::openerFor(device));
    writeBytes(standard(), "[Einstellungen]\r\nPeriodenlaenge=3000\r\nAnzahl_Bits=7\r\n");
    platform::IniFile(ini()).writeInteger("Einstellungen", "Schnittstelle", 3);
    prompts.expectError(QStringLiteral("Bereichsfehler: SIO Teiler 345"));
    auto& g = start({}, false);
    EXPECT_TRUE(g.ComPort1.Connected());
    EXPECT_EQ(g.ComPort1.Port(), "COM3");
    EXPECT_TRUE(g.COM[3]->isChecked());
    EXPECT_EQ(g.BitsIndex(), 2);
    EXPECT_EQ(g.Edit1->text(), QStringLiteral("3000"));
    form.reset();
}

TEST_F(Window, SaveUnderNewNameOpenAndClear) {
    auto& f = start();
    f.Lernen2->trigger();
    press(burst::wiederholt(kA, 3));
    prompts.expectMessage(QStringLiteral("Lerne Befehl als >Next<\rNeuer Befehl, Fachnr. 1"));
    f.Knopf[5]->click();
    press(burst::wiederholt(kB, 3));
    prompts.expectMessage(QStringLiteral("Lerne Befehl als >Back<\rNeuer Befehl, Fachnr. 2"));
    f.Knopf[1]->click();

    const auto copy = folder / "copy.mpx";
    prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Ok,
                   QString::fromStdString(copy.string()));
    f.Speichern1->trigger();
    // In the data folder, as the open dialog: not wherever the program was
    // started from.
    EXPECT_EQ(prompts.shown().back().dialog.initialDir.toStdString(), folder.string() + "/");
    EXPECT_EQ(bytesOf(copy), bytesOf(standard()));
    EXPECT_EQ(f.FB_Datei, copy.string());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Plomvare 1.46, copy.mpx"));
    EXPECT_TRUE(
        f.Memo2->toPlainText().startsWith(QStringLiteral("[Einstellungen]\nPeriodenlaenge=600")));
    EXPECT_EQ(platform::IniFile(ini()).readString("Dateien", "FB_Datei", ""), copy.string());

    // A copy that cannot be written changes neither the current file nor the
    // remembered one: the window goes on with the file it had.
    const auto failed = folder / "failed.mpx";
    {
        testsupport::SaveFault fault(testsupport::SaveFault::Write, 1, ENOSPC);
        prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Ok,
                       QString::fromStdString(failed.string()));
        prompts.expectError(QString::fromStdString("Die Datei " + failed.string() +
                                                   " kann nicht gespeichert werden: ") +
                            QString::fromLocal8Bit(std::strerror(ENOSPC)));
        f.Speichern1->trigger();
        EXPECT_TRUE(fault.fired());
    }
    EXPECT_FALSE(std::filesystem::exists(failed));
    EXPECT_EQ(f.FB_Datei, copy.string());
    EXPECT_EQ(platform::IniFile(ini()).readString("Dateien", "FB_Datei", ""), copy.string());
    EXPECT_EQ(prompts.remaining(), 0u);

    // Opening a file with fewer slots empties the others.
    writeBytes(folder / "one.mpx", "[Befehl2]\r\nx0=3\r\nx1=1\r\nx2=7\r\nx3=9\r\n");
    prompts.expect(platform::PromptKind::Open, QString(), platform::Answer::Ok,
                   QString::fromStdString((folder / "one.mpx").string()));
    f.Laden1->trigger();
    EXPECT_EQ(prompts.shown().back().dialog.initialDir.toStdString(), folder.string() + "/");
    EXPECT_EQ(f.Auswertung.Faecher[1][0], 0);
    EXPECT_EQ(f.Auswertung.Faecher[2][0], 3);
    EXPECT_EQ(platform::IniFile(ini()).readString("Dateien", "FB_Datei", ""),
              (folder / "one.mpx").string());

    // Clearing, then saving: the settings and no slot.
    f.Initialisiere1->trigger();
    EXPECT_EQ(f.Auswertung.Faecher[2][0], 0);
    const auto empty = folder / "empty.mpx";
    prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Ok,
                   QString::fromStdString(empty.string()));
    f.Speichern1->trigger();
    EXPECT_EQ(bytesOf(empty), bytesOf(folder / "one.mpx"));
    EXPECT_EQ(platform::IniFile(empty).readSections(), std::vector<std::string>{"Einstellungen"});
    EXPECT_EQ(platform::IniFile(empty).readInteger("Einstellungen", "Periodenlaenge", 0), 600);

    // A damaged slot: the error is shown, the slots after it load.
    writeBytes(folder / "bad.mpx",
               "[Befehl1]\r\nx0=3\r\nx1=1\r\nx2=7\r\nx3=9\r\n[Befehl2]\r\nx0=200\r\n"
               "[Befehl3]\r\nx0=3\r\nx1=1\r\nx2=7\r\nx3=9\r\n");
    prompts.expect(platform::PromptKind::Open, QString(), platform::Answer::Ok,
                   QString::fromStdString((folder / "bad.mpx").string()));
    prompts.expectError(QStringLiteral("Bereichsfehler: Befehl2 x0 = 200"));
    f.Laden1->trigger();
    EXPECT_EQ(f.Auswertung.Faecher[1][0], 3);
    EXPECT_EQ(f.Auswertung.Faecher[2][0], 0);
    EXPECT_EQ(f.Auswertung.Faecher[3][0], 3);
}

// Plomvare's saves under injected faults: the old file stays byte for byte
// and the user is told.
TEST_F(Window, SavesUnderFaultsKeepTheOldFileAndTellTheUser) {
    auto& f = start();
    int errors = 0;
    prompts.onShown = [&](const platform::ScriptedPrompts::Shown& s) {
        if (s.kind == platform::PromptKind::Error) ++errors;
    };
    prompts.onUnexpected = [](const QString&) {};
    const auto copy = folder / "copy.mpx";
    testsupport::runUnderFaults({{"Speichern", copy,
                                  [&] {
                                      prompts.expect(platform::PromptKind::Save, QString(),
                                                     platform::Answer::Ok,
                                                     QString::fromStdString(copy.string()));
                                      f.Speichern1->trigger();
                                  }},
                                 {"Anzeige", ini(),
                                  [&] {
                                      {
                                          const QSignalBlocker still(f.Anzeige);
                                          f.Anzeige->setChecked(platform::IniFile(ini()).readBool(
                                              "Einstellungen", "Anzeige", true));
                                      }
                                      f.Anzeige->click();
                                  }},
                                 {"Fenster gross / klein", ini(),
                                  [&] { (f.Width() == 342 ? f.gross1 : f.klein1)->trigger(); }}},
                                [&] { return errors; });

    // A learnt command is stored key by key; each key's save keeps the file
    // whole.
    f.Lernen2->trigger();
    int knopf = 0;
    testsupport::runUnderFaults(
        {{"Lernen", f.FB_Datei,
          [&] {
              press(burst::wiederholt(kA, 3));
              f.Knopf[static_cast<std::size_t>(1 + knopf++ % 9)]->click();
          }}},
        [&] { return errors; }, false);
}

TEST_F(Window, HelpInformationAndShutdownOption) {
    auto& f = start();
    prompts.expectMessage(QStringLiteral(
        "Plomvare 1.46, IR -> WINAMP, 29-Apr-2002\r\rWinAmp wird durch die Knöpfe oder per "
        "empfangenem IR Kommando gesteuert !\r  \rDreimal langsam hintereinander \"Stop\" "
        "beendet Plomvare 1.46 und winAMP, \rViermal \"Stop\" fährt den Computer komplett "
        "herunter.\r  \rLernmodus ein-/ausschalten mit \"Einstellungen/Lernen\".\r \rInfos "
        "und neue Programmversionen bei https://plomvare.example.org .\rDirekt dorthin mit "
        "Mausklick auf \"?/Plomvare Homepage\"."));
    f.Info1->trigger();

    f.PlomvareHomepage1->trigger();
    ASSERT_EQ(os.urls.size(), 1u);
    EXPECT_EQ(os.urls[0], "https://plomvare.example.org");
    os.urlResult = false;
    prompts.expectError(
        QStringLiteral("Die Adresse\rPlomvare.htm\rkonnte nicht automatisch aufgerufen "
                       "werden\rBitte manuell versuchen"));
    f.Beschreibung1->trigger();
    EXPECT_EQ(os.urls[1],
              QDir::current().absoluteFilePath(QStringLiteral("Plomvare.htm")).toStdString());
    prompts.expectError(QStringLiteral("Die Adresse\rPlomvarehilfe.htm\rkonnte nicht automatisch "
                                       "aufgerufen werden\rBitte manuell versuchen"));
    f.Bedienungsanleitung1->trigger();
    // A page beside the program is found from any current folder.
    os.urlResult = true;
    writeBytes(folder / "Plomvarehilfe.htm", "<html></html>");
    f.Bedienungsanleitung1->trigger();
    EXPECT_EQ(os.urls.back(), (folder / "Plomvarehilfe.htm").string());

    prompts.expectMessage(
        QStringLiteral("Diese Option fährt den Computer\rbei Mehrfach-Stop herunter"));
    f.ShutdownperStop1->trigger();
    EXPECT_FALSE(f.ShutdownperStop1->isChecked());
    EXPECT_FALSE(platform::IniFile(ini()).readBool("Einstellungen", "ShutdownperStop", true));

    f.show();
    f.EndeButton->click();
    EXPECT_TRUE(closed);
}

TEST_F(Window, HelpPagesBesideTheProgramOrInTheInstalledShareFolder) {
    // An installed program: <prefix>/bin/Plomvare, pages in <prefix>/share/plomvare.
    namespace fs = std::filesystem;
    fs::create_directories(folder / "bin");
    fs::create_directories(folder / "share" / "plomvare");
    std::ofstream(folder / "share" / "plomvare" / "Plomvare.htm") << "x";
    std::ofstream(folder / "share" / "plomvare" / "Plomvarehilfe.htm") << "x";
    programFile = folder / "bin" / "Plomvare";
    auto& f = start();
    f.Beschreibung1->trigger();
    f.Bedienungsanleitung1->trigger();
    ASSERT_EQ(os.urls.size(), 2u);
    EXPECT_EQ(os.urls[0], (folder / "share" / "plomvare" / "Plomvare.htm").string());
    EXPECT_EQ(os.urls[1], (folder / "share" / "plomvare" / "Plomvarehilfe.htm").string());

    // A page beside the program comes first.
    std::ofstream(folder / "bin" / "Plomvare.htm") << "x";
    f.Beschreibung1->trigger();
    ASSERT_EQ(os.urls.size(), 3u);
    EXPECT_EQ(os.urls[2], (folder / "bin" / "Plomvare.htm").string());
}

TEST_F(Window, TheReceiveHandlerNeverStrandsABatch) {
    auto& f = start();
    // A burst is running with the timer on.
    const std::uint8_t alt = 0x11;
    f.Auswertung.empfange(jetzt, &alt, 1);
    f.Timer1->start();
    const std::int64_t alterStempel = jetzt;

    // While the read is under way the GUI thread ticks, finds the old burst
    // silent and switches the timer off.
    f.Lesen = [&](std::uint8_t* buffer, std::int32_t) {
        QCoreApplication::processEvents();
        jetzt = alterStempel + pmp3p::kBurstEnde;
        f.Timer1Timer();
        EXPECT_FALSE(f.Timer1->isActive());
        for (std::size_t i = 0; i < kA.size(); ++i)
            buffer[i] = kA[i];
        return static_cast<std::int32_t>(kA.size());
    };
    f.ComPort1RxChar();
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(f.Auswertung.Empfang.count(), 4);

    // More than one read's worth waiting: read until the queue is empty, each
    // chunk a batch of its own.
    std::vector<std::int32_t> gelesen;
    std::int32_t wartend = 2 * pmp3p::kLeseGroesse + 7;
    f.Lesen = [&](std::uint8_t* buffer, std::int32_t count) {
        const std::int32_t n = std::min(count, wartend);
        std::fill(buffer, buffer + n, std::uint8_t{0x22});
        wartend -= n;
        gelesen.push_back(n);
        ++jetzt;
        return n;
    };
    f.ComPort1RxChar();
    EXPECT_EQ(gelesen, (std::vector<std::int32_t>{2900, 2900, 7}));
    EXPECT_EQ(f.Auswertung.Empfang.count(), pmp3p::kPufferGroesse);
    EXPECT_EQ(f.Auswertung.Empfang.stamp(), jetzt - 1);
}

TEST_F(Window, ADamagedSlotCostsNoOtherSlot) {
    const std::string valid2 =
        "[Befehl2]\r\nx0=6\r\nx1=312\r\nx2=2\r\nx3=1\r\nx4=2\r\nx5=3\r\nx6=4\r\n";
    const std::string valid3 = "[Befehl3]\r\nx0=3\r\nx1=1\r\nx2=7\r\nx3=9\r\n";
    writeBytes(standard(),
               "[Einstellungen]\r\nPeriodenlaenge=2218\r\n\r\n[Befehl1]\r\nx0=101\r\n\r\n" +
                   valid2 + "\r\n" + valid3);
    writeBytes(ini(), "[Einstellungen]\r\nWidth=400\r\nHeight=300\r\n");
    // One box at the end of the load, with the port's error of the same load.
    prompts.expectError(
        QStringLiteral("Bereichsfehler: SIO Teiler 256\rBereichsfehler: Befehl1 x0 = 101"));
    auto& f = start();
    EXPECT_EQ(f.Auswertung.Faecher[1][0], 0);
    EXPECT_EQ(f.Auswertung.Faecher[2][0], 6);
    EXPECT_EQ(f.Auswertung.Faecher[3][2], 7);
    EXPECT_EQ(f.Width(), 400);
    EXPECT_EQ(f.Height(), 300);

    // Learning takes the damaged slot, then the first free one; the loaded
    // slots stay as they were in the file.
    f.Lernen2->trigger();
    press(burst::wiederholt(kA, 3));
    prompts.expectMessage(QStringLiteral("Lerne Befehl als >Play<\rNeuer Befehl, Fachnr. 1"));
    f.Knopf[2]->click();
    press(burst::wiederholt(kB, 3));
    prompts.expectMessage(QStringLiteral("Lerne Befehl als >Pause<\rNeuer Befehl, Fachnr. 4"));
    f.Knopf[3]->click();
    const std::string file = bytesOf(standard());
    EXPECT_NE(file.find(valid2), std::string::npos) << file;
    EXPECT_NE(file.find(valid3), std::string::npos) << file;
    platform::IniFile mpx(standard());
    EXPECT_EQ(mpx.readInteger("Befehl1", "x2", 0), 2);
    EXPECT_EQ(mpx.readInteger("Befehl4", "x2", 0), 3);
}
