// Start-up, first-run questions, activation and close of the main window.
#include "support/DeskFixture.h"

#include "desk/KeyFile.h"

#include "platform/ScopeExit.h"

#include <QAction>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <tuple>

namespace {

using platform::Answer;
using platform::PromptKind;

QString sprachFrage(const char* choice) {
    return QStringLiteral("Tavix, Fernsteuern + Videoschneiden \r            pc remote control + "
                          "video editing\rVersion 1.17, 11-Juni-2002\r\rBitte gewünschte Sprache "
                          "angeben. Die Auswahl kann später geändert werden!\rPlease select "
                          "language. The choice can be changed later on!\r\rMomentane Auswahl / "
                          "actual choice : ") +
           QString::fromUtf8(choice) + QStringLiteral("\r\ro.k. ?\r");
}

QString einheitFrage(const char* choice) {
    return QStringLiteral("Bitte Tavix Typ, bzw. Infraroteinheit, angeben. Auswahl kann später "
                          "geändert werden!\rPlease select infrared device. Can be changed later "
                          "on!\r\rMomentane Auswahl / actual choice : ") +
           QString::fromUtf8(choice) + QStringLiteral("\r\ro.k. ?\r");
}

QString comFrage(int n) {
    return QStringLiteral("COM %1 für Tavix benutzen (1 - 8)\r(\"Nein\" toggelt durch die COMs)")
        .arg(n);
}

const QString kTimingFrage =
    QStringLiteral("Timing Werte jetzt bestimmen ? (dauert ca. 30 Sekunden, nur für Video "
                   "wichtig)\rDetermine timing now ? (takes 30 sec., only relevant for video "
                   "control)");
const QString kFilter = QStringLiteral("Fernsteuerdateien (*.cdx *.CDX)");
const QString kSichernFrage =
    QStringLiteral("Änderungen der momentanen Fernsteuerdatei sichern ? \rSave changes ?");

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

class Startup : public DeskFixture {};

TEST_F(Startup, FirstStartInEmptyFolderCyclesQuestionsAndWritesOnlyItsKeys) {
    // A PC whose delay loop turns ten times as fast as the engine's default.
    clock.costs().loopTurnsPerMs = 950000;
    prompts.expectYesNo(sprachFrage("Deutsch"), false)
        .expectYesNo(sprachFrage("English"), false)
        .expectYesNo(sprachFrage("Deutsch"), false)
        .expectYesNo(sprachFrage("English"), true)
        .expectYesNo(einheitFrage("Tavix Remote/Dongle"), false)
        .expectYesNo(einheitFrage("Tavix Classic/Raw"), false)
        .expectYesNo(einheitFrage("Tavix Remote/Dongle"), true);
    for (int n = 1; n <= 8; ++n)
        prompts.expectYesNo(comFrage(n), false);
    prompts.expectYesNo(comFrage(1), false).expectYesNo(comFrage(2), true);

    auto& f = makeForm();
    EXPECT_EQ(prompts.remaining(), 0u);
    EXPECT_EQ(f.Sprache, 2);
    EXPECT_TRUE(f.Englisch1->isChecked());
    EXPECT_FALSE(f.Deutsch1->isChecked());
    EXPECT_EQ(f.Datei1->title(), "&File");
    EXPECT_EQ(f.Infraroteinheit1->title(), "&Infrared");
    EXPECT_EQ(f.IR_Einheit, 3);
    EXPECT_TRUE(f.TavixRemote1->isChecked());
    EXPECT_EQ(Sio::IR_Einheit, 3);
    EXPECT_EQ(Sio::Com_Nr, 2);
    EXPECT_TRUE(f.COM[2]->isChecked());
    EXPECT_FALSE(f.COM[1]->isChecked());
    EXPECT_EQ(f.COM[1]->text(), "COM 1  (3F8)");
    EXPECT_EQ(f.COM[8]->text(), "COM 8  (260)");
    EXPECT_TRUE(f.RealTimeModus1->isVisible() && f.RealTimeModus1->isChecked());
    EXPECT_FALSE(f.Debug1->isVisible());
    // Nothing measured yet: the delays count turns at the loop's own rate,
    // timed at start, so a wait lasts what it says.
    EXPECT_NEAR(Sio::Drehg_mSec, 950000, 950);
    const double vorher = clock.nowUs();
    Sio::Warte_ms(2000);
    EXPECT_NEAR(clock.nowUs() - vorher, 2000000, 2000);

    // The first activation asks for the timing measurement.
    prompts.expectYesNo(kTimingFrage, false);
    activate();
    EXPECT_FALSE(f.Erste_Aktivierung);
    EXPECT_FALSE(f.Timer2->isActive());

    platform::IniFile ini(iniPath());
    EXPECT_EQ(sorted(ini.readSections()), sorted({"Einstellungen", "Statistik", "Verschiedenes",
                                                  "Schnittstelle", "Timing", "Dateien"}));
    EXPECT_EQ(sorted(ini.readSection("Einstellungen")),
              sorted({"Sprache", "BatchDelay_ms", "IR_Einheit"}));
    EXPECT_EQ(ini.readSection("Statistik"), std::vector<std::string>{"TavixVer"});
    EXPECT_EQ(ini.readSection("Verschiedenes"), std::vector<std::string>{"IR_Methode"});
    EXPECT_EQ(ini.readSection("Schnittstelle"), std::vector<std::string>{"Com_Nr"});
    EXPECT_EQ(ini.readSection("Timing"), std::vector<std::string>{"Abfallzeit_IR_Detektor"});
    EXPECT_EQ(ini.readSection("Dateien"), std::vector<std::string>{"Fernsteuerdatei"});
    EXPECT_EQ(ini.readInteger("Einstellungen", "Sprache", 0), 2);
    EXPECT_EQ(ini.readInteger("Einstellungen", "IR_Einheit", 0), 3);
    EXPECT_EQ(ini.readInteger("Einstellungen", "BatchDelay_ms", 0), 2000);
    EXPECT_EQ(ini.readInteger("Schnittstelle", "Com_Nr", 0), 2);
    EXPECT_EQ(ini.readInteger("Timing", "Abfallzeit_IR_Detektor", 0), 80);
    EXPECT_EQ(ini.readInteger("Verschiedenes", "IR_Methode", 0), 2);
    EXPECT_EQ(ini.readString("Statistik", "TavixVer", ""), "Version 1.17, 11-Juni-2002");
    EXPECT_EQ(ini.readString("Dateien", "Fernsteuerdatei", ""), dataFile("standard.cdx").string());

    // Nothing beside the program: the settings in the configuration folder,
    // the default key file in the data folder.
    EXPECT_EQ(iniPath(), folder / "config/tavix/Tavix.ini");
    EXPECT_TRUE(std::filesystem::exists(iniPath()));
    EXPECT_FALSE(std::filesystem::exists(file("Tavix.ini")));
    EXPECT_FALSE(std::filesystem::exists(file("standard.cdx")));
    EXPECT_EQ(readFile(dataFile("standard.cdx")),
              readFile(std::filesystem::path(TAVIX_TEST_DATA) / "desk" / "standard.cdx"));
    EXPECT_EQ(f.windowTitle(), "standard");

    // Nothing was changed: the close asks nothing and stores the view.
    EXPECT_TRUE(f.close());
    EXPECT_EQ(ini.readInteger("Modus", "Videomaske_aktiv", 7), 0);
}

TEST_F(Startup, CompleteSettingsShowWithoutPromptAndCloseWithoutPrompt) {
    writeCompleteSettings();
    // A stored measurement wins over the loop's rate timed at start.
    platform::IniFile(iniPath()).writeInteger("Timing", "Drehg_mSec", 50000);
    auto& f = makeForm();
    EXPECT_EQ(Sio::Drehg_mSec, 50000);
    const std::string keyFile = readFile(file("standard.cdx"));
    const desk::Fensterlage before = f.bounds();
    // The platform may move the frame when the window is shown: the window's
    // bounds stay what the key file said.
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QCoreApplication::processEvents();
    activate();
    EXPECT_EQ(f.bounds(), before);
    EXPECT_EQ(f.Datei_Fensterlage, before);
    EXPECT_TRUE(f.Gezeichnet);
    EXPECT_TRUE(f.close());
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_EQ(readFile(file("standard.cdx")), keyFile);
}

TEST_F(Startup, MovedWindowAsksAtCloseAndCancelKeepsItOpen) {
    writeCompleteSettings();
    auto& f = makeForm();
    activate();
    platform::IniFile ini(iniPath());
    ini.writeInteger("Modus", "Videomaske_aktiv", 5);
    f.Videomaske_aktiv = true;
    f.setLeft(f.Left() + 10);

    // The box deactivates the window, and its reactivation makes the main
    // window the current view again.
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Cancel);
    EXPECT_FALSE(f.close());
    EXPECT_EQ(ini.readInteger("Modus", "Videomaske_aktiv", 5), 0) << "written on Cancel too";

