#include "engine/ControlL.h"

#include "engine/EditLine.h"
#include "engine/SioText.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Sio {

namespace {

// Interrupts stay off over a byte pair or a probe, also when a wait gives up.
class Interrupts_aus {
public:
    Interrupts_aus() { platform::ports().interruptsOff(); }
    ~Interrupts_aus() { platform::ports().interruptsOn(); }
    Interrupts_aus(const Interrupts_aus&) = delete;
    Interrupts_aus& operator=(const Interrupts_aus&) = delete;
};

bool Warte_auf_Daten() {
    const std::int32_t grenze = Flanken_Grenze();
    for (std::int32_t i = 0; i < grenze; ++i)
        if (Port_Lesen(Port_LSR) & LSR_DR) return true;
    return false;
}

std::int32_t Sekunden_von(const Bandposition& p) {
    return (p.Stunden * 60 + p.Minuten) * 60 + p.Sekunden;
}

std::int32_t Einheiten() {
    return Halbbilder_pro_Sekunde > 0 ? Halbbilder_pro_Sekunde : 50;
}

// A frame set this field at most four fields ago (the frames of a status
// read and its next reads): the counter cannot have moved far since (winding
// excepted, see the step limit below).
bool frisch(std::int64_t zeit) {
    const std::int64_t seit = Zaehlerstand() - zeit;
    return seit >= 0 && seit <= Zaehlerfrequenz() * 4 / 50;
}

bool Bilder_frisch() {
    return frisch(Sony_Zeit_bei_Bildern);
}

// Which way a winding deck's count runs (status fast forward or rewind), 0
// when it does not wind.
std::int32_t Spulrichtung() {
    return Sony_Status == 3 ? 1 : Sony_Status == 131 ? -1 : 0;
}

// The frames carry the count's magnitude: below zero it runs against the
// winding direction.
std::int32_t Betragsrichtung(char vorzeichen) {
    return vorzeichen == '-' ? -Spulrichtung() : Spulrichtung();
}

// The frame just before this one, on this channel, came a field ago.
bool Rahmen_davor_frisch() {
    return Sony_Letzter_Rahmen.Kanal == Leitungskanal && frisch(Sony_Letzter_Rahmen.Zeit);
}

// The deck winds, and the frame just before this one, on this channel, was
// of the kind given: the two lie one field apart.
bool Spult_nach(bool (*art)(std::int32_t)) {
    return Spulrichtung() != 0 && art(Sony_Letzter_Rahmen.Art) && Rahmen_davor_frisch();
}
bool Sekundenrahmen(std::int32_t art) {
    return art == 2 || art == 3;
}
bool Bilderrahmen(std::int32_t art) {
    return art == 4;
}

// While winding the tape moves about half a second a field, more than the
// carry below can follow; the frames of seconds and of frames alternate, so a
// frame of frames lies about half a second on from the seconds of the frame
// just before it (on this channel, in this read), in the direction the
// magnitude runs; not across zero, where the sign changes.
bool Spult_nach_Sekunden(const Bandposition& p, char vorzeichen) {
    return vorzeichen == p.Vorzeichen && Spult_nach(Sekundenrahmen);
}

// Frame count f (units) within second s + k, k from -1 to 1, nearest to where
// the tape should be: the middle of the seconds frame's second, half a second
// on. Half a second from both (the lost half frame leaves either possible),
// the frame nearest to that place instead.
struct Wickel {
    std::int32_t schritt;
    std::int32_t halbbilder;
};
Wickel Wickel_Schritt(std::int32_t halbbilder, std::int32_t richtung) {
    const std::int32_t u = Einheiten();
    // In half units from the start of the seconds frame's second.
    const std::int32_t ziel = (u - 1) + richtung * 2 * (u / 2);
    std::int32_t abstand[3];
    for (std::int32_t k = -1; k <= 1; ++k)
        abstand[k + 1] = std::abs(2 * (k * u + halbbilder) + 1 - ziel);
    const std::int32_t beste = static_cast<std::int32_t>(
        std::min_element(std::begin(abstand), std::end(abstand)) - std::begin(abstand));
    std::int32_t zweiter = std::numeric_limits<std::int32_t>::max();
    for (std::int32_t i = 0; i < 3; ++i)
        if (i != beste) zweiter = std::min(zweiter, abstand[i]);
    if (zweiter - abstand[beste] > 4) return {beste - 1, halbbilder};
    // ziel is odd: the frame that starts half a unit before it.
    const std::int32_t mitte = (ziel - 1) / 2;
    const std::int32_t k = mitte < 0 ? -1 : mitte / u;
    const std::int32_t rest = mitte - k * u;
    return {k, rest - rest % 2};
}

// The second moves by schritt; a seconds counter has no minutes to carry into.
void Sekunde_weiter(Bandposition& p, std::int32_t schritt) {
    if (schritt == 0) return;
    if (Sony_Sekundenzaehler) {
        p.Sekunden = std::max(0, p.Sekunden + schritt);
        return;
    }
    const std::int32_t t = Sekunden_von(p) + schritt;
    if (t >= 0) {
        p.Stunden = t / 3600;
        p.Minuten = t / 60 % 60;
        p.Sekunden = t % 60;
    }
}

// The hours of a frame of frames belong to the tape now. Next to an hour mark
// they tell on which side of it the tape stands where the seconds before
// left both open: the second moves across the mark to the hour the frame
// gives, with the frame's own frames.
bool Stunde_der_Bilder(Bandposition& p, std::int32_t stunden) {
    if (Sony_Sekundenzaehler) return false;
    const std::int32_t in_Stunde = p.Minuten * 60 + p.Sekunden;
    if (stunden == p.Stunden + 1 && in_Stunde == 3599) {
        p.Minuten = p.Sekunden = 0;
        return true;
    }
    if (stunden == p.Stunden - 1 && in_Stunde == 0) {
        p.Minuten = p.Sekunden = 59;
        return true;
    }
    return false;
}

// A frame of frames (kind 4) carries no seconds, a frame of seconds (kind 3
// or 2) no frames: where the second changes, a position built from both can
// be a second off. When the frame count wraps (48 -> 0 as the counter's
// magnitude grows, 0 -> 48 as it shrinks) by a small step with no frame of
// seconds between, the second moves on; when a frame of seconds moves the
// second by one while the frames still stand on the far side of the old one,
// the frames start the new second. The next frame sets each field anew.
void Bilder_setzen(Bandposition& p, std::int32_t stunden, char vorzeichen,
                   std::int32_t halbbilder) {
    const std::int32_t alt = p.Halbbilder;
    const std::int32_t eigene = halbbilder;
    const std::int32_t grenze = Einheiten() / 2 - 2; // under half a second
    std::int32_t schritt = 0;
    if (Spult_nach_Sekunden(p, vorzeichen)) {
        const Wickel w = Wickel_Schritt(halbbilder, Betragsrichtung(vorzeichen));
        schritt = w.schritt;
        halbbilder = w.halbbilder;
    } else if (Bilder_frisch() && Sekunden_von(p) == Sony_Sekunden_bei_Bildern &&
               p.Vorzeichen == vorzeichen) {
        if (alt > halbbilder && halbbilder + Einheiten() - alt <= grenze)
            schritt = 1;
        else if (halbbilder > alt && alt + Einheiten() - halbbilder <= grenze)
            schritt = -1;
    }
    Sekunde_weiter(p, schritt);
    if (Stunde_der_Bilder(p, stunden)) halbbilder = eigene;
    p.Stunden = stunden;
    p.Vorzeichen = vorzeichen;
    p.Halbbilder = halbbilder;
    // Seconds from a frame read long ago (before a wait's uncounted reads,
    // or a tick ago) are no base for a change of the second.
    Sony_Sekunden_bei_Bildern = frisch(Sony_Zeit_bei_Sekunden) ? Sekunden_von(p) : -1;
    Sony_Zeit_bei_Bildern = Zaehlerstand();
}

// A frame of minutes and seconds carries no hours: where its minutes wrap
// across an hour mark from the position a field before (59 -> 0 as the
// magnitude grows, 0 -> 59 as it shrinks), the hour moves on with them. A
// position from longer ago is no base: the next frame of hours sets it.
void Stunde_nachfuehren(Bandposition& p, std::int32_t alt_in_Stunde) {
    if (!Rahmen_davor_frisch()) return;
    const std::int32_t d = p.Minuten * 60 + p.Sekunden - alt_in_Stunde;
    if (d < -1800)
        ++p.Stunden;
    else if (d > 1800 && p.Stunden > 0)
        --p.Stunden;
}

// What a frame did to the frames of the position: left them, set them to
// the tape's field, or set them to the earliest field the tape can stand at.
enum class Bilder { unveraendert, gesetzt, fruehestens };

// vorher: the position in units before this frame of seconds.
Bilder Sekunden_gesetzt(Bandposition& p, std::int32_t vorher) {
    Sony_Zeit_bei_Sekunden = Zaehlerstand();
    const std::int32_t u = Einheiten();
    if (Spult_nach(Bilderrahmen)) {
        if (const auto h =
                Bilder_beim_Spulen(vorher, Sekunden_von(p) * u, Betragsrichtung(p.Vorzeichen))) {
            p.Halbbilder = *h;
            Sony_Sekunden_bei_Bildern = Sekunden_von(p);
            return Bilder::gesetzt;
        }
    }
    if (!Bilder_frisch() || Sony_Sekunden_bei_Bildern < 0) return Bilder::unveraendert;
    const std::int32_t d = Sekunden_von(p) - Sony_Sekunden_bei_Bildern;
    if (d == 1 && p.Halbbilder >= u / 2)
        p.Halbbilder = 0;
    else if (d == -1 && p.Halbbilder < u / 2)
        p.Halbbilder = u - 2;
    else
        return Bilder::unveraendert;
    Sony_Sekunden_bei_Bildern = Sekunden_von(p);
    // The change of the second lies between the field of the last frames and
    // this one. Only right after a frame that gave the frames is that this
    // field; after a frame lost between two reads the tape may stand a field
    // further on, and a wait counting from here would end a unit late.
    return Rahmen_davor_frisch() && Sony_Letzter_Rahmen.Seit_Bildern == 0 ? Bilder::gesetzt
                                                                          : Bilder::fruehestens;
}

} // namespace

