// The key file: format, round trip through the window, damaged files and the
// file menu.
#include "support/DeskFixture.h"

#include "desk/KeyFile.h"
#include "platform/Errors.h"
#include "platform/ScopeExit.h"
#include "platform/ScreenFit_qt.h"
#include "support/SaveFaults.h"

#include <QAction>

#include <csignal>
#include <cstring>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using platform::Answer;
using platform::PromptKind;

const QString kFilter = QStringLiteral("Fernsteuerdateien (*.cdx *.CDX)");
const QString kSichernFrage =
    QStringLiteral("Änderungen der momentanen Fernsteuerdatei sichern ? \rSave changes ?");

std::string head(int top, int left, int width, int height, int kb, int kh) {
    return desk::rightAligned(top, 10) + " Top \r\n" + desk::rightAligned(left, 10) + " Left\r\n" +
           desk::rightAligned(width, 10) + " Width\r\n" + desk::rightAligned(height, 10) +
           " Height\r\n" + desk::rightAligned(kb, 10) + " Knopfbreite\r\n" +
           desk::rightAligned(kh, 10) + " Knopfhoehe\r\n         1 obsolet \r\n";
}

std::string entry(int nr, int typ, const std::string& caption, const std::string& code,
                  const std::vector<int>& values) {
    std::string s = std::to_string(nr) + " Knopfnummer\r\n" + std::to_string(typ) +
                    " Tasten_typ\r\n" + caption + "\r\n" + code + "\r\n";
    for (std::size_t i = 0; i < values.size(); ++i)
        s += desk::rightAligned(values[i], 8) + desk::rightAligned(nr, 5) +
             desk::rightAligned(static_cast<long long>(i), 5) + "\r\n";
    return s;
}

} // namespace

TEST(KeyFileFormat, ValueLinesAndHeadAreRightAligned) {
    Sio::TBefehl b{};
    b[0] = 2;
    b[1] = 560;
    b[2] = 123456789;
    desk::KeyFileKey k{101, 0, "Caption that is longer than twenty", "A5 ", &b};
    const std::string out = desk::formatKeyFile({1, 2, 3, 4, 5, 6}, {k});
    EXPECT_EQ(out, head(1, 2, 3, 4, 5, 6) +
                       "101 Knopfnummer\r\n0 Tasten_typ\r\nCaption that is long\r\nA5 \r\n"
                       "       2  101    0\r\n     560  101    1\r\n123456789  101    2\r\n"
                       "       0  101    3\r\n");

    // A command without an end mark of its own ends where a read one would.
    Sio::TBefehl full{};
    full.fill(7);
    const std::string f = desk::formatKeyFile({0, 0, 0, 0, 1, 1}, {{102, 0, "x", "", &full}});
    EXPECT_NE(f.find("       7  102  798\r\n       0  102  799\r\n"), std::string::npos);
    EXPECT_EQ(f.find("  800\r\n"), std::string::npos);
    // A key number of five digits stays apart from the value before it; the
    // reader gets both back.
    const std::string w = desk::formatKeyFile({0, 0, 0, 0, 1, 1}, {{12345, 0, "x", "", &b}});
    EXPECT_NE(w.find("       2 12345    0\r\n     560 12345    1\r\n123456789 12345    2\r\n"),
              std::string::npos)
        << w;
    const auto back = desk::parseKeyFile(w, "w");
    ASSERT_EQ(back.entries.size(), 1u);
    EXPECT_EQ(back.entries[0].values, (std::vector<std::int32_t>{2, 560, 123456789, 0}));
}