    // "Ja" and then no name, or "Nein" at replacing a file: the close is
    // cancelled and the window keeps its changes.
    const std::string vorher = readFile(file("standard.cdx"));
    f.Neue_Datei = true;
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Yes)
        .expect(PromptKind::Save, kFilter, Answer::Cancel);
    EXPECT_FALSE(f.close());
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Yes)
        .expect(PromptKind::Save, kFilter, Answer::Ok,
                QString::fromStdString(file("standard.cdx").string()))
        .expectYesNo(QStringLiteral("Die Datei ") +
                         QString::fromStdString(file("standard.cdx").string()) +
                         QStringLiteral(" existiert bereits. Ersetzen ?\rThe file exists "
                                        "already. Replace it ?"),
                     false);
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.Datei_geaendert);
    EXPECT_EQ(readFile(file("standard.cdx")), vorher);
    f.Neue_Datei = false;

    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Yes);
    EXPECT_TRUE(f.close());
    EXPECT_NE(readFile(file("standard.cdx")).find("       330 Left\r\n"), std::string::npos);
}

TEST_F(Startup, RefusedKeyFileAtStartIsNoChangeAndIsSavedOnlyUnderAGivenName) {
    writeCompleteSettings();
    const QString kopf =
        QStringLiteral("< ist beschädigt (Kopf unvollständig)\rDamaged key file (incomplete head)");
    std::string kaputterKopf = desk::formatKeyFile({77, 320, 230, 434, 43, 35}, {});
    kaputterKopf.replace(kaputterKopf.find("       230"), 10, "    zwei30");
    // One whose head is whole counts the same when a later line is damaged.
    Sio::TBefehl b{};
    b[0] = 1;
    b[1] = 900;
    std::string kaputterWert = desk::formatKeyFile(
        {77, 320, 230, 434, 43, 35}, {{101, 0, "Eins", "", &b}, {102, 0, "Zwei", "", &b}});
    kaputterWert.replace(kaputterWert.rfind("     900"), 8, "      xx");
    const QString wert = QStringLiteral("<, Zeile 20: keine gültige Zahl / no valid number");
    const std::tuple<const char*, std::string, QString> dateien[] = {
        {"leer.cdx", "", kopf},
        {"cr.cdx", "\r\r\r\n\r", kopf},
        {"kopf.cdx", kaputterKopf, kopf},
        {"wert.cdx", kaputterWert, wert}};
    for (const auto& [n, bytes, why] : dateien) {
        writeFile(file(n), bytes);
        platform::IniFile(iniPath()).writeString("Dateien", "Fernsteuerdatei", file(n).string());
        prompts.expectError(QStringLiteral("Fernsteuerdatei >") +
                            QString::fromStdString(file(n).string()) + why);
        auto& f = makeForm();
        activate();
        EXPECT_FALSE(f.Datei_geaendert) << n;
        EXPECT_TRUE(f.close()) << n << ": nothing to ask";
        EXPECT_EQ(readFile(file(n)), bytes) << n;
        form.reset();
    }

    // A change made afterwards, a moved window too, is saved only under a
    // name the user gives.
    prompts.expectError(QStringLiteral("Fernsteuerdatei >") +
                        QString::fromStdString(file("wert.cdx").string()) + wert);
    auto& f = makeForm();
    activate();
    f.setLeft(f.Left() + 10);
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Yes)
        .expect(PromptKind::Save, kFilter, Answer::Cancel);
    EXPECT_FALSE(f.close());
    EXPECT_EQ(readFile(file("wert.cdx")), kaputterWert);
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Yes)
        .expect(PromptKind::Save, kFilter, Answer::Ok,
                QString::fromStdString(file("neu.cdx").string()));
    EXPECT_TRUE(f.close());
    EXPECT_TRUE(std::filesystem::exists(file("neu.cdx")));
    EXPECT_EQ(readFile(file("wert.cdx")), kaputterWert);
}

