#include "engine/IrCapture.h"

#include "engine/IrLernen.h"
#include "engine/Sio.h"
#include "engine/SioText.h"
#include "engine/WavExport.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace Sio {

namespace {

void voranstellen(std::string_view text) {
    IR_Fehlertext.insert(0, text);
}

void voranstellenUndZeigen(std::string_view text) {
    voranstellen(text);
    Debug_WriteLn(IR_Fehlertext);
}

// What one pass of the polling loops saw.
struct Erfassung {
    std::int32_t s = 0; // stamps stored
    bool zeitueberschreitung = false;
    bool ueberlauf = false;    // stamp cap reached, or the line never went quiet
    bool unterbrochen = false; // the capture lost the processor for too long
};

// Reads between two looks at the counter while nothing changes; a power of
// two, so that the expected time of a part of them is a shift.
constexpr std::int64_t Lesungen_je_Blick = 256;
constexpr int Lesungen_je_Blick_bits = 8;
static_assert(Lesungen_je_Blick == 1 << Lesungen_je_Blick_bits);

// A poll counts reads, and the counter is read only at a change: while the
// machine gives the processor to other work, changes are seen late or not at
// all, and the durations around them stretch or merge. So the capture looks
// at the counter every so many reads as well, and at each look compares the
// time since the last one with the time its reads take undisturbed (the
// shortest full block of reads so far). Time lost before a change moves that
// change's stamp by up to as much: beyond Verlust_Grenze_us the capture is
// unusable. Time lost where nothing changed harms only when it may have
// hidden a whole pulse or pause, i.e. when it is as long as the shortest
// duration of the capture (never less than the shortest a remote sends): a
// shorter loss in a long pause or in the quiet after the command hides
// nothing; nor does one after the last change that the end of the press
// bounds (Sendungsgrenze_us). Before the first full block there is no
// measure yet; a change that soon after the start of the watch comes amid a
// press anyway.
class Verlustwaechter {
public:
    explicit Verlustwaechter(bool hochaufloesend)
        : hochaufloesend_(hochaufloesend),
          grenzeTicks_(Verlust_Grenze_us * Zaehlerfrequenz() / 1000000),
          stilleTicks_(Zu_kurz_Schwelle * Zaehlerfrequenz() / 1000000),
          sendungTicks_(Sendungsgrenze_us * Zaehlerfrequenz() / 1000000),
          blickZeit_(Zaehlerstand()), blockZeit_(blickZeit_) {}

    // Before each read, so that the read that sees a change belongs to the
    // stretch its stamp ends. During the capture (after the first change)
    // lost time counts.
    void lesen(bool imFang) {
        ++seitBlick_;
        if (++imBlock_ == Lesungen_je_Blick) {
            const std::int64_t jetzt = Zaehlerstand();
            const std::int64_t block = jetzt - blockZeit_;
            if (kuerzester_ < 0 || block < kuerzester_) kuerzester_ = block;
            blockZeit_ = jetzt;
            imBlock_ = 0;
            blick(jetzt, imFang, false);
        }
    }
    // A stamp is a look at the counter too.
    void gestempelt(std::int64_t zeit) {
        // In high resolution the gaps within a pulse are carrier cycles, not
        // durations.
        if (letzterStempel_ >= 0) {
            const std::int64_t dauer = zeit - letzterStempel_;
            if ((!hochaufloesend_ || dauer >= Traeger_Schwelle) &&
                (kuerzesteDauer_ < 0 || dauer < kuerzesteDauer_))
                kuerzesteDauer_ = dauer;
        }
        letzterStempel_ = zeit;
        // What was lost after the change before has a change after it.
        stilleVerlust_ = std::max(stilleVerlust_, nachEnde_);
        nachEnde_ = 0;
        blick(zeit, true, true);
    }
    // At the end of the capture, with the reads since the last look.
    bool unterbrochen() {
        blick(Zaehlerstand(), true, false);
        return unterbrochen_ || stilleVerlust_ >= std::max(stilleTicks_, kuerzesteDauer_);
    }

private:
    void blick(std::int64_t jetzt, bool imFang, bool wechsel) {
        if (imFang && kuerzester_ >= 0) {
            const std::int64_t verloren =
                jetzt - blickZeit_ - ((seitBlick_ * kuerzester_) >> Lesungen_je_Blick_bits);
            if (wechsel && verloren > grenzeTicks_) unterbrochen_ = true;
            // Lost after the end of the press, unless a change follows.
            const bool nachEnde = letzterStempel_ >= 0 &&
                                  blickZeit_ - letzterStempel_ >= sendungTicks_ &&
                                  verloren < sendungTicks_;
            std::int64_t& groesster = nachEnde ? nachEnde_ : stilleVerlust_;
            if (!wechsel) groesster = std::max(groesster, verloren);
        }
        blickZeit_ = jetzt;
        seitBlick_ = 0;
    }