std::int32_t Sony_Empfang(std::int32_t Max_Bytes, std::int32_t Grenze) {
    Sony_Bytes[0] = 0;
    Sony_Abfragen[0] = 0;
    Lese_Rahmenbeginn = 0;
    std::int32_t j = 0;
    std::int32_t i = 0;
    do {
        ++j;
        i = 0;
        while ((Port_Lesen(Port_LSR) & LSR_DR) == 0 && i <= Grenze) {
            Lesewache_Abfrage();
            ++i;
        }
        // A first byte waited for in the pause starts the frame; the receiver
        // holds it from its stop bit, a character (10 bits at 9600 baud) on.
        if (j == 1 && i >= Grenze / 4 && i <= Grenze)
            Lese_Rahmenbeginn = Zaehlerstand() - Zaehlerfrequenz() * 10 / 9600;
        Lesewache_Abfrage();
        const std::uint8_t b = Port_Lesen(Port_Daten);
        tabelle(Sony_Bytes, j, "Sony_Bytes") = static_cast<std::uint8_t>(~b);
        tabelle(Sony_Abfragen, j, "Sony_Abfragen") = i;
    } while (j < Max_Bytes && i < Grenze);
    tabelle(Sony_Bytes, j + 1, "Sony_Bytes") = 0;
    tabelle(Sony_Abfragen, j + 1, "Sony_Abfragen") = -1;
    return j;
}