TEST(KeyFileFormat, ParserReadsLfAndRefusesDamagedHeads) {
    std::string lf = head(1, 2, 3, 4, 5, 6) + entry(101, 2, "a", "b", {1, 2, 0});
    for (std::size_t p; (p = lf.find("\r\n")) != std::string::npos;)
        lf.replace(p, 2, "\n");
    const auto c = desk::parseKeyFile(lf, "x");
    ASSERT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.entries[0].values, (std::vector<std::int32_t>{1, 2, 0}));
    EXPECT_EQ(c.entries[0].tastenTyp, 2);

    EXPECT_THROW(desk::parseKeyFile("", "x"), EInOutError);
    EXPECT_THROW(desk::parseKeyFile(head(1, 2, 3, 4, 5, 6).substr(0, 40), "x"), EInOutError);
    EXPECT_THROW(desk::parseKeyFile(head(1, 2, 3, 4, 0, 6), "x"), EInOutError);
    EXPECT_THROW(desk::parseKeyFile(head(1, 2, 3, 4, 5, -1), "x"), EInOutError);
    EXPECT_THROW(desk::parseKeyFile("  x Top\r\n" + head(1, 2, 3, 4, 5, 6), "x"), EInOutError);

    // A file that cannot be read whole is refused whole: a value line that is
    // no number, or a command longer than a key keeps, named by its key.
    auto refusal = [](const std::string& bytes) {
        try {
            desk::parseKeyFile(bytes, "x");
        } catch (const EInOutError& e) {
            return std::string(e.what());
        }
        return std::string("read");
    };
    EXPECT_EQ(refusal(head(1, 2, 3, 4, 5, 6) + entry(101, 0, "a", "", {1, 0}) +
                      "102 Knopfnummer\r\n0 Tasten_typ\r\nb\r\n\r\nzz\r\n"),
              "Fernsteuerdatei >x<, Zeile 18: keine g\xFCltige Zahl / no valid number");
    for (const std::size_t n : {800u, 801u, 900u}) {
        std::vector<int> values(n, 100);
        values.push_back(0);
        EXPECT_EQ(refusal(head(1, 2, 3, 4, 5, 6) + entry(101, 0, "a", "", {1, 0}) +
                          entry(203, 0, "TV +", "", values)),
                  "Fernsteuerdatei >x<, Zeile 817: Taste 203 >TV +< hat mehr als 799 Werte / "
                  "key 203 >TV +< holds more than 799 values")
            << n;
    }
    // 799 values and the end mark: read and written back whole.
    std::vector<int> values(799, 100);
    values.push_back(0);
    const std::string voll = head(1, 2, 3, 4, 5, 6) + entry(203, 0, "TV +", "", values);
    const auto c799 = desk::parseKeyFile(voll, "x");
    ASSERT_EQ(c799.entries.size(), 1u);
    EXPECT_EQ(c799.entries[0].values.size(), 800u);
    Sio::TBefehl b{};
    std::copy(c799.entries[0].values.begin(), c799.entries[0].values.end(), b.begin());
    EXPECT_EQ(desk::formatKeyFile(c799.head, {{203, 0, "TV +", "", &b}}), voll);
}

TEST(KeyFileFormat, MutatedFilesParseOrAreRefused) {
    Sio::TBefehl b{};
    b[0] = 1;
    b[1] = 900;
    b[2] = 450;
    const std::string good = desk::formatKeyFile({77, 320, 230, 434, 43, 35},
                                                 {{101, 0, "a", "FF", &b}, {203, 1, "b", "", &b}});
    std::mt19937 rng(1234);
    const std::string alphabet = "0123456789- \r\n-+x\xE4";
    for (int i = 0; i < 3000; ++i) {
        std::string m = good;
        const int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits && !m.empty(); ++e) {
            const std::size_t at = rng() % m.size();
            switch (rng() % 4) {
            case 0:
                m[at] = alphabet[rng() % alphabet.size()];
                break;
            case 1:
                m.erase(at, rng() % 12);
                break;
            case 2:
                m.insert(at, std::string(1 + rng() % 12, alphabet[rng() % alphabet.size()]));
                break;
            default:
                m.resize(at);
                break;
            }
        }
        try {
            const auto c = desk::parseKeyFile(m, "f");
            EXPECT_GE(c.head.knopfbreite, 1);
            for (const auto& e : c.entries)
                EXPECT_LE(e.values.size(), desk::kMaxStoredValues + 1);
        } catch (const EInOutError&) {
        }
    }
}

class KeyFile : public DeskFixture {
protected:
    void SetUp() override {
        writeCompleteSettings();
        makeForm();
    }
};