    bool hochaufloesend_;
    std::int64_t grenzeTicks_;
    std::int64_t stilleTicks_;
    std::int64_t sendungTicks_;
    std::int64_t blickZeit_;
    std::int64_t blockZeit_;
    std::int64_t seitBlick_ = 0;
    std::int64_t imBlock_ = 0;
    std::int64_t kuerzester_ = -1;
    std::int64_t letzterStempel_ = -1;
    std::int64_t kuerzesteDauer_ = -1;
    std::int64_t stilleVerlust_ = 0; // the largest loss where nothing changed
    std::int64_t nachEnde_ = 0;      // the same, after the end of the press so far
    bool unterbrochen_ = false;
};

// Waits for the first change of the detector line, then stamps the changes
// until the line has been quiet for Q reads. In standard resolution a pass
// counts when the DSR level differs from the last one; in high resolution
// every pass after the first asks the UART's delta bit, so that changes
// shorter than one poll period (carrier cycles) are not lost. The first pass
// of either looks at the level of the read that ended the wait: any change
// starts the capture, whatever its direction.
Erfassung erfassen(bool hochaufloesend) {
    // W and Q are counts of port reads; 15 s of polling at a high rate is
    // beyond 32 bits.
    const std::int64_t W = 15LL * Anfragen_Sec;
    const std::int64_t Q = Anfragen_Sec / 2;
    IR_Messwerte.fill(0);

    Erfassung e;
    Verlustwaechter waechter(hochaufloesend);
    std::uint8_t m = Port_Lesen(Port_MSR);
    std::uint8_t ref = m & MSR_DSR;
    std::int64_t r = 0;
    do {
        waechter.lesen(false);
        m = Port_Lesen(Port_MSR);
        ++r;
    } while ((m & MSR_DSR) == ref && r <= W);
    e.zeitueberschreitung = r >= W;

    std::int32_t s = 0;
    std::int64_t q = 0;
    std::int64_t lesungen = 0;
    bool erster = true;
    for (;;) {
        bool wechsel;
        if (erster || !hochaufloesend) {
            wechsel = (m & MSR_DSR) != ref;
            if (wechsel) ref = m & MSR_DSR;
        } else {
            wechsel = (m & MSR_DDSR) != 0;
        }
        erster = false;
        if (wechsel) {
            const std::int64_t stempel = Zaehlerstand();
            IR_Messwerte[static_cast<std::size_t>(s)] = stempel;
            waechter.gestempelt(stempel);
            q = 0;
            if (s < Stempel_Grenze) {
                ++s;
            } else {
                e.ueberlauf = true; // the stamp in the last slot ends the capture
                break;
            }
        } else {
            ++q;
        }
        waechter.lesen(true);
        m = Port_Lesen(Port_MSR);
        if (q > Q) break;
        // A line that never goes quiet (flicker, a key held without a gap)
        // must not hold the thread for ever.
        if (++lesungen > W) {
            e.ueberlauf = true;
            break;
        }
    }
    e.s = s;
    if (s >= Stempel_Grenze) e.ueberlauf = true;
    // Without a change there is nothing the lost time could have damaged.
    e.unterbrochen = waechter.unterbrochen() && s > 0;
    return e;
}

void stempelEnden(std::int32_t s) {
    // s <= 99997, so these stay inside the array.
    IR_Messwerte[static_cast<std::size_t>(s)] = 0;
    IR_Messwerte[static_cast<std::size_t>(s) + 1] = 0;
    IR_Messwerte[static_cast<std::size_t>(s) + 2] = 0;
}

void ueberlaufUndTimeout(const Erfassung& e) {
    if (e.ueberlauf) voranstellenUndZeigen(" *Ueberlauf* ");
    if (e.zeitueberschreitung) voranstellenUndZeigen(" *Timeout* ");
    if (e.unterbrochen) voranstellenUndZeigen(Unterbrochen_Text);
}

void laengsteUndAnzahl(std::int32_t n) {
    Debug_WriteLn("Laengste_Zeitspanne : " + Zahl_Text(Laengste_Zeitspanne()));
    if (n % 2 == 0) voranstellenUndZeigen(" *falsche # IR Impulse ");
}

// A capture of 2 to 20 durations is a repeat code or a fragment: watch again,
// unless the capture lost the processor: its error text stays, so the learn
// has failed whatever comes next.
bool nochmal(std::int32_t n, const Erfassung& e) {
    return n >= 2 && n <= 20 && IR_Methode != 1 && !e.unterbrochen;
}

// Merges the carrier cycles of each pulse (stamp gaps below the threshold)
// into one pulse; works in counter ticks on entries 1..n. Returns the number
// of durations that remain; verschluckt tells whether a merged gap was longer
// than the short-duration threshold, a real pause too short to be kept
// rather than a gap between carrier cycles.
std::int32_t traegerZusammenfassen(std::int32_t n, bool& verschluckt) {
    auto& M = IR_Messwerte;
    const std::int64_t letzter = static_cast<std::int64_t>(M.size()) - 1;
    std::int64_t p = 1;
    std::int64_t c = 2;
    // Entries n+1 .. n+3 are 0, and c never passes n + 1 while p is a pulse,
    // so every index below stays inside the array.
    while (M[static_cast<std::size_t>(p)] != 0 && p <= n) {
        while (M[static_cast<std::size_t>(c)] < Traeger_Schwelle && c <= n) {
            M[static_cast<std::size_t>(p)] += M[static_cast<std::size_t>(c)];
            if (Ticks_nach_us(M[static_cast<std::size_t>(c)]) > Zu_kurz_Schwelle)
                verschluckt = true;
            ++c;
        }
        M[static_cast<std::size_t>(p + 1)] = M[static_cast<std::size_t>(c)];
        M[static_cast<std::size_t>(p + 2)] = M[static_cast<std::size_t>(c + 1)];
        p += 2;
        c += 2;
    }
    for (std::int64_t k = p + 1; k <= p + 6 && k <= letzter; ++k)
        M[static_cast<std::size_t>(k)] = 0;
    // The copy leaves up to two zero entries before p; the list ends at the
    // first of them.
    std::int64_t anzahl = 0;
    while (anzahl + 1 < p && M[static_cast<std::size_t>(anzahl + 1)] != 0)
        ++anzahl;
    return static_cast<std::int32_t>(anzahl);
}

} // namespace