std::int32_t Sony_Lesen() {
    return Sony_Empfang(20, Sony_Schwelle);
}

std::int32_t Bestimme_Sony_Schwelle() {
    UART_Init_9600();
    Sony_Schwelle = 0;
    if (Sony_Empfang(50, Anfragen_Sec) > 6) {
        const std::int32_t m1 =
            Mittelwert_ueber(Sony_Abfragen, static_cast<std::int32_t>(Sony_Abfragen.size()) - 1, 0);
        const std::int32_t m2 = Mittelwert_ueber(
            Sony_Abfragen, static_cast<std::int32_t>(Sony_Abfragen.size()) - 1, m1);
        Sony_Schwelle = static_cast<std::int32_t>(static_cast<std::int64_t>(m2) * 3 / 5);
    }
    return Sony_Schwelle;
}

std::int32_t Sony_Dekodieren() {
    std::int32_t rahmen = 0;
    for (std::int32_t i = 0; tabelle(Sony_Abfragen, i, "Sony_Abfragen") >= 0; ++i) {
        if (i <= 5 || Sony_Abfragen[i] <= Sony_Schwelle) continue;
        ++rahmen;
        // Byte i starts a frame: bytes i-4..i-1 are bytes 4 to 7 of the one before.
        const std::uint8_t status = Sony_Bytes[i - 4];
        const std::uint8_t art = Sony_Bytes[i - 3] >> 4;
        const std::uint8_t b6 = Sony_Bytes[i - 2];
        const std::uint8_t b7 = Sony_Bytes[i - 1];
        Sony_Status = status;
        Sony_Statustext = Sony_Symbol(status) + "  " + Byte_nach_Hex(status);
        Bandposition& p = Kanal_Position(Sony_Kanal_Position, Sony_Position);
        const std::int32_t vorher = Sekunden_von(p) * Einheiten() + p.Halbbilder;
        Bilder bilder = Bilder::unveraendert;
        switch (art) {
        case 2:
            p.Sekunden = BCD_nach_Zahl(b6) + b7 * 100;
            Sony_Sekundenzaehler = true;
            bilder = Sekunden_gesetzt(p, vorher);
            break;
        case 3: {
            Sony_Sekundenzaehler = false;
            const std::int32_t alt_in_Stunde = p.Minuten * 60 + p.Sekunden;
            p.Sekunden = BCD_nach_Zahl(b6);
            p.Minuten = BCD_nach_Zahl(b7);
            Stunde_nachfuehren(p, alt_in_Stunde);
            bilder = Sekunden_gesetzt(p, vorher);
            break;
        }
        case 4:
            Bilder_setzen(p, BCD_nach_Zahl(b6), (b7 & 0x80) ? '-' : ' ',
                          BCD_nach_Zahl(b7 & 0x3F) * 2);
            bilder = Bilder::gesetzt;
            break;
        default:
            break;
        }
        std::int32_t seit = -1;
        if (bilder == Bilder::gesetzt)
            seit = 0;
        else if (bilder == Bilder::unveraendert && Sony_Letzter_Rahmen.Seit_Bildern >= 0 &&
                 Sony_Letzter_Rahmen.Kanal == Leitungskanal)
            seit = Sony_Letzter_Rahmen.Seit_Bildern + 1;
        Sony_Letzter_Rahmen = {art, Leitungskanal, Zaehlerstand(), seit};
        Sony_Position = p;
    }
    return rahmen;
}