TEST_F(KeyFile, RoundTripKeepsBoundsKeysUmlautsAndTrailingBlanks) {
    auto& f = *form;
    f.setBounds({50, 60, 300, 350});
    f.Knopfbreite = 50;
    f.Knopfhoehe = 30;
    f.Lernen1Click();
    desk::TButtonx* a = f.Taste(203);
    desk::TButtonx* m = f.Taste(511);
    ASSERT_TRUE(a && m);
    f.Setze_Beschriftung(203, QStringLiteral("Lautstärke Öl ß"));
    a->Tasten_typ = 2;
    a->IR_Code = "A5 0F  ";
    a->Befehl[0] = 3;
    a->Befehl[1] = 560;
    a->Befehl[2] = 40000;
    f.Setze_Beschriftung(511, QStringLiteral("Makro"));
    m->Tasten_typ = 1;
    m->Befehl[0] = 1500;
    m->Befehl[1] = 203;
    const std::string name = file("rund.cdx").string();
    f.Schreibe_Fernsteuerdatei(name);
    EXPECT_EQ(f.windowTitle(), "rund");
    EXPECT_EQ(platform::promptTitle(), "rund") << "boxes carry the title";
    const std::string bytes = readFile(name);
    EXPECT_NE(
        bytes.find("203 Knopfnummer\r\n2 Tasten_typ\r\nLautst\xE4rke \xD6l \xDF\r\nA5 0F  \r\n"
                   "       3  203    0\r\n     560  203    1\r\n   40000  203    2\r\n"
                   "       0  203    3\r\n"),
        std::string::npos)
        << "captions are stored in Windows-1252, code texts whole";

    // Change everything, then read back.
    a->Befehl.fill(9);
    a->IR_Code.clear();
    f.Setze_Beschriftung(601, "weg");
    f.setBounds({1, 1, 100, 100});
    f.Knopfbreite = f.Knopfhoehe = 10;
    f.Datei_geaendert = true;
    f.Lies_Fernsteuerdatei(name);
    EXPECT_FALSE(f.Taste(101)->isHidden()) << "the default captions were written too";
    EXPECT_EQ(f.bounds(), (desk::Fensterlage{50, 60, 300, 350}));
    EXPECT_EQ(f.Datei_Fensterlage, f.bounds());
    EXPECT_EQ(f.Knopfbreite, 50);
    EXPECT_EQ(f.Knopfhoehe, 30);
    EXPECT_FALSE(f.Lernen1->isChecked());
    EXPECT_FALSE(f.Datei_geaendert);
    EXPECT_EQ(a->Beschriftung, "Lautst\xE4rke \xD6l \xDF");
    EXPECT_EQ(a->text(), QStringLiteral("Lautstärke Öl ß"));
    EXPECT_EQ(a->IR_Code, "A5 0F  ");
    EXPECT_EQ(a->Tasten_typ, 2);
    EXPECT_EQ(a->Befehl[0], 3);
    EXPECT_EQ(a->Befehl[2], 40000);
    EXPECT_EQ(a->Befehl[3], 0) << "the rest of the command is cleared";
    EXPECT_EQ(m->Tasten_typ, 1);
    EXPECT_EQ(m->Befehl[1], 203);
    EXPECT_FALSE(a->isHidden());
    EXPECT_TRUE(f.Taste(601)->isHidden()) << "keys the file does not name are empty";
    EXPECT_TRUE(f.Taste(601)->Beschriftung.empty());
    f.Schreibe_Fernsteuerdatei(file("rund2.cdx").string());
    EXPECT_EQ(readFile(file("rund2.cdx")), bytes);
}

TEST_F(KeyFile, LongCaptionsOutOfGridEntriesAndCutFiles) {
    auto& f = *form;
    const std::string name = file("k.cdx").string();
    writeFile(name,
              head(77, 320, 230, 434, 43, 35) + entry(3115, 0, "weit weg", "", {1, 2, 3, 0}) +
                  entry(101, 0, "Eine sehr lange Beschriftung", "", {1, 560, 0}) +
                  "102 Knopfnummer\r\n0 Tasten_typ\r\nabgeschnitten\r\nFF\r\n       2  102    0\r\n"
                  "     700  102    1\r\n");
    f.Lies_Fernsteuerdatei(name);
    desk::TButtonx* k = f.Taste(101);
    EXPECT_EQ(k->Beschriftung, "Eine sehr lange Besc");
    EXPECT_EQ(k->text(), "Eine sehr lange Beschriftung");
    EXPECT_EQ(k->Befehl[1], 560);
    desk::TButtonx* c = f.Taste(102);
    EXPECT_EQ(c->Befehl[0], 2);
    EXPECT_EQ(c->Befehl[1], 700);
    EXPECT_EQ(c->Befehl[2], 0) << "the cut-off end reads as 0";
    EXPECT_EQ(f.Taste(3115), nullptr);
    f.Schreibe_Fernsteuerdatei(name);
    EXPECT_NE(readFile(name).find("\r\nEine sehr lange Besc\r\n\r\n"), std::string::npos);
    // A key outside the file's own grid (3 columns here) is not taken, though
    // the window still holds that key from a wider layout: a save would drop
    // it, so loading, saving and loading again give the same keys.
    ASSERT_NE(f.Taste(501), nullptr);
    writeFile(name, head(77, 320, 100, 434, 43, 35) + entry(101, 0, "innen", "", {1, 0}) +
                        entry(501, 0, "aussen", "", {1, 7, 0}) +
                        entry(102, 0, "danach", "", {2, 0}));
    f.Lies_Fernsteuerdatei(name);
    EXPECT_EQ(f.Anzahl_Spalten(), 3);
    EXPECT_TRUE(f.Taste(501)->Beschriftung.empty());
    EXPECT_TRUE(f.Taste(501)->isHidden());
    EXPECT_EQ(f.Taste(102)->Beschriftung, "danach");
    f.Schreibe_Fernsteuerdatei(file("zweimal.cdx").string());
    const std::string einmal = readFile(file("zweimal.cdx"));
    f.Lies_Fernsteuerdatei(file("zweimal.cdx").string());
    f.Schreibe_Fernsteuerdatei(file("zweimal.cdx").string());
    EXPECT_EQ(readFile(file("zweimal.cdx")), einmal);
}