TEST_F(Startup, BatchRunOpensOnlyTheFileItIsGiven) {
    Sio::TBefehl b{};
    b[0] = 1;
    b[1] = 900;
    const std::string keys = file("keys.cdx").string();
    writeFile(keys, desk::formatKeyFile({77, 320, 230, 434, 43, 35}, {{101, 0, "TV +", "", &b}}));
    // A fresh install: the first-run questions, then no default key file
    // is created nor stored.
    prompts.expectYesNo(sprachFrage("Deutsch"), true)
        .expectYesNo(einheitFrage("Tavix Remote/Dongle"), true)
        .expectYesNo(comFrage(1), true);
    auto& f = makeForm({QString::fromStdString(keys), "TV +"});
    activate();
    EXPECT_TRUE(f.Timer3->isActive());
    EXPECT_EQ(f.Taste(101)->Beschriftung, "TV +");
    EXPECT_FALSE(std::filesystem::exists(dataFile("standard.cdx")));
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Fernsteuerdatei", "-"), "-");
    form.reset();

    // Settings that name a missing key file: it stays missing, and named.
    writeCompleteSettings();
    platform::IniFile(iniPath()).writeString("Dateien", "Fernsteuerdatei",
                                             file("weg.cdx").string());
    auto& g = makeForm({QString::fromStdString(keys), "TV +"});
    activate();
    EXPECT_TRUE(g.Timer3->isActive());
    EXPECT_FALSE(std::filesystem::exists(file("weg.cdx")));
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Fernsteuerdatei", ""),
              file("weg.cdx").string());
    EXPECT_TRUE(g.close()) << "nothing to ask";
}