void Sony_Warte_auf_Position(std::int32_t Ziel, std::int32_t Extra) {
    // The frames of the measurement are decoded: a frame of frames just past
    // a change of the second then has fresh frames before it, and does not
    // join the seconds of the frame before it into a count a second low (the
    // wait would end a second late). They are not the wait's own: the
    // measurement may end between a frame and the pause that marks it.
    Bestimme_Sony_Schwelle();
    Sony_Dekodieren();
    const Wartelinie linie{
        [] { Sony_Lesen(); }, Sony_Verlust_Grenze_us, Sony_Dekodieren,
        []() -> const Bandposition& { return Kanal_Position(Sony_Kanal_Position, Sony_Position); },
        [] {
            return Sony_Letzter_Rahmen.Kanal == Leitungskanal ? Sony_Letzter_Rahmen.Seit_Bildern
                                                              : -1;
        }};
    if (!Warte_mit(linie, Ziel, Extra))
        Debug_WriteLn("dbg_ SW_Timeout " + Position_nach_Text(linie.position()));
}

Sony_Zeichen Sony_Sendebyte(std::uint8_t b) {
    std::int32_t p = 0;
    for (std::int32_t n = 7; n >= 0; --n)
        if (b & (1u << n)) p = n + 1;
    return {p, static_cast<std::uint8_t>(~(b >> p))};
}

