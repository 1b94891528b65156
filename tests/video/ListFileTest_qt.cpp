// The cut-list file through the window: save, open, the question at close,
// failures that leave the state whole, and printing.
#include "VideoFixture.h"

#include "platform/Guard_qt.h"

#include "support/LocaleScope.h"

#include <QPrinter>

#include <filesystem>

using video::TKameraDialog;

namespace {

// Records what a line printer was given, page by page, with a page height of
// n lines.
class Aufzeichner final : public video::Zeilendrucker {
public:
    Aufzeichner(std::vector<std::vector<QString>>& seiten, int zeilen)
        : seiten_(seiten), zeilen_(zeilen) {}
    void beginnen() override { seiten_.assign(1, {}); }
    void zeile(const QString& t) override {
        if (static_cast<int>(seiten_.back().size()) == zeilen_) seiten_.emplace_back();
        seiten_.back().push_back(t);
    }
    // Full after a line: the next page counts at once.
    int seite() const override {
        return static_cast<int>(seiten_.size()) +
               (static_cast<int>(seiten_.back().size()) == zeilen_ ? 1 : 0);
    }
    void beenden() override {}

private:
    std::vector<std::vector<QString>>& seiten_;
    int zeilen_;
};

} // namespace

class ListFile : public VideoFixture {
protected:
    LocaleScope deutsch{QLocale(QLocale::German, QLocale::Germany)};

    TKameraDialog& fenster() {
        TKameraDialog& k = makeKamera();
        activateBoth();
        k.Neue_Liste_TasteClick();
        return k;
    }
    void speichern(const std::string& name) {
        prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Ok,
                       QString::fromStdString(file(name).string()));
        kamera->ListeSpeichernClick();
    }
};

TEST_F(ListFile, SaveOpenAndTheRememberedName) {
    TKameraDialog& k = fenster();
    zeile(1, {"1", "1:00", "1:10", "", "Anfang"});
    k.SchneidenKnopf->setChecked(true);
    speichern("a.lst");
    const std::string a = readFile(file("a.lst"));
    EXPECT_EQ(a, ";;  Letzte Aenderung 08.12.26 10:00:00\r\n;X 1 Zuspieler Nr.\r\n 1:00, 1:10 ; "
                 "Anfang\r\n#\r\n#\r\n;; Gesamtl\xE4nge des Schnitts :  0:00:10.00\r\n");
    EXPECT_EQ(text(k.Schnittdateiname), "a.lst");
    EXPECT_FALSE(k.SchneidenKnopf->isChecked());
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Schnittliste", ""),
              file("a.lst").string());

    // Saving under a new name writes the previous name in the header.
    speichern("b.lst");
    EXPECT_EQ(readFile(file("b.lst")).substr(0, 30), ";; a.lst Letzte Aenderung 08.1");
    {
        LocaleScope englisch{QLocale(QLocale::English, QLocale::UnitedStates)};
        speichern("b.lst");
    }
    EXPECT_EQ(readFile(file("b.lst")).substr(0, 45),
              ";; b.lst Letzte Aenderung 12/8/26 10:00:00 AM");

    // Cancel: nothing happens.
    prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Cancel);
    k.ListeSpeichernClick();

    k.Neue_Liste_TasteClick();
    EXPECT_TRUE(k.Schnittdateiname->text().isEmpty());
    prompts.expect(platform::PromptKind::Open, QString(), platform::Answer::Ok,
                   QString::fromStdString(file("a.lst").string()));
    k.ListeOeffnenClick();
    EXPECT_EQ(k.Raster.zeile(1),
              (video::Rasterzeile{"1", "1:00", "1:10", " 0:00:10.00", "Anfang"}));
    EXPECT_EQ(k.Raster.RowCount(), 16);
    EXPECT_EQ(text(k.Schnittdateiname), "a.lst");
    EXPECT_EQ(k.SaveDialog1_FileName, file("a.lst").string());
}

TEST_F(ListFile, FailedLoadAndSaveLeaveEverything) {
    TKameraDialog& k = fenster();
    zeile(1, {"1", "1:00", "1:10", "", ""});
    speichern("a.lst");
    const auto alt = k.Alte_Schnittliste;
    // The open dialog takes existing files only: a name that names none
    // opens nothing, without an error box.
    prompts.expect(platform::PromptKind::Open, QString(), platform::Answer::Ok,
                   QString::fromStdString(file("fehlt.lst").string()));
    prompts.onUnexpected = [](const QString&) {};
    platform::guarded([&] { k.ListeOeffnenClick(); });
    EXPECT_EQ(prompts.failures().size(), 0u) << "no error box";
    EXPECT_EQ(text(k.Schnittdateiname), "a.lst");
    EXPECT_EQ(k.Raster.zelle(1, 1), "1:00");

    // A folder that cannot be written: the old file, name and copy stay.
    std::filesystem::create_directory(file("d"));
    prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Ok,
                   QString::fromStdString(file("d/x/y.lst").string()));
    platform::guarded([&] { k.ListeSpeichernClick(); });
    EXPECT_EQ(prompts.failures().size(), 1u) << "the error box";
    EXPECT_EQ(text(k.Schnittdateiname), "a.lst");
    EXPECT_EQ(k.Alte_Schnittliste, alt);
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Schnittliste", ""),
              file("a.lst").string());
}

