#include "engine/Panasonic.h"

#include "engine/EditLine.h"
#include "engine/SioText.h"

#include <algorithm>
#include <cstdlib>

namespace Sio {

void Pana_Laufzeiten_lesen(std::int32_t Max_Laeufe, std::int32_t Grenze) {
    // A read too short for a frame must leave no old frame for the decoder.
    Pana_Laufzeit[63] = -1;
    Pana_Laufzeit[64] = -1;
    Pana_Laufzeit[65] = -1;
    Pana_CTS[0] = 0;
    Pana_CTS[1] = 0;
    Lese_Rahmenbeginn = 0;
    // The run and its end mark must fit in the tables.
    const std::int32_t m =
        std::min<std::int32_t>(Max_Laeufe, static_cast<std::int32_t>(Pana_Laufzeit.size()) - 2);
    std::int32_t i = 0;
    std::int32_t j = 0;
    do {
        Lesewache_Abfrage();
        const std::uint8_t msr = Port_Lesen(Port_MSR);
        if (msr & MSR_DDSR) {
            // The first edge, waited for in the pause, starts the frame.
            if (i == 0 && j >= Grenze / 4) Lese_Rahmenbeginn = Zaehlerstand();
            tabelle(Pana_Laufzeit, i, "Pana_Laufzeit") = j;
            j = 0;
            ++i;
            tabelle(Pana_CTS, i, "Pana_CTS") = 0;
        } else {
            ++j;
        }
        if (msr & MSR_CTS) ++tabelle(Pana_CTS, i, "Pana_CTS");
    } while (i < m && j <= Grenze);
    tabelle(Pana_Laufzeit, i, "Pana_Laufzeit") = j;
    tabelle(Pana_Laufzeit, i + 1, "Pana_Laufzeit") = -1;
}

void Bestimme_Pana_Schwelle() {
    Pana_Laufzeiten_lesen(340, Anfragen_Sec);
    Pana_Mittel =
        Mittelwert_ueber(Pana_Laufzeit, static_cast<std::int32_t>(Pana_Laufzeit.size()) - 1, 0);
    const std::int32_t m2 = Mittelwert_ueber(
        Pana_Laufzeit, static_cast<std::int32_t>(Pana_Laufzeit.size()) - 1, Pana_Mittel);
    const std::int32_t m3 =
        Mittelwert_ueber(Pana_Laufzeit, static_cast<std::int32_t>(Pana_Laufzeit.size()) - 1, m2);
    Pana_Schwelle = static_cast<std::int32_t>(static_cast<std::int64_t>(m3) * 3 / 5);
}

void Pana_Lesen() {
    Pana_Laufzeiten_lesen(340, Pana_Schwelle);
}

namespace {

std::int32_t Sekunden_von(const Bandposition& p) {
    return (p.Stunden * 60 + p.Minuten) * 60 + p.Sekunden;
}

// A frame of hours, minutes and seconds carries no frames: when it moves the
// second by one while the frames of the last frame still stand on the far
// side of the old second, they start the new one (forward) or end it (back).
// True when it set them.
bool Bilder_anpassen(Bandposition& p, std::int32_t schritt) {
    const std::int32_t u = Halbbilder_pro_Sekunde > 0 ? Halbbilder_pro_Sekunde : 50;
    if (schritt == 1 && p.Halbbilder >= u / 2)
        p.Halbbilder = 0;
    else if (schritt == -1 && p.Halbbilder < u / 2)
        p.Halbbilder = u - 2;
    else
        return false;
    return true;
}

// The frame decoded last was of this channel, at most a field and a half ago
// (frames of one read are decoded together).
bool Feld_davor() {
    const std::int64_t seit = Zaehlerstand() - Pana_Letzter_Rahmen.Zeit;
    return Pana_Letzter_Rahmen.Kanal == Leitungskanal && seit >= 0 &&
           seit <= Zaehlerfrequenz() * 3 / (2 * 50);
}

// A frame of minutes, seconds and frames carries only the units digit of the
// minutes. The tens and the hour come from the last decoded position, moved on
// when the units wrap: of the tens below, at and above, the one that puts the
// new position nearest the last one (9 -> 0 going forward, 0 -> 9 back; both
// ways through an hour).
void Minuten_nachfuehren(Bandposition& p, std::int32_t einer, std::int32_t sekunden) {
    const std::int32_t vorher = (p.Stunden * 60 + p.Minuten) * 60 + p.Sekunden;
    std::int32_t best_h = p.Stunden, best_m = p.Minuten / 10 * 10 + einer;
    std::int32_t best_abstand = -1;
    for (const std::int32_t schritt : {0, -10, 10}) {
        std::int32_t h = p.Stunden;
        std::int32_t m = p.Minuten / 10 * 10 + schritt + einer;
        if (m >= 60) {
            m -= 60;
            ++h;
        } else if (m < 0) {
            m += 60;
            --h;
        }
        if (h < 0 || h > 9) continue;
        const std::int32_t abstand = std::abs((h * 60 + m) * 60 + sekunden - vorher);
        if (best_abstand < 0 || abstand < best_abstand) {
            best_abstand = abstand;
            best_h = h;
            best_m = m;
        }
    }
    p.Stunden = best_h;
    p.Minuten = best_m;
}

} // namespace

std::int32_t Pana_Dekodieren() {
    std::int32_t rahmen = 0;
    Pana_Stundenrahmen = 0;
    Pana_Bytes.fill(0);
    Bandposition& position = Kanal_Position(Pana_Kanal_Position, Pana_Position);
    // The frame before in this read (the field before) gave the frames.
    bool bilder_davor = false;
    for (std::int32_t i = 64; i <= 450; ++i) {
        const std::int32_t lauf = tabelle(Pana_Laufzeit, i, "Pana_Laufzeit");
        if (lauf < 0) break;
        if (lauf < Pana_Schwelle || Pana_Laufzeit[i - 16] <= Pana_Mittel ||
            Pana_Laufzeit[i - 32] <= Pana_Mittel || Pana_Laufzeit[i - 48] <= Pana_Mittel ||
            Pana_Laufzeit[i - 64] <= Pana_Mittel)
            continue;
        // A frame ends before run i; each bit is read in the second of its two runs.
        ++rahmen;
        for (std::int32_t o = 111; o >= 1; o -= 2) {
            if (o > i) continue;
            const std::int32_t k = 7 - o / 16;
            Pana_Bytes[k] = (Pana_Bytes[k] * 2) & 0xFF;
            if (Pana_CTS[i - o] <= 1) Pana_Bytes[k] += 1;
        }
        const auto b4 = static_cast<std::uint8_t>(Pana_Bytes[4]);
        const auto b5 = static_cast<std::uint8_t>(Pana_Bytes[5]);
        const auto b6 = static_cast<std::uint8_t>(Pana_Bytes[6]);
        const auto b7 = static_cast<std::uint8_t>(Pana_Bytes[7]);
        position.Vorzeichen = (b5 & 0x10) ? '-' : ' ';
        Pana_Status = b4;
        Pana_Statustext = Pana_Symbol(b4 & 0x0F) + " " + Byte_nach_Hex(b4);
        if ((b5 & 0x60) == 0x20) {
            ++Pana_Stundenrahmen;
            const std::int32_t vorher = Sekunden_von(position);
            const std::int32_t u = Halbbilder_pro_Sekunde > 0 ? Halbbilder_pro_Sekunde : 50;
            position.Stunden = BCD_nach_Zahl(b5 & 0x0F);
            position.Minuten = BCD_nach_Zahl(b6);
            position.Sekunden = BCD_nach_Zahl(b7);
            const std::int32_t richtung = (b4 & 0x0F) == 3 ? 1 : (b4 & 0x0F) == 2 ? -1 : 0;
            const auto beim_Spulen = richtung != 0 && bilder_davor && position.Vorzeichen == ' '
                                         ? Bilder_beim_Spulen(vorher * u + position.Halbbilder,
                                                              Sekunden_von(position) * u, richtung)
                                         : std::nullopt;
            // The frames go on from the frame before only when it came a
            // field ago on this channel.
            const std::int32_t davor = Feld_davor() ? Pana_Letzter_Rahmen.Seit_Bildern : -1;
            std::int32_t seit = davor >= 0 ? davor + 1 : -1;
            if (!Pana_Bilder_gesehen) {
                position.Halbbilder = 0;
                seit = -1;
            } else if (beim_Spulen) {
                position.Halbbilder = *beim_Spulen;
                seit = 0;
            } else if (Bilder_anpassen(position, Sekunden_von(position) - vorher) && davor == 0) {
                seit = 0;
            }
            bilder_davor = false;
            Pana_Letzter_Rahmen.Seit_Bildern = seit;
        } else if ((b5 & 0x60) == 0x60) {
            Minuten_nachfuehren(position, BCD_nach_Zahl(b5 & 0x0F), BCD_nach_Zahl(b6));
            position.Sekunden = BCD_nach_Zahl(b6);
            position.Halbbilder = BCD_nach_Zahl(b7) * 2;
            Pana_Bilder_gesehen = true;
            bilder_davor = true;
            Pana_Letzter_Rahmen.Seit_Bildern = 0;
        }
        Pana_Letzter_Rahmen.Kanal = Leitungskanal;
        Pana_Letzter_Rahmen.Zeit = Zaehlerstand();
        Pana_Position = position;
    }
    return rahmen;
}

void Pana_Warte_auf_Position(std::int32_t Ziel, std::int32_t Extra) {
    const Wartelinie linie{
        Pana_Lesen, Pana_Verlust_Grenze_us, Pana_Dekodieren,
        []() -> const Bandposition& { return Kanal_Position(Pana_Kanal_Position, Pana_Position); },
        [] {
            return Pana_Letzter_Rahmen.Kanal == Leitungskanal ? Pana_Letzter_Rahmen.Seit_Bildern
                                                              : -1;
        }};
    Warte_mit(linie, Ziel, Extra);
}

std::array<std::uint8_t, 8> Pana_Leitungswerte(std::uint8_t Code) {
    std::array<std::uint8_t, 8> v{};
    for (int b = 7; b >= 0; --b)
        v[static_cast<std::size_t>(b)] = (Code & (1u << b)) ? 0x00 : 0x40; // 0: break, TXD low
    return v;
}

std::int32_t Pana_Send(std::uint8_t Code, std::uint8_t Erwartet, std::int32_t Versuche,
                       bool Immer_senden) {
    const std::int32_t verzoegerung = Drehg_mSec / 100; // 10 µs
    std::int32_t zaehler = 0;
    const auto vorher = static_cast<std::uint8_t>(Pana_Status & 0x0F);
    UART_Setup(115, 0);
    const std::uint16_t lcr = static_cast<std::uint16_t>(Port_Basis() + 3);
    const auto v = Pana_Leitungswerte(Code);
    Pana_Lesen();
    Pana_Dekodieren();
    if ((Pana_Status & 0x0F) != Erwartet || Immer_senden) {
        do {
            // Every wait for a clock edge is bounded; a missed edge fails the try.
            bool ok = true;
            for (int k = 0; k < 2 && ok; ++k) {
                (void)Port_Lesen(Port_MSR);
                (void)Port_Lesen(Port_MSR);
                ok = Warte_auf_MSR(MSR_DDSR);
                if (ok) Pana_Laufzeiten_lesen(500, Pana_Mittel);
            }
            if (ok) {
                Port_Schreiben(lcr, v[7]);
                (void)Port_Lesen(Port_MSR);
                ok = Warte_auf_MSR(MSR_DDSR) && Warte_auf_MSR(MSR_DDSR);
            }
            for (int b = 6; b >= 0 && ok; --b) {
                ok = Warte_auf_MSR(MSR_DDSR);
                if (!ok) break;
                Port_Schreiben(lcr, v[static_cast<std::size_t>(b)]);
                ok = Warte_auf_MSR(MSR_DDSR);
            }
            if (ok) Warteschleife(verzoegerung);
            Port_Schreiben(lcr, 3); // TXD back to idle
            (void)Port_Lesen(Port_MSR);
            (void)Port_Lesen(Port_MSR);
            if (ok) {
                Pana_Lesen();
                Pana_Dekodieren();
            }
            ++zaehler;
        } while ((Pana_Status & 0x0F) != Erwartet && zaehler <= Versuche);
    }
    Debug_WriteLn("Pana_Send Befehl : $" + Byte_nach_Hex(Code) + " # Versuche : " +
                  Zahl_Text(zaehler) + " Status vorher/hinterher $" + Byte_nach_Hex(vorher) + "/$" +
                  Byte_nach_Hex(static_cast<std::uint8_t>(Pana_Status & 0x0F)));
    return zaehler;
}

} // namespace Sio