void Ausgleichsgerade(std::span<std::int32_t> Tabelle, std::int32_t Erster, std::int32_t Letzter,
                      std::int32_t n) {
    double N = 0, X = 0, Y = 0, S = 0, T = 0;
    for (std::int32_t x = Erster; x <= Letzter; ++x) {
        const double y = tabelle(Tabelle, x, "Ausgleichsgerade");
        N += 1;
        X += x;
        Y += y;
        S += static_cast<double>(x) * x;
        T += x * y;
    }
    const double D = N * S - X * X;
    double steigung = 1;
    double achse = 1;
    if (std::fabs(D) > 3e-7) {
        steigung = (N * T - X * Y) / D;
        achse = (S * Y - X * T) / D;
    }
    for (std::int32_t i = 0; i <= n; ++i) {
        const double v = std::nearbyint(achse + steigung * i);
        if (!(v >= std::numeric_limits<std::int32_t>::min() &&
              v <= std::numeric_limits<std::int32_t>::max()))
            throw ERangeError("Bereichsfehler: Ausgleichsgerade");
        tabelle(Tabelle, i, "Ausgleichsgerade") = static_cast<std::int32_t>(v);
    }
}

std::int32_t Sony_Verzoegerung(std::int32_t n) {
    CTL_Verzoegerung[1] = Sony1;
    CTL_Verzoegerung[2] = Sony2;
    Ausgleichsgerade(CTL_Verzoegerung, 1, 2, 8);
    return tabelle(CTL_Verzoegerung, n, "CTL_Verzoegerung");
}

std::int32_t CTL_send(std::uint8_t Adresse, std::uint8_t Befehl, std::uint8_t Erwartet,
                      std::int32_t Versuche, bool Immer_senden) {
    std::int32_t zaehler = 0;
    const std::uint8_t vorher = Sony_Status;
    std::uint8_t nachher = vorher;
    if ((vorher != Erwartet || Immer_senden) && Sony_Schwelle != 0 && Adresse != 0 && Befehl != 0) {
        // 0.93 ms in turns; 64 bits, as Drehg_mSec x 930 passes 2^31 on a fast PC.
        const auto basis =
            static_cast<std::int32_t>(static_cast<std::int64_t>(Drehg_mSec) * 930 / 1000);
        const Sony_Zeichen z1 = Sony_Sendebyte(Adresse);
        const std::int32_t d1 = Sony_Verzoegerung(z1.p - 1);
        const std::int32_t dm = basis - d1;
        const Sony_Zeichen z2 = Sony_Sendebyte(Befehl);
        const std::int32_t d2 = Sony_Verzoegerung(z2.p - 1);
        Sony_Lesen();
        do {
            bool gesendet = false;
            (void)Port_Lesen(Port_MSR);
            {
                Interrupts_aus aus;
                if (Warte_auf_MSR(MSR_DCTS)) {
                    Warteschleife(d1);
                    Port_Schreiben(Port_Daten, z1.Zeichen);
                    Warteschleife(dm);
                    (void)Port_Lesen(Port_MSR);
                    if (Warte_auf_MSR(MSR_DCTS)) {
                        Warteschleife(d2);
                        Port_Schreiben(Port_Daten, z2.Zeichen);
                        gesendet = true;
                    }
                }
            }
            // A missed bus edge makes this a failed try.
            if (gesendet) {
                Sony_Lesen();
                nachher = Sony_Bytes[5]; // bytes 1 and 2 are the echoes of the pair
            }
            ++zaehler;
        } while (nachher != Erwartet && zaehler < Versuche);
        if (zaehler >= Versuche)
            Debug_WriteLn("Max. Anzahl Versuche " + Zahl_Text(Versuche) +
                          " ueberschritten,  Sony_Schwelle " + Zahl_Text(Sony_Schwelle));
        if (nachher != Erwartet && Erwartet != 0) {
            std::string bytes;
            std::string abfragen;
            for (int k = 0; k <= 15; ++k) {
                bytes += Byte_nach_Hex(Sony_Bytes[k]) + " ";
                abfragen += Zahl_Text(Sony_Abfragen[k]) + " ";
            }
            Debug_WriteLn(bytes);
            Debug_WriteLn(abfragen);
        }
    }
    Debug_WriteLn("CTL_send Befehl : $" + Byte_nach_Hex(Befehl) +
                  " # Versuche : " + Zahl_Text(zaehler) + " Status vorher/hinterher $" +
                  Byte_nach_Hex(vorher) + "/$" + Byte_nach_Hex(nachher));
    return zaehler;
}