void IR_einlesen() {
    Debug_WriteLn("*** IR_einlesen ***");
    IR_Traegerzyklen = false;
    std::int32_t n = 0;
    Erfassung e;
    do {
        e = erfassen(false);
        const std::int32_t s = e.s;
        if (s > 800) voranstellen(" * IR Befehl zu lang *");
        stempelEnden(s);
        n = s - 1;
        for (std::int32_t k = n; k >= 1; --k)
            IR_Messwerte[static_cast<std::size_t>(k)] =
                Ticks_nach_us(IR_Messwerte[static_cast<std::size_t>(k)] -
                              IR_Messwerte[static_cast<std::size_t>(k) - 1]);
        IR_Messwerte[0] = 0;
        IR_Burstende = n;
        Debug_WriteLn("Anzahl Wechsel = IR_Burstende : " + Zahl_Text(n));
        ueberlaufUndTimeout(e);
        Debug_WriteLn("Zu_kurz_Schwelle (us) : " + Zahl_Text(Zu_kurz_Schwelle));
        bool zuKurz = false;
        for (std::int32_t k = 1; k <= n; ++k)
            if (IR_Messwerte[static_cast<std::size_t>(k)] < Zu_kurz_Schwelle) zuKurz = true;
        if (zuKurz) voranstellenUndZeigen(" *Impulse zu kurz* ");
        laengsteUndAnzahl(n);
        if (Debug_Statistik) {
            Messwerte_ausgeben();
            Haeufigkeitsverteilung();
        }
    } while (nochmal(n, e));
    if (!WAV_Dateiname.empty()) WAV_Schreiben();
}

