// The cut-list grid's rules (cut rows, lengths, row counts) and the list file
// (writer, reader, golden files, damaged input).
#include "video/Schnittraster.h"

#include "engine/Bandposition.h"
#include "engine/Sio.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

using video::Rasterzeile;
using video::Schnittraster;
using video::Zeilen;

namespace {

std::string lies(const std::string& name) {
    std::ifstream in(std::string(TAVIX_TEST_DATA) + "/video/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Schnittraster neu() {
    Schnittraster r;
    r.Neue_Schnittliste();
    return r;
}

void zeile(Schnittraster& r, int row, Rasterzeile z) {
    for (int c = 0; c < 5; ++c)
        r.setZelle(c, row, z[static_cast<std::size_t>(c)]);
}

// The reader's player choice as the window makes it: 1..3 only.
struct Wahl {
    int spieler = 1;
    std::vector<int> gewaehlt;
    video::Zuspielerwahl wahl() {
        return {[this](std::int32_t n) {
                    gewaehlt.push_back(n);
                    if (n >= 1 && n <= 3) spieler = n;
                },
                [this] { return spieler; }};
    }
};

} // namespace

// Tape positions count in 1/50 s as at program start.
class Schnittraster_ : public ::testing::Test {
protected:
    Schnittraster_() {
        Sio::Modulzustand_zuruecksetzen();
        Sio::SIO_Init();
    }
};
using SchnittrasterT = Schnittraster_;
using SchnittlisteT = Schnittraster_;

TEST_F(SchnittrasterT, LengthsCutRowsAndTotal) {
    Schnittraster r = neu();
    EXPECT_EQ(r.RowCount(), 20);
    EXPECT_EQ(r.zelle(3, 0), "L\xE4nge");
    EXPECT_EQ(r.Row, 1);
    EXPECT_EQ(r.Gesamtzeit, "0") << "New list leaves the total";

    zeile(r, 1, {"1", "1:00", "1:10", "typed", "a"});
    zeile(r, 2, {"1", "", "1:20", "", ""});
    zeile(r, 3, {"1", " ", "1:25", "", ""});
    zeile(r, 4, {"", "1:00", "1:30", "", "no player"});
    zeile(r, 5, {"2", "Goto", "1:30", "", ""});
    r.Laengen_berechnen();
    EXPECT_EQ(r.zelle(3, 1), " 0:00:10.00");
    EXPECT_EQ(r.zelle(3, 2), " 0:00:10.00") << "a blank start continues from the row above";
    EXPECT_EQ(r.zelle(3, 3), " 0:00:05.00") << "a run of blank starts resolves in one pass";
    EXPECT_EQ(r.zelle(3, 4), "");
    EXPECT_EQ(r.zelle(3, 5), "");
    EXPECT_TRUE(r.Ist_Schnittzeile(1));
    EXPECT_TRUE(r.Ist_Schnittzeile(2));
    EXPECT_TRUE(r.Ist_Schnittzeile(3));
    EXPECT_FALSE(r.Ist_Schnittzeile(4));
    r.setZelle(3, 5, "0:10");
    EXPECT_FALSE(r.Ist_Schnittzeile(5)) << "a command word is no cut";
    EXPECT_EQ(r.Gesamtzeit, " 0:00:25.00");

    // An end before the start: no length, and the next blank start gets none.
    r.setZelle(2, 2, "1:05");
    r.Laengen_berechnen();
    EXPECT_EQ(r.zelle(3, 2), "");
    EXPECT_FALSE(r.Ist_Schnittzeile(2));
    EXPECT_EQ(r.zelle(3, 3), "");
    EXPECT_EQ(r.Gesamtzeit, " 0:00:10.00");

    // Row 1 with a blank start never continues from the header.
    zeile(r, 1, {"1", "", "1:10", "", ""});
    r.Laengen_berechnen();
    EXPECT_FALSE(r.Ist_Schnittzeile(1));
}

TEST_F(SchnittrasterT, RowCountRules) {
    Schnittraster r = neu();
    r.setRowCount(5);
    r.Laengen_berechnen();
    EXPECT_EQ(r.RowCount(), 12);
    r.setZelle(4, 11, "x");
    r.Laengen_berechnen();
    EXPECT_EQ(r.RowCount(), 13) << "a last row with text gets an empty row after it";

    Schnittraster d = neu();
    for (int i = 1; i < 20; ++i)
        d.setZelle(4, i, std::string("c").append(std::to_string(i)));
    d.Row = 3;
    d.Zeile_loeschen();
    EXPECT_EQ(d.RowCount(), 20);
    EXPECT_EQ(d.zelle(4, 3), "c4");
    EXPECT_EQ(d.zelle(4, 18), "c19");
    d.Row = 8;
    d.Zeile_loeschen();
    EXPECT_EQ(d.RowCount(), 19);
    EXPECT_EQ(d.zelle(4, 8), "c10");

    Schnittraster e = neu();
    e.setZelle(4, 2, "zwei");
    e.Row = 2;
    e.Zeile_einfuegen();
    EXPECT_EQ(e.RowCount(), 21);
    EXPECT_EQ(e.zelle(4, 2), "");
    EXPECT_EQ(e.zelle(4, 3), "zwei");
    EXPECT_EQ(e.Row, 2);

    Schnittraster l = neu();
    l.Row = 19;
    l.Letzte_Zeile_erweitern();
    EXPECT_EQ(l.RowCount(), 21);
    EXPECT_EQ(l.Row, 19);
    l.Letzte_Zeile_erweitern();
    EXPECT_EQ(l.RowCount(), 21) << "only on the last row";

    EXPECT_TRUE(neu().Schnittliste_leer());
    Schnittraster k = neu();
    k.setZelle(2, 19, " ");
    EXPECT_FALSE(k.Schnittliste_leer());
    EXPECT_THROW(k.setZelle(5, 1, "x"), ERangeError);
    EXPECT_THROW(k.zelle(0, 20), ERangeError);
}

TEST_F(SchnittlisteT, WriterMatchesGoldenFileAndReadsBack) {
    Schnittraster r = neu();
    zeile(r, 1, {"1", "1:00", "1:10", "", "Anfang"});
    r.Laengen_berechnen();
    const Zeilen z = video::Liste_erzeugen(r, "", "08.12.2026 10:00:00");
    EXPECT_EQ(video::Text_aus_Zeilen(z), lies("eine_zeile.lst"));
    EXPECT_EQ(r.RowCount(), 4) << "rows 1 and 2 stay, then one empty row";

    Wahl w;
    Schnittraster b;
    video::Liste_einlesen(b, video::Zeilen_aus_Text(lies("eine_zeile.lst")), w.wahl());
    EXPECT_EQ(b.zeile(1), (Rasterzeile{"1", "1:00", "1:10", " 0:00:10.00", "Anfang"}));
    EXPECT_EQ(b.zeile(2), Rasterzeile{});
    EXPECT_EQ(b.zeile(3), Rasterzeile{});
    EXPECT_EQ(b.RowCount(), 16);
    EXPECT_TRUE(b.Editieren);
    EXPECT_EQ(b.Row, 1);

    // Regenerated, it equals the file apart from the dated header.
    const Zeilen wieder = video::Liste_erzeugen(b, "", "x");
    ASSERT_EQ(wieder.size(), z.size());
    EXPECT_TRUE(std::equal(wieder.begin() + 1, wieder.end(), z.begin() + 1));
}

TEST_F(SchnittlisteT, PlayerLinesMarkersAndCommands) {
    Schnittraster r = neu();
    zeile(r, 1, {"2", "0:10", "0:20", "", ""});
    zeile(r, 2, {"2", "0:30", "0:40", "", ""});
    zeile(r, 3, {"1", "0:50", "0:55", "", "mitte"});
    zeile(r, 4, {"2", "1:00", "1:05", "", ""});
    zeile(r, 5, {"", "Goto", "1:30", "", ""});
    zeile(r, 6, {"", "", "", "", "nur Kommentar"});
    zeile(r, 7, {"3", "", "", "", "ohne Zeit"});
    zeile(r, 8, {"3", "", "", "", ""});
    zeile(r, 9, {"", "Dialogbox", "", "", "Band wechseln"});
    r.Laengen_berechnen();
    const Zeilen z = video::Liste_erzeugen(r, "alt.lst", "08.12.2026 10:00:00");
    EXPECT_EQ(video::Text_aus_Zeilen(z), lies("befehle.lst"));

    Wahl w;
    Schnittraster b;
    video::Liste_einlesen(b, z, w.wahl());
    EXPECT_EQ(b.zeile(1), (Rasterzeile{"2", "0:10", "0:20", " 0:00:10.00", ""}));
    EXPECT_EQ(b.zeile(3), (Rasterzeile{"1", "0:50", "0:55", " 0:00:05.00", "mitte"}));
    EXPECT_EQ(b.zeile(5), (Rasterzeile{"", "Goto", "1:30", "", ""}));
    EXPECT_EQ(b.zeile(6), (Rasterzeile{"", "", "", "", "nur Kommentar"}));
    EXPECT_EQ(b.zeile(7), (Rasterzeile{"", "", "", "", "ohne Zeit"})) << "no times: no player";
    EXPECT_EQ(b.zeile(9), (Rasterzeile{"", "Dialogbox", "", "", "Band wechseln"}));
    EXPECT_EQ(w.gewaehlt, (std::vector<int>{1, 2, 1, 2, 3}));
}

// Cells that fill the reader's fields come back whole at every save and load;
// the grid refuses what no field could hold.
TEST_F(SchnittlisteT, LongEndAndCommentCellsSurviveSaveAndLoad) {
    for (std::size_t ende : {98u, 99u, 100u}) {
        for (std::size_t kommentar : {498u, 499u, 500u}) {
            Schnittraster r = neu();
            const std::string e(ende, 'E'), k = "K" + std::string(kommentar - 1, 'k');
            zeile(r, 1, {"", "Goto", e, "", k});
            zeile(r, 2, {"1", "0:10", e, "", k});
            Zeilen z = video::Liste_erzeugen(r, "", "x");
            for (int runde = 0; runde < 2; ++runde) {
                Wahl w;
                Schnittraster b;
                video::Liste_einlesen(b, z, w.wahl());
                EXPECT_EQ(b.zelle(2, 1), e) << ende << " " << kommentar;
                EXPECT_EQ(b.zelle(4, 1), k) << ende << " " << kommentar;
                EXPECT_EQ(b.zelle(2, 2), e);
                EXPECT_EQ(b.zelle(4, 2), k);
                EXPECT_EQ(b.zelle(0, 2), "1");
                z = video::Liste_erzeugen(b, "", "x");
            }
        }
    }
    // Usual cells keep the blank after the comma and the semicolon.
    Schnittraster r = neu();
    zeile(r, 1, {"1", "0:10", std::string(99, '9'), "", "k"});
    EXPECT_EQ(video::Liste_erzeugen(r, "", "x")[2], " 0:10, " + std::string(99, '9') + " ; k");

    EXPECT_THROW(r.setZelle(2, 1, std::string(101, 'E')), ERangeError);
    EXPECT_THROW(r.setZelle(4, 1, std::string(501, 'k')), ERangeError);
    EXPECT_THROW(r.setZelle(4, 1, "X" + std::string(499, 'k')), ERangeError)
        << "a comment that would read as a player line needs its blank";
    r.setZelle(4, 1, "X" + std::string(498, 'k'));
    r.setZelle(1, 1, std::string(300, 'S'));
    EXPECT_EQ(r.zelle(2, 1), std::string(99, '9')) << "a refused text changes nothing";
}

TEST_F(SchnittlisteT, ReaderTakesOddAndDamagedLines) {
    Wahl w;
    Schnittraster b;
    // LF line ends, a line without a leading blank, a lower-case player line,
    // a player line out of range, a line without a comma, a last line
    // without its end.
    const std::string text =
        ";; x\n1:00, 1:10\n;x3\n 2:00, 2:10 ; drei\n;X 9 Zuspieler Nr.\n 3:00, 3:10\n"
        "ohne Komma ; k\n\xFC\xFF\x01, \x7F";
    video::Liste_einlesen(b, video::Zeilen_aus_Text(text), w.wahl());
    EXPECT_EQ(b.zeile(1), (Rasterzeile{"", ":00", "1:10", "", ""}))
        << "the marker position is lost";
    EXPECT_EQ(b.zeile(2), (Rasterzeile{"3", "2:00", "2:10", " 0:00:10.00", "drei"}));
    EXPECT_EQ(b.zeile(3), (Rasterzeile{"3", "3:00", "3:10", " 0:00:10.00", ""}))
        << "player 9 leaves player 3";
    EXPECT_EQ(b.zeile(4), (Rasterzeile{"", "", "", "", "k"}));
    EXPECT_EQ(b.zeile(5)[1], "\xFF") << "trimmed like any cell";
    EXPECT_EQ(b.RowCount(), 16);

    Schnittraster leer;
    video::Liste_einlesen(leer, video::Zeilen_aus_Text(";; a\r\n;; b\r\n"), w.wahl());
    EXPECT_TRUE(leer.Schnittliste_leer());
    EXPECT_EQ(leer.RowCount(), 16);

    // Random bytes never break the reader or the writer.
    std::mt19937 rng(7);
    for (int k = 0; k < 200; ++k) {
        std::string junk(static_cast<std::size_t>(rng() % 400), '\0');
        for (char& c : junk)
            c = static_cast<char>("0123456789:.,;#xX -\r\n\xE4"[rng() % 23]);
        Schnittraster f;
        video::Liste_einlesen(f, video::Zeilen_aus_Text(junk), w.wahl());
        const Zeilen out = video::Liste_erzeugen(f, "n", "d");
        EXPECT_GE(out.size(), 3u);
    }
}

TEST_F(SchnittlisteT, TrailingRowsAreTrimmedByTheWriter) {
    Schnittraster r = neu();
    zeile(r, 5, {"", "", "", "", "fuenf"});
    r.setRowCount(40);
    video::Liste_erzeugen(r, "", "");
    EXPECT_EQ(r.RowCount(), 7);
    Schnittraster leer = neu();
    const Zeilen z = video::Liste_erzeugen(leer, "", "d");
    EXPECT_EQ(leer.RowCount(), 4);
    EXPECT_EQ(
        z, (Zeilen{";;  Letzte Aenderung d", "#", "#", "#", ";; Gesamtl\xE4nge des Schnitts : 0"}));
}
