#pragma once
// The cut-list grid as data: five text columns (player digit, start or
// command, end or argument, computed length, comment), row 0 the header, the
// current cell and whether cells may be edited. The window shows it in a
// table; every operation of the grid works here. Texts are Windows-1252 bytes.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace video {

using Rasterzeile = std::array<std::string, 5>;

class Schnittraster {
public:
    static constexpr int kSpalten = 5;

    // The design state: 14 empty rows without header texts.
    Schnittraster() : zeilen_(14) {}

    int RowCount() const { return static_cast<int>(zeilen_.size()); }
    // New rows are empty; at least the header row stays.
    void setRowCount(int n);
    int Row = 1; // current cell
    int Col = 0;
    bool Editieren = false;
    std::string Gesamtzeit = "0";

    // What a cell can hold so that the list file gives it back: "Ende" up to
    // 100 characters, a comment up to 500 (499 when it begins with ";", "X"
    // or "x", which the file needs a blank before).
    static constexpr std::size_t kMaxEnde = 100;
    static constexpr std::size_t kMaxKommentar = 500;
    static bool passt(int spalte, std::string_view text);

    const std::string& zelle(int spalte, int zeile) const;
    // Throws ERangeError for a text the cell cannot hold.
    void setZelle(int spalte, int zeile, std::string text);
    const Rasterzeile& zeile(int r) const;

    static bool Ist_Zuspieler_Ziffer(std::string_view text);
    bool Ist_Schnittzeile(int r) const;
    void Laengen_berechnen();
    bool Schnittliste_leer() const;

    void Editieren_an() { Editieren = true; }
    void Editieren_aus() { Editieren = false; }
    void Zeile_anwaehlen(int r);
    void Zeile_fuellen(std::string c0, std::string c1, std::string c2, std::string c3,
                       std::string c4);
    void Inhalte_loeschen();
    void Leerzeile_anhaengen();
    void Letzte_Zeile_erweitern();
    void Neue_Schnittliste();
    void Zeile_einfuegen();
    void Zeile_loeschen();

    // Removes trailing empty rows down to row 3, then appends one empty row.
    void Leerzeilen_kuerzen();

private:
    bool zeileLeer(int r) const;
    std::vector<Rasterzeile> zeilen_;
};

// The cut-list file's text, one entry per line (without line ends).
using Zeilen = std::vector<std::string>;

// Grid to list text: header with the shown name and the date text, player
// lines, one line per row, the total. Normalises the grid's trailing rows.
Zeilen Liste_erzeugen(Schnittraster& raster, std::string_view name, std::string_view datum);

// How the reader chooses and asks the current player.
struct Zuspielerwahl {
    std::function<void(std::int32_t)> waehle; // Waehle_Zuspieler
    std::function<std::int32_t()> nummer;     // Zuspieler_Nr
};

// List text to grid.
void Liste_einlesen(Schnittraster& raster, const Zeilen& zeilen, const Zuspielerwahl& wahl);

// Lines of a text file's bytes: CR LF or LF ends a line; a last line without
// an end counts.
Zeilen Zeilen_aus_Text(std::string_view bytes);
// Each line with CR LF.
std::string Text_aus_Zeilen(const Zeilen& zeilen);

} // namespace video
