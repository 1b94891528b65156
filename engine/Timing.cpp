#include "engine/Timing.h"

#include "engine/SioText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace Sio {

namespace {

// Zahl_Text for the 64-bit intermediates of a pass (poll sums, rates before
// they are stored), which outgrow 32 bits on a fast machine.
std::string zelle(std::int64_t v) {
    return std::string(" ").append(std::to_string(v)).append("  ");
}

// Stored values stay 32-bit; a value that does not fit is a range error, never
// a silently wrapped rate.
std::int32_t alsInt32(std::int64_t v, const char* name) {
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        throw ERangeError(std::string("Bereichsfehler: ") + name + " " + std::to_string(v));
    return static_cast<std::int32_t>(v);
}

using Tabelle32 = std::array<std::int32_t, 32>;

} // namespace

std::int64_t Schleifenrate() {
    const std::int64_t f = Zaehlerfrequenz();
    std::int64_t n = 1000;
    std::int64_t best = 0;
    for (int run = 0; run < 5; ++run) {
        for (;;) {
            const std::int64_t t0 = Zaehlerstand();
            Warteschleife(static_cast<std::int32_t>(n));
            const std::int64_t ticks = Zaehlerstand() - t0;
            if (ticks * 500 >= f || n >= std::numeric_limits<std::int32_t>::max() / 2) {
                if (ticks > 0) best = std::max(best, n * f / 1000 / ticks);
                break;
            }
            n *= 2;
        }
    }
    return best;
}

std::int32_t Drehzahl_der_Schleife_uebernehmen() {
    const std::int64_t rate = Schleifenrate();
    if (rate > 0) Drehg_mSec = Auf_int32_begrenzt(rate);
    return Drehg_mSec;
}

void Zeichenzeit_messen(std::int32_t delay, std::int32_t& readsPerSecond, std::int32_t& count) {
    UART_Init_9600();
    auto& m = IR_Messwerte;
    std::int64_t polls = 0;
    std::size_t k = 0;
    while (k <= 1020) {
        if (Port_Lesen(Port_LSR) & LSR_THRE) {
            m[k] = polls;
            polls = 0;
            ++k;
            Port_Schreiben(Port_Daten, 0xFF);
            Warteschleife(delay);
        } else {
            ++polls;
        }
    }

    for (std::size_t i = 0; i <= 25; ++i)
        Debug_Write(zelle(m[i]));
    Debug_WriteLn("");

    std::int64_t max = 0;
    for (std::size_t i = 11; i <= 1010; ++i) {
        m[i] += 1;
        if (m[i] > max) max = m[i];
    }
    Debug_Write("Zaehler pro ms maximal " + zelle(max));
    const std::int64_t band = (max / 100) * MessSchranke + 1;
    std::int64_t schwelle = max - band;
    if (schwelle < 1) schwelle = 1;
    Debug_WriteLn("  Bandbreite " + zelle(band) + "  R_schwelle " + zelle(schwelle));

    std::int64_t sum = 0, n = 0;
    for (std::size_t i = 11; i <= 1010; ++i)
        if (m[i] > schwelle) {
            sum += m[i];
            ++n;
        }
    Debug_WriteLn("Ml_Verzoegerungswert, Giga_Summe, Giga_Zaehler  " + Zahl_Text(delay) +
                  zelle(sum) + zelle(n));
    if (n == 0) {
        Debug_WriteLn("Benutze/Use Option Infrarot/Allocate");
        throw ECalibrationError("Zeitmessung fehlgeschlagen: keine Zeichenzeit messbar "
                                "(Port belegt?) / Timing measurement failed (port in use?)");
    }
    const std::int64_t r = sum * 1000 / n;
    Debug_WriteLn("1000 Zeichen entspr 1.042 s : " + zelle(r));
    readsPerSecond = alsInt32(r * 96 / 100, "Anfragen/s");
    count = static_cast<std::int32_t>(n);
}

std::int32_t Drehzahl_aus_Messung(std::int32_t a, std::int32_t b, std::int32_t c) {
    std::int32_t result = (c == 0 && a != 0) ? a / 20 : 100;
    if (b < a && c > 0 && a > 0 && b > 0) {
        const double anteil = static_cast<double>((static_cast<std::int64_t>(a) - b) * 1000000) / a;
        const double x = anteil / static_cast<double>(static_cast<std::int64_t>(c) * 960);
        result = alsInt32(Runden(1000.0 / x), "Drehzahl");
    }
    return result;
}