TEST_F(KeyFile, DamagedFilesAreRefusedWithoutChangingAnything) {
    auto& f = *form;
    const std::string current = f.SaveDialog1_FileName;
    const desk::Fensterlage bounds = f.bounds();
    const auto tick = f.Taste(101)->text();
    platform::IniFile ini(iniPath());
    const std::string stored = ini.readString("Dateien", "Fernsteuerdatei", "");

    writeFile(file("leer.cdx"), "");
    writeFile(file("kurz.cdx"), head(77, 320, 230, 434, 43, 35).substr(0, 50));
    writeFile(file("null.cdx"), head(77, 320, 230, 434, 0, 35));
    const QString kopf =
        QStringLiteral("< ist beschädigt (Kopf unvollständig)\rDamaged key file (incomplete head)");
    const QString groesse =
        QStringLiteral("< ist beschädigt (Knopfgröße)\rDamaged key file (key size)");
    for (const auto& [n, why] : {std::pair{"leer.cdx", kopf}, std::pair{"kurz.cdx", kopf},
                                 std::pair{"null.cdx", groesse}}) {
        const QString path = QString::fromStdString(file(n).string());
        prompts.expect(PromptKind::Open, kFilter, Answer::Ok, path)
            .expectError(QStringLiteral("Fernsteuerdatei >") + path + why);
        f.Laden1->trigger();
        EXPECT_EQ(f.SaveDialog1_FileName, current) << n;
        EXPECT_EQ(f.bounds(), bounds) << n;
        EXPECT_EQ(f.Taste(101)->text(), tick) << n;
        EXPECT_EQ(ini.readString("Dateien", "Fernsteuerdatei", ""), stored) << n;
    }

    // A folder, a device or a FIFO is no key file: refused at once, without
    // waiting for a FIFO's writer.
    std::filesystem::create_directory(file("ordner.cdx"));
    ASSERT_EQ(::mkfifo(file("fifo.cdx").c_str(), 0600), 0);
    for (const std::string& name :
         {file("ordner.cdx").string(), std::string("/dev/null"), file("fifo.cdx").string()}) {
        const QString path = QString::fromStdString(name);
        prompts.expect(PromptKind::Open, kFilter, Answer::Ok, path)
            .expectError(QStringLiteral("Datei >") + path +
                         QStringLiteral("< ist keine gewöhnliche Datei (Ordner, Gerät oder "
                                        "FIFO)\rNot a regular file (folder, device or FIFO)"));
        f.Laden1->trigger();
        EXPECT_EQ(f.SaveDialog1_FileName, current) << name;
        EXPECT_EQ(f.bounds(), bounds) << name;
        EXPECT_EQ(ini.readString("Dateien", "Fernsteuerdatei", ""), stored) << name;
    }

    // A file damaged after its head is refused whole too, also over unsaved
    // changes: they stay, with the file they belong to, and the close saves
    // them there.
    const std::string wert = head(77, 320, 230, 434, 43, 35) +
                             entry(101, 0, "Eins", "", {1, 5, 0}) +
                             "102 Knopfnummer\r\n0 Tasten_typ\r\nb\r\n\r\nzz\r\n";
    std::vector<int> werte(800, 100);
    werte.push_back(0);
    const std::string lang = head(77, 320, 230, 434, 43, 35) + entry(101, 0, "Eins", "", werte);
    writeFile(file("wert.cdx"), wert);
    writeFile(file("lang.cdx"), lang);
    desk::TButtonx& k = *f.Taste(101);
    k.Befehl[0] = 1;
    k.Befehl[1] = 4321;
    f.Datei_geaendert = true;
    for (const auto& [n, why] :
         {std::pair{"wert.cdx",
                    QStringLiteral("<, Zeile 19: keine gültige Zahl / no valid number")},
          std::pair{"lang.cdx", QStringLiteral("<, Zeile 811: Taste 101 >Eins< hat mehr als 799 "
                                               "Werte / key 101 >Eins< holds more than 799 "
                                               "values")}}) {
        const QString path = QString::fromStdString(file(n).string());
        prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::No)
            .expect(PromptKind::Open, kFilter, Answer::Ok, path)
            .expectError(QStringLiteral("Fernsteuerdatei >") + path + why);
        f.Laden1->trigger();
        EXPECT_EQ(f.SaveDialog1_FileName, current) << n;
        EXPECT_EQ(f.bounds(), bounds) << n;
        EXPECT_EQ(k.text(), tick) << n;
        EXPECT_EQ(k.Befehl[1], 4321) << n;
        EXPECT_TRUE(f.Datei_geaendert) << n;
        EXPECT_EQ(ini.readString("Dateien", "Fernsteuerdatei", ""), stored) << n;
    }
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Yes);
    EXPECT_TRUE(f.close());
    EXPECT_NE(readFile(current).find("       1  101    0\r\n    4321  101    1\r\n"),
              std::string::npos);
    EXPECT_EQ(readFile(file("wert.cdx")), wert);
    EXPECT_EQ(readFile(file("lang.cdx")), lang);
}