TEST_F(Startup, NoAtCloseWritesNothingAndNewFileAsksForName) {
    writeCompleteSettings();
    auto& f = makeForm();
    activate();
    const std::string before = readFile(file("standard.cdx"));
    f.Datei_geaendert = true;
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::No);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(readFile(file("standard.cdx")), before);

    // After "&Neu" the save asks for a name first.
    f.Neu1Click();
    EXPECT_EQ(f.windowTitle(), "Tavix");
    f.Datei_geaendert = true;
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Yes)
        .expect(PromptKind::Save, kFilter, Answer::Ok,
                QString::fromStdString(file("neu").string()));
    EXPECT_TRUE(f.close());
    EXPECT_TRUE(std::filesystem::exists(file("neu.cdx")));
    EXPECT_FALSE(f.Neue_Datei);
    platform::IniFile ini(iniPath());
    EXPECT_EQ(ini.readString("Dateien", "Fernsteuerdatei", ""), file("neu.cdx").string());
}

TEST_F(Startup, ComZeroAsksAgainAndSettingsNamedAfterProgramUpToFirstDot) {
    writeCompleteSettings();
    platform::IniFile(iniPath()).writeInteger("Schnittstelle", "Com_Nr", 0);
    prompts.expectYesNo(comFrage(1), false)
        .expectYesNo(comFrage(2), false)
        .expectYesNo(comFrage(3), true);
    makeForm();
    EXPECT_EQ(platform::IniFile(iniPath()).readInteger("Schnittstelle", "Com_Nr", 0), 3);
    EXPECT_EQ(desk::TIRForm::ExtractFileName_ohneExtension("/a.b/Tavix.x.exe"), "Tavix");
    EXPECT_EQ(desk::TIRForm::ExtractFileName_ohneExtension("/a/Tavix"), "Tavix");
}

TEST_F(Startup, CutListArgumentStoresNameAndOpensVideoOnlyWhenTimed) {
    writeCompleteSettings();
    auto& f = makeForm({"Film.LST"});
    activate();
    EXPECT_TRUE(f.Videomaske_aktiv);
    EXPECT_TRUE(f.Timer2->isActive());
    // Names are stored in full: a start from another folder finds them.
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Schnittliste", ""),
              std::filesystem::absolute("Film.LST").string());
    f.Timer2Timer();
    EXPECT_FALSE(f.Timer2->isActive());
    form.reset();

    // Never measured: the timing question instead, and no video window.
    platform::IniFile(iniPath()).deleteKey("Timing", "Anfragen_Sec");
    auto& g = makeForm({"film.lst"});
    prompts.expectYesNo(kTimingFrage, false);
    activate();
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Schnittliste", ""),
              std::filesystem::absolute("film.lst").string());
    EXPECT_FALSE(g.Videomaske_aktiv) << "the question's box reactivated the main window";
    EXPECT_FALSE(g.Timer2->isActive());
    form.reset();

    // A key file named relative to the current folder, and one whose name
    // is no valid text, are created and stored by their full names.
    const std::filesystem::path vorher = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    platform::ScopeExit zurueck([&] { std::filesystem::current_path(vorher); });
    makeForm({"rel.cdx"});
    prompts.expectYesNo(kTimingFrage, false);
    activate();
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Fernsteuerdatei", ""),
              file("rel.cdx").string());
    form.reset();
    desk::TIRFormOptions o;
    o.programFile = folder / "Tavix";
    o.arguments = {QFile::decodeName("k\xE4.cdx")};
    o.argumentBytes = {"k\xE4.cdx"};
    form = std::make_unique<desk::TIRForm>(std::move(o));
    prompts.expectYesNo(kTimingFrage, false);
    activate();
    EXPECT_TRUE(std::filesystem::exists(file("k\xE4.cdx")));
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Fernsteuerdatei", ""),
              file("k\xE4.cdx").string());
}

