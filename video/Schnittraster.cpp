#include "video/Schnittraster.h"

#include "engine/Bandposition.h"
#include "engine/SioText.h"
#include "platform/Errors.h"
#include "platform/Text.h"

#include <algorithm>

namespace video {

namespace {

bool blank(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; });
}

using platform::trimmed;

bool hatZeitwort(std::string_view s) {
    return !Sio::Zeitwort_Nr(s, 1).empty();
}

} // namespace

void Schnittraster::setRowCount(int n) {
    zeilen_.resize(static_cast<std::size_t>(std::max(1, n)));
    Row = std::min(Row, RowCount() - 1);
}

const Rasterzeile& Schnittraster::zeile(int r) const {
    return tabelle(zeilen_, r, "StringGrid1");
}

const std::string& Schnittraster::zelle(int spalte, int r) const {
    return tabelle(zeile(r), spalte, "StringGrid1");
}

bool Schnittraster::passt(int spalte, std::string_view text) {
    if (spalte == 2) return text.size() <= kMaxEnde;
    if (spalte != 4) return true;
    const bool marke = !text.empty() && (text[0] == ';' || text[0] == 'X' || text[0] == 'x');
    return text.size() <= kMaxKommentar - (marke ? 1 : 0);
}

void Schnittraster::setZelle(int spalte, int r, std::string text) {
    if (!passt(spalte, text))
        throw ERangeError(spalte == 2 ? "Eingabe zu lang (h\xF6"
                                        "chstens 100 Zeichen)"
                                      : "Kommentar zu lang (h\xF6"
                                        "chstens 500 Zeichen)");
    tabelle(tabelle(zeilen_, r, "StringGrid1"), spalte, "StringGrid1") = std::move(text);
}

bool Schnittraster::Ist_Zuspieler_Ziffer(std::string_view text) {
    return !text.empty() && (text[0] == '1' || text[0] == '2' || text[0] == '3');
}

bool Schnittraster::Ist_Schnittzeile(int r) const {
    if (r < 1 || r >= RowCount()) return false;
    const Rasterzeile& z = zeile(r);
    if (!Ist_Zuspieler_Ziffer(z[0])) return false;
    if (!hatZeitwort(z[2])) return false;
    if (!hatZeitwort(z[3])) return false;
    if (hatZeitwort(z[1])) return true;
    if (!blank(z[1])) return false;
    return hatZeitwort(zeile(r - 1)[3]);
}

void Schnittraster::Laengen_berechnen() {
    std::int64_t summe = 0;
    for (int r = 1; r < RowCount(); ++r) {
        Rasterzeile& z = zeilen_[static_cast<std::size_t>(r)];
        std::string s = Sio::Zeitwort_Nr(z[1], 1);
        if (s.empty() && Ist_Zuspieler_Ziffer(z[0]) && hatZeitwort(z[2]) && Ist_Schnittzeile(r - 1))
            s = Sio::Zeitwort_Nr(zeile(r - 1)[2], 1);
        z[3].clear();
        if (Ist_Zuspieler_Ziffer(z[0]) && !s.empty() && hatZeitwort(z[2])) {
            const std::int64_t d = std::int64_t{Sio::Zeitwort_nach_Zaehler(z[2], 1)} -
                                   Sio::Zeitwort_nach_Zaehler(s, 1);
            if (d > 0 && d <= INT32_MAX) {
                z[3] = Sio::Zaehler_nach_Text(static_cast<std::int32_t>(d));
                summe += d;
            }
        }
    }
    // A total beyond the counter's range shows its largest value.
    Gesamtzeit =
        Sio::Zaehler_nach_Text(static_cast<std::int32_t>(std::min<std::int64_t>(summe, INT32_MAX)));
    const Rasterzeile& letzte = zeile(RowCount() - 1);
    if (std::any_of(letzte.begin(), letzte.end(), [](const std::string& c) { return !c.empty(); }))
        Leerzeile_anhaengen();
    while (RowCount() < 12)
        Leerzeile_anhaengen();
}

bool Schnittraster::zeileLeer(int r) const {
    const Rasterzeile& z = zeile(r);
    return std::all_of(z.begin(), z.end(), [](const std::string& c) { return c.empty(); });
}

bool Schnittraster::Schnittliste_leer() const {
    for (int r = 1; r < RowCount(); ++r)
        if (!zeileLeer(r)) return false;
    return true;
}

void Schnittraster::Zeile_anwaehlen(int r) {
    Editieren_aus();
    if (r == 0) r = 1; // the header row is never current
    if (r < 0 || r >= RowCount()) throw ERangeError("Bereichsfehler: StringGrid1.Row");
    Row = r;
}

void Schnittraster::Zeile_fuellen(std::string c0, std::string c1, std::string c2, std::string c3,
                                  std::string c4) {
    Rasterzeile& z = tabelle(zeilen_, Row, "StringGrid1");
    z = {std::move(c0), std::move(c1), std::move(c2), std::move(c3), std::move(c4)};
}

void Schnittraster::Inhalte_loeschen() {
    Zeile_fuellen("", "", "", "", "");
}

void Schnittraster::Leerzeile_anhaengen() {
    zeilen_.emplace_back();
}