TEST_F(KeyFile, LongestCommandAndExtremeBounds) {
    auto& f = *form;
    std::vector<int> values(799, 100);
    values.push_back(0);
    writeFile(file("lang.cdx"), head(77, 320, 230, 434, 43, 35) +
                                    entry(101, 0, "lang", "", values) +
                                    entry(102, 0, "danach", "", {5, 0}));
    f.Lies_Fernsteuerdatei(file("lang.cdx").string());
    desk::TButtonx* k = f.Taste(101);
    EXPECT_EQ(k->Befehl[798], 100);
    EXPECT_EQ(k->Befehl[799], 0);
    EXPECT_EQ(k->Befehl[800], 0);
    EXPECT_EQ(f.Taste(102)->Befehl[0], 5) << "the next entry is read correctly";
    EXPECT_EQ(f.Taste(102)->Beschriftung, "danach");

    // Bounds at the ends of the range: the grid stops at 30 x 30.
    writeFile(file("gross.cdx"), head(-2147483647 - 1, 2147483647, 2147483647, 2147483647, 1, 1) +
                                     entry(3030, 0, "Ecke", "", {1, 5, 0}));
    f.Lies_Fernsteuerdatei(file("gross.cdx").string());
    EXPECT_EQ(f.Taste(3030)->Beschriftung, "Ecke");
    f.FormPaint();
    f.FormResize();
    f.Schreibe_Fernsteuerdatei(file("gross.cdx").string());
    EXPECT_NE(readFile(file("gross.cdx")).find("3030 Knopfnummer"), std::string::npos);
    // Geometry from the file is brought within the screens before use.
    const QRect area = platform::availableScreenArea();
    writeFile(file("riesig.cdx"),
              head(2147483647, -2147483647 - 1, 2147483647, 2147483647, 2147483647, 2147483647) +
                  entry(101, 0, "Eins", "", {1, 5, 0}));
    f.Lies_Fernsteuerdatei(file("riesig.cdx").string());
    EXPECT_TRUE(area.contains(QPoint(f.Left(), f.Top()))) << f.Left() << " " << f.Top();
    EXPECT_LE(f.Width(), area.width());
    EXPECT_LE(f.Height(), area.height());
    EXPECT_LE(f.Knopfbreite, area.width());
    EXPECT_LE(f.Knopfhoehe, area.height());
    EXPECT_EQ(f.Taste(101)->Beschriftung, "Eins");
    EXPECT_EQ(f.Taste(101)->width(), f.Knopfbreite);
    f.FormPaint();
    f.FormResize();
}

