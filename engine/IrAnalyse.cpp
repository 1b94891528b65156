#include "engine/IrAnalyse.h"

#include "engine/IrCapture.h"
#include "engine/Sio.h"
#include "engine/SioText.h"
#include "platform/Errors.h"

#include <algorithm>
#include <limits>

namespace Sio {

namespace {

std::string zt(std::int64_t v) {
    return Zahl_Text(Auf_int32_begrenzt(v));
}

void voranstellenUndZeigen(std::string_view text) {
    IR_Fehlertext.insert(0, text);
    Debug_WriteLn(IR_Fehlertext);
}

} // namespace

bool Totzeiten_abziehen(std::span<std::int64_t> d, std::int64_t A) {
    auto at = [&](std::int64_t i) -> std::int64_t& { return tabelle(d, i, "IR_Messwerte"); };
    bool zuKurz = false;
    for (std::int64_t i = 1;; i += 2) {
        std::int64_t& puls = at(i);
        if (puls != 0 && puls > A) puls -= A;
        if (puls != 0 && puls <= A) zuKurz = true;
        if (at(i + 1) != 0) at(i + 1) += A;
        if (at(i + 2) == 0 || at(i + 1) == 0) break;
    }
    return zuKurz;
}

void Korrigiere_Totzeiten() {
    const std::int64_t A = Abfallzeit_IR_Detektor;
    Debug_WriteLn("*** Korrigiere_Totzeiten ***");
    Debug_WriteLn("Abfallzeit_IR_Detektor (usec)  " + zt(A));
    const bool zuKurz = Totzeiten_abziehen(IR_Messwerte, A);
    Messwerte_ausgeben();
    if (zuKurz) IR_Fehlertext.insert(0, "Impuls zu kurz ");
}

void Bestimme_Min_Max() {
    std::int64_t mn = Messwert(1), mx = Messwert(1);
    for (std::int64_t i = 3; Messwert(i) != 0; i += 2) {
        mn = std::min(mn, Messwert(i));
        mx = std::max(mx, Messwert(i));
    }
    kuerzester_Impuls = Auf_int32_begrenzt(mn);
    laengster_Impuls = Auf_int32_begrenzt(mx);
    Debug_WriteLn("kuerzester_Impuls" + zt(mn) + "laengster_Impuls" + zt(mx));
    mn = mx = Messwert(2);
    for (std::int64_t i = 2; Messwert(i) != 0; i += 2) {
        mn = std::min(mn, Messwert(i));
        mx = std::max(mx, Messwert(i));
    }
    kuerzeste_Pause = Auf_int32_begrenzt(mn);
    laengste_Pause = Auf_int32_begrenzt(mx);
    Debug_WriteLn("kuerzeste_Pause" + zt(mn) + "laengste_Pause" + zt(mx));
}

void Suche_Wiederholung_und_Korrigiere_Messwerte() {
    Debug_WriteLn("*** Suche_Wiederholung_und_Korrigiere_Messwerte ***");
    const std::int64_t T = 3 * (static_cast<std::int64_t>(laengster_Impuls) + kuerzeste_Pause);
    Debug_WriteLn("Zeit_zwischen_Befehlen  " + zt(T));
    Anzahl_Befehlspausen = 0;
    bool falsch = false;
    std::array<std::int64_t, Max_Befehlspausen + 1> P{}; // P[1..20]
    std::int64_t k = 0;
    for (std::int64_t i = 1; i <= IR_Burstende; ++i) {
        if (Messwert(i) > T) {
            ++k;
            Anzahl_Befehlspausen = static_cast<std::int32_t>(k);
            tabelle(P, k, "Aufsetzpunkte") = i;
            Debug_WriteLn("Anzahl_Befehlspausen " + zt(k) + " bei " + zt(i) + " (" + zt(k * P[1]) +
                          ")");
            if (i != k * P[1]) {
                falsch = true;
                Debug_WriteLn("Falscher_Aufsetzpunkt");
            }
        }
    }
    Debug_WriteLn("Anzahl_Befehlspausen " + zt(k));
    Debug_WriteLn("IR_Burstende " + zt(IR_Burstende) + " (" + zt((k + 1) * P[1] - 1) + ")");
    Anzahl_Wiederholungen = static_cast<std::int32_t>(k + 1);
    if (static_cast<std::int64_t>(IR_Burstende) + 1 != Anzahl_Wiederholungen * P[1]) {
        --Anzahl_Wiederholungen;
        Debug_WriteLn("dec (Anzahl_Wiederholungen)");
        voranstellenUndZeigen("*Wiederhlg teilweise*");
    }
    Debug_WriteLn("Anzahl_Wiederholungen : " + zt(Anzahl_Wiederholungen));
    for (std::int64_t s = 1; s <= Anzahl_Wiederholungen - 1; ++s)
        Debug_Write("A.Pkt [" + zt(s) + "] =" + zt(P[static_cast<std::size_t>(s)]));
    if (Anzahl_Wiederholungen > 1) Debug_WriteLn("");
    if (falsch) voranstellenUndZeigen(" * Aufsetzpunkt falsch*");

    // The first frame takes, entry by entry, the largest value over all
    // frames: the detector shortens what it sees, never lengthens it.
    if (P[1] > 0) {
        for (std::int64_t s = 1; s <= Anzahl_Wiederholungen - 1; ++s)
            for (std::int64_t j = 1; j <= P[1]; ++j)
                Messwert(j) = std::max(Messwert(j), Messwert(P[static_cast<std::size_t>(s)] + j));
        for (std::int64_t j = 1; j <= P[1]; ++j) {
            if ((j - 1) % 16 == 0) {
                Debug_WriteLn("");
                Debug_Write(zt(j) + ": ");
            }
            Debug_Write(zt(Messwert(j)));
        }
        Debug_WriteLn("");
    }
    if (Anzahl_Befehlspausen > 0) Last_correct_Bit = Auf_int32_begrenzt(P[1] - 1);
    Debug_WriteLn("Last_correct_Bit " + zt(Last_correct_Bit));
}

std::int32_t Bit_Mittel(std::int32_t erster, std::int32_t letzter) {
    std::int64_t x = Messwert(erster);
    for (std::int64_t i = static_cast<std::int64_t>(erster) + 2; i <= letzter; i += 2)
        x = std::min(x, Messwert(i));
    const std::int64_t grenze = (3 * x) / 2;
    std::int64_t summe = 0;
    std::int64_t anzahl = 0;
    for (std::int64_t i = erster; i == erster || i <= letzter; i += 2) {
        if (Messwert(i) < grenze) {
            summe += Messwert(i);
            ++anzahl;
        }
    }
    const std::int64_t mittel = anzahl > 0 ? summe / anzahl : 1;
    Debug_Write("X_Minimum : " + zt(x));
    Debug_Write(" Bit_Mittel : " + zt(mittel) + " (" + zt(anzahl) + ")");
    return Auf_int32_begrenzt(mittel);
}

void Bestimme_Bitlaenge() {
    if (Last_correct_Bit < 3) Last_correct_Bit = IR_Burstende;
    AN_Bit_Zeit = Bit_Mittel(1, Last_correct_Bit);
    Debug_WriteLn("* Best._Bitlg, AN_Bit_Zeit : " + zt(AN_Bit_Zeit));
    AUS_Bit_Zeit = Bit_Mittel(2, Last_correct_Bit);
    Debug_WriteLn("* Best._Bitlg, AUS_Bit_Zeit : " + zt(AUS_Bit_Zeit));
}

void Puzzle_Bits_Auseinander(std::int32_t start, std::int32_t& ende, TBytetabelle& B) {
    Debug_WriteLn("*** Puzzle_Bits_Auseinander *** Start : " + zt(start));
    Debug_WriteLn("geschaetzte_Stop_Bitlaenge  : " + zt(Stop_Bitlaenge));
    std::array<std::int32_t, 301> H{};
    B.fill(0);
    Bestimme_Bitlaenge();
    std::int64_t e = start;
    // Both means are at least 1, so b is too; the guard keeps a division by
    // zero out whatever the table holds.
    const std::int64_t b =
        std::max<std::int64_t>((static_cast<std::int64_t>(AN_Bit_Zeit) + AUS_Bit_Zeit) / 2, 1);
    Debug_WriteLn("Mittlere_Bit_Laenge " + zt(b));

    std::int64_t m = 0;
    while (Messwert(e) != 0 && Messwert(e) / b < Stop_Bitlaenge) {
        const std::int64_t h = std::max<std::int64_t>(Messwert(e) * 100 / b, 1);
        H[static_cast<std::size_t>(m)] = Auf_int32_begrenzt(h);
        if (m % 16 == 0) Debug_WriteLn("");
        Debug_Write(zt(h));
        ++e;
        if (m < 297) ++m;
    }
    H[static_cast<std::size_t>(m)] = 0;
    H[static_cast<std::size_t>(m) + 1] = 0;
    --e;
    ende = Auf_int32_begrenzt(e);
    Debug_WriteLn("");
    Debug_WriteLn("Ende des Befehls bei : " + zt(e));

    std::int32_t p = 0;
    std::int32_t j = 0;
    for (std::int64_t l = 0; l < m; ++l) {
        const std::int64_t c = Runden(H[static_cast<std::size_t>(l)] / 100.0);
        for (std::int64_t t = 0; t < c; ++t) {
            p %= 8;
            if (p == 0 && j < 99) ++j;
            if (l % 2 == 0)
                B[static_cast<std::size_t>(j)] =
                    (B[static_cast<std::size_t>(j)] + (128 >> p)) % 256;
            ++p;
        }
    }
    B[static_cast<std::size_t>(j) + 1] = -1;
    Debug_WriteLn(Bytes_nach_Hextext(B));
}

void Bestimme_Basisbefehle() {
    Debug_WriteLn("Bestimme_Basisbefehle");
    std::int32_t n = 0;
    std::int32_t a = 1;
    // The index test comes first so that no entry beyond the array is read.
    while (a < Stempel_Grenze && Messwert(a) != 0 && n < Max_Rahmen) {
        ++n;
        std::int32_t ende = a;
        Puzzle_Bits_Auseinander(a, ende, Basisbefehle[static_cast<std::size_t>(n)]);
        if (n == 1) {
            Single_Laenge = ende;
            Debug_WriteLn("Single_Laenge " + zt(ende));
        }
        if (n == 2) Debug_WriteLn("Pausen Laenge " + zt(Messwert(a - 1)));
        a = ende + 2;
    }
    Debug_WriteLn("Wiederholungs_zaehler : " + zt(n));
    for (std::int32_t t = 1; t <= n; ++t)
        Debug_WriteLn(zt(t) + " : " +
                      Bytes_nach_Hextext(Basisbefehle[static_cast<std::size_t>(t)]));
}

std::string Bytes_nach_Hextext(const TBytetabelle& bytes) {
    std::string text;
    for (std::int64_t i = 1;; ++i) {
        if (i >= static_cast<std::int64_t>(bytes.size()))
            throw ERangeError("Bereichsfehler: Bytetabelle ohne Endemarke");
        const std::int32_t v = bytes[static_cast<std::size_t>(i)];
        if (v < 0) break;
        text += Byte_nach_Hex(static_cast<std::uint8_t>(v & 0xFF));
        text += ' ';
    }
    return text;
}

} // namespace Sio