TEST_F(ListFile, CloseAsksOnlyForARealChange) {
    TKameraDialog& k = fenster();
    k.FormClose(); // an empty grid never asks
    writeFile(file("l.lst"), ";; alt\r\n;X 1 Zuspieler Nr.\r\n 1:00, 1:10 \r\n#\r\n#\r\n;; "
                             "Gesamtl\xE4nge des Schnitts :  0:00:10.00\r\n");
    prompts.expect(platform::PromptKind::Open, QString(), platform::Answer::Ok,
                   QString::fromStdString(file("l.lst").string()));
    k.ListeOeffnenClick();
    k.FormClose(); // only the header differs
    EXPECT_TRUE(hatZeile("Schnittliste Counts  neu - alt : 6   6"));

    k.Raster.setZelle(4, 2, "neu");
    prompts.expectYesNo(QStringLiteral("Soll die Schnittliste gespeichert werden ?"), true);
    prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Ok,
                   QString::fromStdString(file("l.lst").string()));
    k.FormClose();
    EXPECT_TRUE(hatZeile("Zeile  3 : >#; neu<"));
    EXPECT_NE(readFile(file("l.lst")).find("#; neu\r\n"), std::string::npos);
    k.FormClose(); // saved: no question
}

TEST_F(ListFile, PrintRewritesTheFileAndNumbersItsLines) {
    TKameraDialog& k = fenster();
    prompts.expectMessage(
        QStringLiteral("Vor dem Drucken mu\u00DF die Schnittliste abgespeichert werden"));
    k.DruckenKnopfClick();

    for (int r = 1; r <= 12; ++r)
        zeile(r, {"1", "0:0" + std::to_string(r % 10), "", "", "z"});
    speichern("p.lst");
    const auto alt = k.Alte_Schnittliste;
    clock.advanceMs(61000);
    std::vector<std::vector<QString>> seiten;
    k.Drucker = [&] { return std::make_unique<Aufzeichner>(seiten, 10); };
    prompts.expect(platform::PromptKind::Print, QString());
    k.DruckenKnopfClick();
    const std::string inhalt = readFile(file("p.lst"));
    EXPECT_EQ(inhalt.substr(0, 40), ";; p.lst Letzte Aenderung 08.12.26 10:01");
    EXPECT_EQ(k.Alte_Schnittliste, alt) << "printing renews no comparison copy";
    ASSERT_EQ(seiten.size(), 3u);
    const QString kopf = QString(14, QLatin1Char(' ')) +
                         QString::fromStdString(file("p.lst").string()) +
                         QStringLiteral("   %1 Bytes, ").arg(inhalt.size());
    EXPECT_EQ(seiten[0][0], QString());
    EXPECT_TRUE(seiten[0][1].startsWith(kopf));
    EXPECT_TRUE(seiten[0][1].endsWith(QStringLiteral("    Seite 1")));
    EXPECT_EQ(seiten[0][3],
              QStringLiteral("             1   ") +
                  platform::fromCp1252(";; p.lst Letzte Aenderung 08.12.26 10:01:01"));
    EXPECT_EQ(seiten[0][9], QStringLiteral("             7    0:05,  ; z"));
    EXPECT_TRUE(seiten[1][1].endsWith(QStringLiteral("    Seite 2")));
    EXPECT_EQ(seiten[1][3].left(17), QStringLiteral("             8   ")) << "numbers go on";

    // Cancel in the print dialog: nothing is written.
    const std::string vorher = readFile(file("p.lst"));
    clock.advanceMs(2000);
    prompts.expect(platform::PromptKind::Print, QString(), platform::Answer::Cancel);
    k.DruckenKnopfClick();
    EXPECT_EQ(readFile(file("p.lst")), vorher);

    // The system's printer, here a PDF file.
    k.Drucker = nullptr;
    k.PrintDialog1 = std::make_unique<QPrinter>();
    k.PrintDialog1->setOutputFormat(QPrinter::PdfFormat);
    k.PrintDialog1->setOutputFileName(QString::fromStdString(file("p.pdf").string()));
    prompts.expect(platform::PromptKind::Print, QString());
    k.DruckenKnopfClick();
    EXPECT_EQ(readFile(file("p.pdf")).substr(0, 5), "%PDF-");
}