TEST_F(KeyFile, MenuLoadsCreatesAndSavesUnderNewName) {
    auto& f = *form;
    // Over unsaved changes "Laden" asks the close's question first: Cancel
    // ends it, "Ja" saves them into their own file before the load.
    const std::string standard = f.SaveDialog1_FileName;
    f.Taste(101)->Befehl[0] = 1;
    f.Taste(101)->Befehl[1] = 4321;
    f.Datei_geaendert = true;
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Cancel);
    f.Laden1->trigger();
    EXPECT_TRUE(f.Datei_geaendert);
    EXPECT_EQ(readFile(standard).find("4321"), std::string::npos);
    // A name typed for a file that does not exist creates it.
    const QString neu = QString::fromStdString(file("frisch.cdx").string());
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Yes)
        .expect(PromptKind::Open, kFilter, Answer::Ok, neu);
    f.Laden1->trigger();
    EXPECT_NE(readFile(standard).find("    4321  101    1\r\n"), std::string::npos);
    EXPECT_FALSE(f.Datei_geaendert);
    EXPECT_TRUE(std::filesystem::exists(file("frisch.cdx")));
    EXPECT_EQ(f.windowTitle(), "frisch");
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Fernsteuerdatei", ""),
              file("frisch.cdx").string());

    // "Speichern als" adds the extension to a bare name only.
    prompts.expect(PromptKind::Save, kFilter, Answer::Ok,
                   QString::fromStdString(file("fern.bak").string()));
    f.Datei_geaendert = true;
    f.Speichernunter1->trigger();
    EXPECT_TRUE(std::filesystem::exists(file("fern.bak")));
    EXPECT_FALSE(f.Datei_geaendert);
    EXPECT_EQ(f.SaveDialog1_FileName, file("fern.bak").string());

    // A bare name that becomes an existing file's name asks before it
    // replaces that file; "No" writes nothing.
    const std::string vorher = readFile(file("frisch.cdx"));
    prompts.expect(PromptKind::Save, kFilter, Answer::Ok,
                   QString::fromStdString(file("frisch").string()));
    prompts.expectYesNo(QStringLiteral("Die Datei ") +
                            QString::fromStdString(file("frisch.cdx").string()) +
                            QStringLiteral(" existiert bereits. Ersetzen ?\rThe file exists "
                                           "already. Replace it ?"),
                        false);
    f.Datei_geaendert = true;
    f.Speichernunter1->trigger();
    EXPECT_EQ(readFile(file("frisch.cdx")), vorher);
    EXPECT_TRUE(f.Datei_geaendert);
    EXPECT_EQ(f.SaveDialog1_FileName, file("fern.bak").string());

    // "Speichern" keeps the name; a cancelled dialog writes nothing.
    f.Speichern1->trigger();
    prompts.expect(PromptKind::Open, kFilter, Answer::Cancel);
    f.Laden1->trigger();
    EXPECT_EQ(f.SaveDialog1_FileName, file("fern.bak").string());

    // "Standard" leaves the modes and lays out the default keys.
    f.Lernen1Click();
    f.Default1->trigger();
    EXPECT_FALSE(f.Lernen1->isChecked());
    EXPECT_EQ(f.Taste(509)->Beschriftung, "&0");
    EXPECT_EQ(f.Knopfbreite, 43);
}