std::uint8_t CTL_Probe(std::int32_t Verzoegerung) {
    Sony_Lesen();
    std::uint8_t echo = 0xFF; // no echo: inverted 0, which is no class
    Interrupts_aus aus;
    (void)Port_Lesen(Port_MSR);
    if (Warte_auf_MSR(MSR_DCTS)) {
        Warteschleife(Verzoegerung);
        Port_Schreiben(Port_Daten, 0x55);
        if (Warte_auf_Daten()) echo = Port_Lesen(Port_Daten);
    }
    return static_cast<std::uint8_t>(~echo);
}

void Try_Control_L(std::int32_t Tiefe) {
    if (Sony_Schwelle == 0) return;
    const std::int32_t schritt = std::max<std::int32_t>(1, Drehg_mSec / 1000);
    Debug_WriteLn("Try_Control_L, 1 usec entspricht Schrittweite : " + Zahl_Text(schritt));
    std::array<std::int8_t, 1000> klasse{};
    std::int32_t verzoegerung = 0;
    std::int32_t schritte = 0;
    for (std::int32_t i = 0;; ++i) {
        if (i % 50 == 0) {
            Debug_WriteLn("");
            Debug_Write(Zahl_Text(i));
        }
        const std::uint8_t e1 = CTL_Probe(verzoegerung);
        const std::uint8_t e2 = CTL_Probe(verzoegerung);
        const std::uint8_t e3 = e1 != e2 ? CTL_Probe(verzoegerung) : 0;
        std::uint8_t wert = 0;
        if (e1 == e2)
            wert = e1;
        else if (e3 == e2)
            wert = e2;
        else if (e1 == e3)
            wert = e3;
        IR_Messwerte[static_cast<std::size_t>(i)] = wert;
        std::int8_t k = -1;
        for (std::size_t c = 0; c < Echoklassen.size(); ++c)
            if (Echoklassen[c] == wert) k = static_cast<std::int8_t>(c);
        klasse[static_cast<std::size_t>(i)] = k;
        Debug_Write(k >= 0 ? std::string(1, static_cast<char>('0' + k)) : std::string("."));
        verzoegerung += schritt;
        schritte = i + 1;
        if (i + 1 == 1000 || k == Tiefe) break;
    }
    Debug_WriteLn("");
    for (std::int32_t k = 0; k < Tiefe; ++k) {
        std::int64_t summe = 0;
        std::int64_t anzahl = 0;
        for (std::int32_t i = 0; i < schritte; ++i)
            if (klasse[static_cast<std::size_t>(i)] == k) {
                summe += i;
                ++anzahl;
            }
        tabelle(CTL_Verzoegerung, k, "CTL_Verzoegerung") =
            anzahl == 0 ? 0 : static_cast<std::int32_t>(summe / anzahl);
    }
    Debug_WriteLn("CTL_Verzoegerung [n], 0 .. n, gemittelt");
    for (std::int32_t k = 0; k < Tiefe; ++k) {
        const std::int64_t v = static_cast<std::int64_t>(CTL_Verzoegerung[k]) * schritt;
        if (v > std::numeric_limits<std::int32_t>::max())
            throw ERangeError("Bereichsfehler: CTL_Verzoegerung");
        CTL_Verzoegerung[k] = static_cast<std::int32_t>(v);
        Debug_Write(Zahl_Text(CTL_Verzoegerung[k]) + "  ");
    }
    Debug_WriteLn(" ");
    Ausgleichsgerade(CTL_Verzoegerung, 1, Tiefe - 1, 8);
    Sony1 = CTL_Verzoegerung[1];
    Sony2 = CTL_Verzoegerung[2];
    Debug_WriteLn("Sony_Verzoegerung (n), 0 bis 8 : ");
    for (std::int32_t n = 0; n <= 8; ++n)
        Debug_Write(Zahl_Text(Sony_Verzoegerung(n)) + "  ");
    Debug_WriteLn(" ");
}

std::int32_t UART_Messroutine(std::int32_t Tiefe) {
    Debug_WriteLn("UART_Messroutine Tiefe : " + Zahl_Text(Tiefe));
    if (Erkenne_Protokoll() != Protokoll::Sony) return -1;
    Bestimme_Sony_Schwelle();
    Try_Control_L(Tiefe);
    return 1;
}

} // namespace Sio