TEST_F(Startup, BoxesDeactivateAndReactivateTheWindowLikeRealOnes) {
    writeCompleteSettings();
    auto& f = makeForm();
    auto& tracker = platform::WindowTracker::instance();
    tracker.resetCounts();
    activate();
    f.Service2Click();
    EXPECT_TRUE(f.Timer1->isActive());
    const void* id = static_cast<QWidget*>(&f);
    EXPECT_EQ(tracker.activations(id), 1);

    // While a box is up the line monitor stops; it starts again when the
    // window is active once more, and later activations rebuild the grid.
    bool timerDuringBox = true;
    prompts.onShown = [&](const platform::ScriptedPrompts::Shown&) {
        timerDuringBox = f.Timer1->isActive();
    };
    prompts.expectMessage("x");
    platform::prompts().message("x");
    EXPECT_FALSE(timerDuringBox);
    EXPECT_TRUE(f.Timer1->isActive());
    EXPECT_EQ(tracker.deactivations(id), 1);
    EXPECT_EQ(tracker.activations(id), 2);

    // A switch to another program and back reports nothing.
    tracker.activate(nullptr);
    tracker.activate(id);
    EXPECT_EQ(tracker.activations(id), 2);
    f.Service2Click();
}

TEST_F(Startup, PortAccessIsForTheStoredPort) {
    writeCompleteSettings();
    platform::IniFile(iniPath()).writeInteger("Schnittstelle", "Com_Nr", 2);
    std::vector<std::uint16_t> zugriff;
    platform::setPortAccessOpener([&](std::uint16_t base) { zugriff.push_back(base); });
    makeForm();
    platform::setPortAccessOpener({});
    EXPECT_EQ(Sio::Com_Nr, 2);
    EXPECT_EQ(zugriff, (std::vector<std::uint16_t>{0x2F8}));
}

TEST_F(Startup, UnwritableSettingsShowOneErrorAndTheProgramGoesOn) {
    // The configuration folder is a file: no write can reach the settings,
    // for root as well.
    std::filesystem::create_directories(folder / "config");
    writeFile(folder / "config" / "tavix", "");
    prompts.expectYesNo(sprachFrage("Deutsch"), false)
        .expectYesNo(sprachFrage("English"), true)
        .expectYesNo(einheitFrage("Tavix Remote/Dongle"), true)
        .expectYesNo(comFrage(1), false)
        .expectYesNo(comFrage(2), true);
    std::vector<QString> fehler;
    prompts.onUnexpected = [&](const QString& d) { fehler.push_back(d); };
    auto& f = makeForm();
    // The answers stand, the engine is set up and the key grid is there.
    EXPECT_EQ(f.Sprache, 2);
    EXPECT_EQ(f.IR_Einheit, 3);
    EXPECT_EQ(Sio::Com_Nr, 2);
    EXPECT_EQ(Sio::IR_Einheit, 3);
    ASSERT_NE(f.Taste(101), nullptr);
    EXPECT_FALSE(f.Taste(101)->Beschriftung.empty());
    EXPECT_TRUE(std::filesystem::exists(dataFile("standard.cdx")));
    prompts.expectYesNo(kTimingFrage, false);
    activate();
    EXPECT_TRUE(f.close());
    ASSERT_EQ(fehler.size(), 1u);
    EXPECT_TRUE(fehler[0].contains(QStringLiteral("tavix/Tavix.ini kann nicht")))
        << fehler[0].toStdString();
    EXPECT_TRUE(fehler[0].startsWith(QStringLiteral("unexpected error")))
        << fehler[0].toStdString();
}