TEST_F(KeyFile, FailedSaveLeavesOldFileWhole) {
    auto& f = *form;
    const std::string name = file("standard.cdx").string();
    const std::string before = readFile(name);
    f.setLeft(999);
    // A file size limit makes the key file's write fail, for root as well;
    // the settings file stays below it, so it is the key file's save that
    // fails.
    const auto iniSize = std::filesystem::file_size(iniPath());
    ASSERT_GT(before.size(), iniSize + 128);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = iniSize + 64;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string fehler;
    try {
        f.Schreibe_Fernsteuerdatei(name);
    } catch (const EInOutError& e) {
        fehler = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_NE(fehler.find("Die Datei " + name + " kann nicht gespeichert werden"),
              std::string::npos)
        << fehler;
    EXPECT_EQ(readFile(name), before);
    for (const auto& e : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(e.path().string().find(".cdx."), std::string::npos) << "no temporary file left";

    // A failed "Speichern als" leaves the remembered name as it was: the next
    // start opens the user's file, not a fresh one under the new name.
    const std::string remembered =
        platform::IniFile(iniPath()).readString("Dateien", "Fernsteuerdatei", "");
    const std::string neu = file("neu.cdx").string();
    {
        testsupport::SaveFault fault(testsupport::SaveFault::Rename, 1, ENOSPC);
        prompts.expect(PromptKind::Save, kFilter, Answer::Ok, QString::fromStdString(neu));
        prompts.expectError(
            QString::fromStdString("Die Datei " + neu + " kann nicht gespeichert werden: ") +
            QString::fromLocal8Bit(std::strerror(ENOSPC)));
        f.Speichernunter1->trigger();
        EXPECT_TRUE(fault.fired());
    }
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Fernsteuerdatei", ""),
              remembered);
    EXPECT_FALSE(std::filesystem::exists(neu));
    EXPECT_EQ(f.SaveDialog1_FileName, name);

    // A read-only mount is said as what it is.
    {
        platform::saveCalls().access = [](const char*, int) {
            errno = EROFS;
            return -1;
        };
        platform::ScopeExit zurueck([] { platform::saveCalls() = platform::plainSaveCalls(); });
        prompts.expectError(
            QString::fromStdString("Die Datei " + name + " kann nicht gespeichert werden: ") +
            QString::fromLocal8Bit(std::strerror(EROFS)));
        f.Speichern1->trigger();
        // A key file that cannot be created leaves the window as it was.
        f.Knopfbreite = 50;
        f.Setze_Beschriftung(101, QStringLiteral("Eigene"));
        const std::string fehlt = file("fehlt.cdx").string();
        prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::No)
            .expect(PromptKind::Open, kFilter, Answer::Ok, QString::fromStdString(fehlt))
            .expectError(
                QString::fromStdString("Die Datei " + fehlt + " kann nicht gespeichert werden: ") +
                QString::fromLocal8Bit(std::strerror(EROFS)));
        f.Laden1->trigger();
        EXPECT_EQ(f.Knopfbreite, 50);
        EXPECT_EQ(f.Taste(101)->Beschriftung, "Eigene");
        EXPECT_EQ(f.Taste(101)->text(), QStringLiteral("Eigene"));
        EXPECT_EQ(f.SaveDialog1_FileName, name);
    }
    EXPECT_EQ(readFile(name), before);
    EXPECT_EQ(prompts.remaining(), 0u);
}

TEST_F(KeyFile, SaveOverAFileChangedOnDiskAsksFirst) {
    auto& f = *form;
    const std::string name = f.SaveDialog1_FileName;
    ASSERT_EQ(name, file("standard.cdx").string());
    const QString frage = QStringLiteral("Die Datei ") + QString::fromStdString(name) +
                          QStringLiteral(" wurde inzwischen geändert. Überschreiben ?\rThe file "
                                         "was changed meanwhile. Overwrite it ?");
    f.setLeft(f.Left() + 10);
    // Another program writes the file in place.
    const std::string fremd = head(1, 2, 300, 400, 43, 35) + entry(101, 0, "fremd", "", {1, 0});
    writeFile(name, fremd);
    prompts.expectYesNo(frage, false);
    f.Speichern1->trigger();
    EXPECT_EQ(readFile(name), fremd);
    prompts.expect(PromptKind::YesNoCancel, kSichernFrage, Answer::Yes).expectYesNo(frage, false);
    EXPECT_FALSE(f.close()) << "the window stays with its changes";
    EXPECT_EQ(readFile(name), fremd);
    prompts.expectYesNo(frage, true);
    f.Speichern1->trigger();
    const std::string eigen = readFile(name);
    EXPECT_NE(eigen.find("       330 Left"), std::string::npos);
    // A save of our own is no change from outside.
    f.Speichern1->trigger();
    // Another Tavix saves a file of the same size: a new file renamed over it.
    std::string gleich = eigen;
    gleich.replace(gleich.find("       330 Left"), 15, "       331 Left");
    platform::saveFileAtomically(name, gleich);
    prompts.expectYesNo(frage, false);
    f.Speichern1->trigger();
    EXPECT_EQ(readFile(name), gleich);
    // The moved window was saved: the close has nothing left to ask.
    prompts.expectYesNo(frage, true);
    f.Speichern1->trigger();
    EXPECT_TRUE(f.close());
}