void IR_high_res_einlesen() {
    Debug_WriteLn("*** IR_high_res_einlesen ***");
    std::int32_t n = 0;
    Erfassung e;
    do {
        e = erfassen(true);
        const std::int32_t s = e.s;
        stempelEnden(s);
        n = s - 1;
        for (std::int32_t k = n; k >= 1; --k)
            IR_Messwerte[static_cast<std::size_t>(k)] -=
                IR_Messwerte[static_cast<std::size_t>(k) - 1];
        IR_Messwerte[0] = 0;
        IR_Burstende = n;
        Debug_WriteLn("Anzahl Wechsel = IR_Burstende : " + Zahl_Text(n));
        ueberlaufUndTimeout(e);
        // Without a duration there is nothing to merge, and the count stays
        // as the stamps gave it, as in standard resolution.
        IR_Traegerzyklen = false;
        if (n >= 1) {
            bool verschluckt = false;
            const std::int32_t stempel = n;
            n = traegerZusammenfassen(n, verschluckt);
            IR_Traegerzyklen = n < stempel;
            IR_Burstende = n;
            if (verschluckt) voranstellenUndZeigen(" *Pause zu kurz* ");
        }
        for (std::int32_t k = 1; k <= n; ++k)
            IR_Messwerte[static_cast<std::size_t>(k)] =
                Ticks_nach_us(IR_Messwerte[static_cast<std::size_t>(k)]);
        laengsteUndAnzahl(n);
    } while (nochmal(n, e));
    if (!WAV_Dateiname.empty()) WAV_Schreiben();
}

std::int32_t Laengste_Zeitspanne() {
    std::int64_t l = IR_Messwerte[1];
    for (std::size_t i = 1; i < IR_Messwerte.size() && IR_Messwerte[i] > 0; ++i)
        l = std::max(l, IR_Messwerte[i]);
    return Auf_int32_begrenzt(l);
}

void Messwerte_ausgeben() {
    std::size_t i = 1;
    do {
        if ((i - 1) % 16 == 0) {
            Debug_WriteLn("");
            Debug_Write(Zahl_Text(static_cast<std::int32_t>(i)) + ":");
        }
        Debug_Write(Zahl_Text(Auf_int32_begrenzt(IR_Messwerte[i])));
        ++i;
    } while (i < IR_Messwerte.size() && IR_Messwerte[i] != 0);
    Debug_WriteLn("");
}

void Haeufigkeitsverteilung() {
    Debug_WriteLn("Haeufigkeitsverteilung");
    const std::int32_t l = Laengste_Zeitspanne();
    if (l > 0) {
        // Counting each value from 1 to the longest duration would take
        // seconds after a long capture; sorting gives the same table.
        std::vector<std::int64_t> werte;
        const std::int64_t ende = std::min<std::int64_t>(IR_Burstende, IR_Messwerte.size() - 1);
        for (std::int64_t k = 1; k <= ende; ++k) {
            const std::int64_t v = IR_Messwerte[static_cast<std::size_t>(k)];
            if (v >= 1 && v <= l) werte.push_back(v);
        }
        std::sort(werte.begin(), werte.end());
        std::int32_t paare = 0;
        for (std::size_t a = 0; a < werte.size();) {
            std::size_t b = a;
            while (b < werte.size() && werte[b] == werte[a])
                ++b;
            ++paare;
            if (paare % 10 == 0) Debug_WriteLn("");
            Debug_Write(Zahl_Text(Auf_int32_begrenzt(werte[a])) + "-" +
                        Zahl_Text(static_cast<std::int32_t>(b - a)));
            a = b;
        }
    }
    Debug_WriteLn("");
}

} // namespace Sio