void Schnittraster::Letzte_Zeile_erweitern() {
    if (Row != RowCount() - 1) return;
    Leerzeile_anhaengen();
}

void Schnittraster::Neue_Schnittliste() {
    setRowCount(20);
    Editieren_aus();
    for (auto& z : zeilen_)
        z = Rasterzeile{};
    zeilen_[0] = {"", "Start (Befehl)", "Ende", "L\xE4nge", "Kommentar"};
    Row = 1;
    Col = 0;
    Editieren_an();
}

void Schnittraster::Zeile_einfuegen() {
    if (Row < 1 || Row >= RowCount()) throw ERangeError("Bereichsfehler: StringGrid1.Row");
    zeilen_.insert(zeilen_.begin() + Row, Rasterzeile{});
}

void Schnittraster::Zeile_loeschen() {
    if (Row < 1 || Row >= RowCount()) throw ERangeError("Bereichsfehler: StringGrid1.Row");
    zeilen_.erase(zeilen_.begin() + Row);
    zeilen_.emplace_back();
    if (Row > 6) zeilen_.pop_back();
    Row = std::min(Row, RowCount() - 1);
    Laengen_berechnen();
}

void Schnittraster::Leerzeilen_kuerzen() {
    while (RowCount() - 1 >= 3 && zeileLeer(RowCount() - 1))
        zeilen_.pop_back();
    Leerzeile_anhaengen();
    Row = std::min(Row, RowCount() - 1);
}

// ---------------------------------------------------------------- file text

Zeilen Liste_erzeugen(Schnittraster& raster, std::string_view name, std::string_view datum) {
    Zeilen out;
    out.push_back(";; " + std::string(name) + " Letzte Aenderung " + std::string(datum));
    raster.Leerzeilen_kuerzen();
    std::int32_t last = 0;
    for (int r = 1; r < raster.RowCount(); ++r) {
        const Rasterzeile& z = raster.zeile(r);
        const bool spieler = Schnittraster::Ist_Zuspieler_Ziffer(z[0]);
        if (spieler) {
            const std::int32_t n = Sio::Zahl_Nr(z[0], 1);
            if (n != last) {
                out.push_back(";X " + std::to_string(n) + " Zuspieler Nr.");
                last = n;
            }
        }
        std::string line = spieler ? "" : "#";
        // The reader takes at most 100 characters after the comma and 500
        // after the semicolon: a cell that fills its field goes without the
        // separating blank.
        if (!z[1].empty() || !z[2].empty())
            line += " " + z[1] + (z[2].size() < Schnittraster::kMaxEnde ? ", " : ",") + z[2] + " ";
        if (!blank(z[4])) line += (z[4].size() < Schnittraster::kMaxKommentar ? "; " : ";") + z[4];
        out.push_back(std::move(line));
    }
    out.push_back(";; Gesamtl\xE4nge des Schnitts : " + raster.Gesamtzeit);
    return out;
}

void Liste_einlesen(Schnittraster& raster, const Zeilen& zeilen, const Zuspielerwahl& wahl) {
    raster.Neue_Schnittliste();
    raster.setRowCount(4);
    if (wahl.waehle) wahl.waehle(1);
    int next = 1;
    for (const std::string& original : zeilen) {
        const std::string c = Sio::Text_nach_Semikolon(original);
        if (!c.empty() && c[0] == ';') continue;
        if (!c.empty() && (c[0] == 'X' || c[0] == 'x')) {
            if (wahl.waehle) wahl.waehle(Sio::Zahl_Nr(c, 1));
            continue;
        }
        std::string L = original;
        std::string d = Sio::Text_vor_Semikolon(L);
        std::string spieler;
        if (!d.empty() && d.find(',') != std::string::npos && d.find('#') == std::string::npos &&
            !L.empty() && L[0] == ' ')
            spieler = std::to_string(wahl.nummer ? wahl.nummer() : 1);
        if (d.find('#') != std::string::npos) L.erase(L.find('#'), 1);
        d = Sio::Text_vor_Semikolon(L);
        if (raster.RowCount() < next + 1) raster.setRowCount(next + 1);
        raster.Row = next;
        raster.Zeile_fuellen(spieler, trimmed(Sio::Text_vor_Komma(d)),
                             trimmed(Sio::Text_nach_Komma(d)), "",
                             trimmed(Sio::Text_nach_Semikolon(L)));
        ++next;
        raster.setRowCount(next + 1);
    }
    while (next <= 15) {
        raster.setRowCount(next + 1);
        raster.Row = next;
        raster.Inhalte_loeschen();
        ++next;
    }
    raster.Row = 1;
    raster.Laengen_berechnen();
    raster.Editieren_an();
}

Zeilen Zeilen_aus_Text(std::string_view bytes) {
    Zeilen out;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t nl = bytes.find('\n', start);
        std::size_t end = nl == std::string_view::npos ? bytes.size() : nl;
        std::size_t stop = end;
        if (stop > start && bytes[stop - 1] == '\r') --stop;
        out.emplace_back(bytes.substr(start, stop - start));
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    return out;
}

std::string Text_aus_Zeilen(const Zeilen& zeilen) {
    std::string s;
    for (const std::string& z : zeilen) {
        s += z;
        s += "\r\n";
    }
    return s;
}

} // namespace video