std::int32_t Bestimme_Drehzahl(std::int32_t& passes, std::int32_t& deviation, std::int32_t& quota,
                               std::string& error, Messergebnis& gemessen) {
    gemessen = {Drehg_mSec, Anfragen_Sec};
    Debug_WriteLn("*** Bestimme_Drehzahl ***, Port Basis : " + Zahl_Text(Port_Basis()));
    Debug_WriteLn("Unit Sio vom 09-Apr-02");
    error.clear();
    passes = deviation = quota = 0;

    UART_Setup(9600, 3);
    if (!(Port_Lesen(Port_LSR) & LSR_THRE)) error = " *COM ? ";
    if (!(Port_Lesen(Port_LSR) & LSR_THRE)) Debug_WriteLn(error);
    if (!error.empty()) return -1;

    // The loop's own rate drifts with the CPU's clock: it is timed just before
    // and just after the passes, and the faster figure counts.
    std::int64_t schleife = Schleifenrate();
    Tabelle32 Vorgabe{}, Ergebnis{}, Quote{}, Drehzahl{};
    std::size_t j = 0;
    for (;;) {
        Zeichenzeit_messen(Vorgabe[j], Ergebnis[j], Quote[j]);
        Drehzahl[j] = Drehzahl_aus_Messung(Ergebnis[0], Ergebnis[j], Vorgabe[j]);
        Vorgabe[j + 1] = alsInt32(static_cast<std::int64_t>(Drehzahl[j]) *
                                      static_cast<std::int64_t>(j + 1) * 25 / 960,
                                  "Vorgabe");
        if (Ergebnis[j] < Ergebnis[0] / 20 || Quote[j] < 400 || j >= 30) break;
        ++j;
    }
    const std::size_t i = j;
    Debug_WriteLn("Anzahl Iterationen : " + Zahl_Text(static_cast<std::int32_t>(i)));

    Drehzahl[0] = Drehzahl[1];
    Drehzahl[i + 1] = -1;
    passes = static_cast<std::int32_t>(i);
    Quote[0] = Quote[1];
    Quote[i + 1] = -1;
    if (i < 3) {
        error = "** Achtung: Iterationen < 3 **";
        Debug_WriteLn(error);
    }

    Debug_WriteLn("Nr.  Ergebn.  uSek   Vorg  Quote  Drehg. ");
    for (std::size_t k = 0; k <= i; ++k)
        Debug_WriteLn(Zahl_Text(static_cast<std::int32_t>(k)) + Zahl_Text(Ergebnis[k]) +
                      zelle(static_cast<std::int64_t>(Ergebnis[k]) * 1000 / Ergebnis[0]) +
                      Zahl_Text(Vorgabe[k]) + Zahl_Text(Quote[k]) + Zahl_Text(Drehzahl[k]));
    Debug_WriteLn("Vorgabe 1 : " + Zahl_Text(Vorgabe[1]) + " rel. Ergebnis (0-1000) : " +
                  zelle(static_cast<std::int64_t>(Ergebnis[1]) * 1000 / Ergebnis[0]));

    gemessen.Drehg_mSec = Mittelwert_ueber(Drehzahl, 31, 0);
    Debug_WriteLn("Soviel Umdrhg in Raw pro ms, im Mittel (=Drehg_msec): " +
                  Zahl_Text(gemessen.Drehg_mSec));
    deviation = Standardabweichung(Drehzahl, 31);
    Debug_WriteLn("Mittlere Abweichung : " + Zahl_Text(deviation));
    quota = Mittelwert_ueber(Quote, 31, 0);
    Debug_WriteLn("Mittlere Quote : " + Zahl_Text(quota));
    gemessen.Anfragen_Sec = Ergebnis[0];
    Debug_WriteLn("Anfragen / sec (Anfragen_Sec) " + Zahl_Text(gemessen.Anfragen_Sec));

    // A pass that another process interrupted gives a rate far too low, and a
    // mean that takes it in makes every wait too short; a rate far above what
    // the loop does on its own makes every wait too long, and a rate of 0 ends
    // every wait at once. Such a run is no measurement: the rates in force
    // stay, as every wait of the program is based on them.
    std::int32_t langsamst = std::numeric_limits<std::int32_t>::max(), schnellst = 0;
    for (std::size_t k = 1; k <= i; ++k) {
        langsamst = std::min(langsamst, Drehzahl[k]);
        schnellst = std::max(schnellst, Drehzahl[k]);
    }
    schleife = std::max(schleife, Schleifenrate());
    Debug_WriteLn("Schleife allein, Umdrhg pro ms : " + zelle(schleife));
    std::string unplausibel;
    if (i >= 1 && static_cast<std::int64_t>(schnellst - langsamst) * 100 >
                      static_cast<std::int64_t>(Max_Streuung_Prozent) * schnellst)
        unplausibel = "** Messung unplausibel: Durchgaenge " + Zahl_Text(langsamst) + "bis" +
                      Zahl_Text(schnellst) + "**";
    else if (gemessen.Drehg_mSec <= 0 ||
             static_cast<std::int64_t>(gemessen.Drehg_mSec) * 100 < Min_Anteil_Prozent * schleife ||
             static_cast<std::int64_t>(gemessen.Drehg_mSec) * 100 > Max_Anteil_Prozent * schleife)
        unplausibel = "** Messung unplausibel:" + Zahl_Text(gemessen.Drehg_mSec) + "statt" +
                      zelle(schleife) + "**";
    if (!unplausibel.empty()) {
        Debug_WriteLn(unplausibel);
        if (error.empty()) error = unplausibel;
        return -2;
    }
    Drehg_mSec = gemessen.Drehg_mSec;
    Anfragen_Sec = gemessen.Anfragen_Sec;
    return error.empty() ? static_cast<std::int32_t>(i) : 0;
}

std::int32_t Bestimme_Drehzahl(std::int32_t& passes, std::int32_t& deviation, std::int32_t& quota,
                               std::string& error) {
    Messergebnis gemessen;
    return Bestimme_Drehzahl(passes, deviation, quota, error, gemessen);
}

} // namespace Sio
