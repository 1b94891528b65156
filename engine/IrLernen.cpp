#include "engine/IrLernen.h"

#include "engine/IrAnalyse.h"
#include "engine/IrCapture.h"
#include "engine/IrSend.h"
#include "engine/SioText.h"
#include "engine/WavExport.h"
#include "platform/Errors.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <vector>

namespace Sio {

namespace {

constexpr std::int32_t Befehl_letzter = 800;

// The bit unit is half the mean of the short pairs (pulse + pause): those
// below 1.25 times the shortest pair. Their count tells how steady the
// signal is.
struct Paare {
    std::int64_t anzahl = 0;
};

Paare bestimmeBitEinheit() {
    std::int64_t m = Messwert(1) + Messwert(2);
    for (std::int64_t i = 3; Messwert(i) != 0 && Messwert(i + 1) != 0; i += 2)
        m = std::min(m, Messwert(i) + Messwert(i + 1));
    const std::int64_t grenze = Runden(1.25 * static_cast<double>(m));
    std::int64_t C = 0;
    std::int64_t S = 0;
    for (std::int64_t i = 1; Messwert(i) != 0 && Messwert(i + 1) != 0; i += 2) {
        const std::int64_t paar = Messwert(i) + Messwert(i + 1);
        if (paar < grenze) {
            ++C;
            S += paar;
        }
    }
    Bit_Einheit = Standard_Bit_Einheit;
    if (C > 0)
        Bit_Einheit =
            Auf_int32_begrenzt(Runden(static_cast<double>(S) / static_cast<double>(C) / 2.0));
    return Paare{C};
}

void rohdatenKopieren(TBefehl& Befehl) {
    for (std::int64_t i = 1; i <= Befehl_letzter; ++i)
        Befehl[static_cast<std::size_t>(i)] = Auf_int32_begrenzt(Messwert(i));
    Befehl[799] = 0;
    Befehl[800] = 0;
}

// The frame and its closing zeros must fit in the command.
void rahmenPasst(std::int32_t laenge) {
    if (static_cast<std::int64_t>(laenge) + 3 > Befehl_letzter || laenge < 0)
        throw ERangeError("Bereichsfehler: Befehl[" +
                          std::to_string(static_cast<std::int64_t>(laenge) + 3) + "]");
}

void nichtSauber(std::string& Code, std::string& Kommentar) {
    Debug_WriteLn("Errorcode = " + IR_Fehlertext);
    TBytetabelle bytes{};
    std::int32_t ende = 0;
    Puzzle_Bits_Auseinander(1, ende, bytes);
    Code = Bytes_nach_Hextext(bytes);
    Kommentar = Kommentar_nicht_sauber;
}

void methode2(TBefehl& Befehl, std::string& Code, std::string& Kommentar, bool Optimieren,
              std::int64_t C) {
    Debug_WriteLn("IR_Methode 2");
    if (C < 3) IR_Fehlertext += "unruhiger Verlauf";
    rohdatenKopieren(Befehl);
    const double einheit = std::max(Bit_Einheit, 1);
    // A duration inside a frame is at least one unit: one that rounded to 0
    // would end the command there. Only durations of the capture are
    // rounded, so the closing pauses (long by definition) are unaffected.
    for (std::int64_t i = 1; Messwert(i) != 0; ++i)
        Messwert(i) =
            std::max<std::int64_t>(Runden(static_cast<double>(Messwert(i)) / einheit), 1) *
            static_cast<std::int64_t>(einheit);

    // Only pauses end a frame: a long header pulse is part of it.
    Anzahl_Befehlspausen = 0;
    Single_Laenge = 0;
    const std::int64_t lang = 8LL * Bit_Einheit;
    for (std::int64_t i = 1; Messwert(i) != 0; ++i) {
        if (Anzahl_Befehlspausen == 0) ++Single_Laenge;
        if (i % 2 == 0 && Messwert(i) > lang) ++Anzahl_Befehlspausen;
    }
    Anzahl_Wiederholungen = Anzahl_Befehlspausen + 1;

    if (IR_Fehlertext.empty() && Optimieren) {
        Debug_WriteLn("Optimieren");
        Befehl[0] = Anzahl_Wiederholungen;
        rahmenPasst(Single_Laenge);
        for (std::int64_t i = 1; i <= Single_Laenge; ++i)
            Befehl[static_cast<std::size_t>(i)] = Auf_int32_begrenzt(Messwert(i));
        for (std::int64_t i = Single_Laenge + 1; i <= Single_Laenge + 3; ++i)
            Befehl[static_cast<std::size_t>(i)] = 0;
        Code = Messwerte_nach_Hexcode(Befehl);
    } else {
        nichtSauber(Code, Kommentar);
    }
}

// True when only the search for the frames failed: the capture was clean, but
// the press is no frame sent again and again.
bool methode1(TBefehl& Befehl, std::string& Code, std::string& Kommentar, bool Optimieren) {
    Debug_WriteLn("IR_Methode 1");
    if (IR_Fehlertext.empty()) Korrigiere_Totzeiten();
    Bestimme_Min_Max();
    rohdatenKopieren(Befehl);
    Anzahl_Wiederholungen = 0;
    Anzahl_Befehlspausen = 0;
    const bool sauber = IR_Fehlertext.empty();
    if (sauber && Optimieren) Suche_Wiederholung_und_Korrigiere_Messwerte();
    if (Optimieren) Bestimme_Basisbefehle();
    if (IR_Fehlertext.empty() && Optimieren) {
        Debug_WriteLn("Ohne Errorcode durchgekommen");
        Befehl[0] = Anzahl_Wiederholungen;
        rahmenPasst(Single_Laenge);
        for (std::int64_t i = 1; i <= Single_Laenge + 1; ++i)
            Befehl[static_cast<std::size_t>(i)] = Auf_int32_begrenzt(Messwert(i));
        Befehl[static_cast<std::size_t>(Single_Laenge) + 2] = 0;
        Befehl[static_cast<std::size_t>(Single_Laenge) + 3] = 0;
        Code = Bytes_nach_Hextext(Basisbefehle[1]);
    } else {
        nichtSauber(Code, Kommentar);
    }
    return sauber && !IR_Fehlertext.empty();
}

// A pulse merged from carrier cycles ends with its last cycle's flash: it is
// captured short by up to a carrier period less a flash (about 17 µs at
// 38 kHz), and the pause after it long by as much. Half a period is added
// back.
constexpr std::int64_t Traeger_Ausgleich = 13;

// The captured durations (index 0 unused, ended by 0 entries) with the
// detector's decay taken off, as the frame analysis takes it off, and with
// the carrier cycles' shortfall added back to the pulses.
std::vector<std::int64_t> erfassteZeiten() {
    std::vector<std::int64_t> d{0};
    for (std::int64_t i = 1; Messwert(i) != 0; ++i)
        d.push_back(Messwert(i));
    d.insert(d.end(), 3, 0);
    Totzeiten_abziehen(d, Abfallzeit_IR_Detektor);
    if (IR_Traegerzyklen)
        for (std::size_t i = 1; d[i] != 0; ++i)
            d[i] = std::max<std::int64_t>(d[i] + (i % 2 == 1 ? 1 : -1) * Traeger_Ausgleich, 1);
    return d;
}

// What IR receivers' decoders accept: 25 % or 100 µs, the larger; widened by
// what the reference may be off by where only a gross deviation counts, or
// narrowed by it (a negative zugabe, the 25 % then taken of the smallest
// value the reference may stand for) where nothing beyond the margin may
// pass.
bool weichtAb(std::int64_t gesendet, double erfasst, double zugabe) {
    const double toleranz = std::max(0.25 * (erfasst + std::min(zugabe, 0.0)), 100.0) + zugabe;
    return std::abs(static_cast<double>(gesendet) - erfasst) > toleranz;
}

std::string abweichung(std::size_t zeit, std::int64_t gesendet, double erfasst) {
    return " *Abweichung bei Zeit " + std::to_string(zeit) + ": " + std::to_string(gesendet) +
           " statt " + std::to_string(Runden(erfasst)) + "* ";
}

// Durations of a frame that are the same number of bit units long, pulses and
// pauses apart, are taken for one duration of the remote sent several times.
struct GleichLang {
    std::vector<std::size_t> gruppe; // per index of the frame (from 1)
    std::vector<std::vector<std::size_t>> glieder;
};

GleichLang gleichLangeZeiten(const std::vector<std::int64_t>& rahmen) {
    const double einheit = std::max(Bit_Einheit, 1);
    std::map<std::pair<std::size_t, std::int64_t>, std::size_t> nummer;
    GleichLang g;
    g.gruppe.assign(rahmen.size(), 0);
    for (std::size_t i = 1; i < rahmen.size(); ++i) {
        const auto schluessel =
            std::make_pair(i % 2, Runden(static_cast<double>(rahmen[i]) / einheit));
        const auto [it, neu] = nummer.try_emplace(schluessel, g.glieder.size());
        if (neu) g.glieder.emplace_back();
        g.gruppe[i] = it->second;
        g.glieder[it->second].push_back(i);
    }
    return g;
}

double mittelwert(const std::vector<std::int64_t>& werte, const std::vector<std::size_t>& glieder) {
    double summe = 0;
    for (const std::size_t i : glieder)
        summe += static_cast<double>(werte[i]);
    return summe / static_cast<double>(glieder.size());
}

// The jitter of the capture: the standard deviation of the durations of the
// frame about the mean of those of the same length. A single duration, the
// difference of two edges each jittering evenly, stays within 2.5 of it.
double streuungDerErfassung(const std::vector<std::int64_t>& rahmen, const GleichLang& g) {
    double quadrate = 0;
    std::size_t freiheitsgrade = 0;
    for (const auto& glieder : g.glieder) {
        const double mittel = mittelwert(rahmen, glieder);
        for (const std::size_t i : glieder)
            quadrate += (static_cast<double>(rahmen[i]) - mittel) *
                        (static_cast<double>(rahmen[i]) - mittel);
        freiheitsgrade += glieder.size() - 1;
    }
    return freiheitsgrade == 0 ? 0.0 : std::sqrt(quadrate / static_cast<double>(freiheitsgrade));
}

// The whole capture, each duration replaced by the mean of the captured
// durations of its kind: the press as the remote sent it, every transmission
// and pause, with the jitter of its edges evened out. Pulses and pauses apart,
// sorted, the durations fall into kinds where one lies beyond the one before
// by more than 100 µs and a tenth. Empty when a kind spreads wider than a
// receiver takes for one duration either side of its mean: its durations then
// cannot be told from another kind's, and their mean would stand for none.
std::optional<TBefehl> geglaetteterBefehl(const std::vector<std::int64_t>& erfasst) {
    std::size_t n = 0;
    while (n + 1 < erfasst.size() && erfasst[n + 1] != 0)
        ++n;
    TBefehl b{};
    b[0] = 1;
    for (const std::size_t paritaet : {1, 0}) {
        std::vector<std::size_t> art;
        for (std::size_t i = 1; i <= n; ++i)
            if (i % 2 == paritaet) art.push_back(i);
        std::sort(art.begin(), art.end(),
                  [&](std::size_t x, std::size_t y) { return erfasst[x] < erfasst[y]; });
        for (std::size_t von = 0; von < art.size();) {
            std::size_t bis = von + 1;
            while (bis < art.size() && erfasst[art[bis]] - erfasst[art[bis - 1]] <=
                                           std::max<std::int64_t>(erfasst[art[bis - 1]] / 10, 100))
                ++bis;
            const std::vector<std::size_t> glieder(art.begin() + static_cast<std::ptrdiff_t>(von),
                                                   art.begin() + static_cast<std::ptrdiff_t>(bis));
            const double mittel = mittelwert(erfasst, glieder);
            const auto breite =
                static_cast<double>(erfasst[glieder.back()] - erfasst[glieder.front()]);
            if (breite > 2.0 * std::max(0.25 * mittel, 100.0)) return std::nullopt;
            for (const std::size_t i : glieder)
                if (i < 799) b[i] = Auf_int32_begrenzt(Runden(mittel));
            von = bis;
        }
    }
    return b;
}

// Checks that the learnt command sends what was captured, the whole command
// as the sender puts it on the line (erfasst: index 0 unused): each
// transmission of the frame against the captured frame it stands for, the
// closing pause against each pause between two of them, which must be longer
// than any inside the frame, and no more and no fewer durations than the
// capture holds.
// A captured duration is off from what the remote means by the jitter of its
// edges, which a learn evens out. So each duration of the frame is held to
// - every captured frame: a later one may differ from the first by twice
//   the margin and their jitter (two frames may each be off by the margin, in
//   opposite directions); unless nurMittel, the first frame also holds the
//   frame itself (method 1 takes each duration's largest value over the
//   frames, which the mean may pass though the remote sent less): within the
//   margin widened by the jitter left in them, which only a duration sent as
//   a different one fails;
// - the mean over the captured frames (within twice the margin and their
//   jitter);
// - the mean of those over the frame's durations of the same length, what
//   the remote means: within the margin narrowed by what that mean may still
//   be off, by jitter and by a merged pulse's end known only to a part of a
//   carrier period.
// Returns the error text, empty when the command sends the capture.
std::string befehlPruefen(const TBefehl& Befehl, const std::vector<std::int64_t>& erfasst,
                          bool nurMittel) {
    std::size_t laenge = 0;
    while (laenge + 1 < Befehl.size() && Befehl[laenge + 1] != 0)
        ++laenge;
    if (laenge == 0) return " * IR Befehl leer *";
    // A single pulse, with or without a pause after it, is no command.
    if (laenge <= 2) return " * IR Befehl zu kurz *";

    const std::vector<std::int64_t> gesendet = Gesendeter_Rahmen(Befehl);
    const std::vector<std::int64_t> linie = Gesendeter_Befehl(gesendet, Befehl[0]);
    auto sendet = [&](std::size_t i) { return i <= linie.size() ? linie[i - 1] : 0; };
    std::size_t n_erfasst = 0;
    while (erfasst[n_erfasst + 1] != 0)
        ++n_erfasst;
    auto zeit = [&](std::size_t i) { return i <= n_erfasst ? erfasst[i] : 0; };
    auto abweichungBei = [&](std::size_t i) {
        return abweichung(i, sendet(i), static_cast<double>(zeit(i)));
    };

    // A first pulse shorter than a carrier period sends nothing at all.
    if (gesendet.empty()) return abweichungBei(1);
    // The frame without its closing pause.
    const std::size_t rahmen = gesendet.size() % 2 == 0 ? gesendet.size() - 1 : gesendet.size();
    const auto sendungen = static_cast<std::size_t>(std::max(Befehl[0], 1));
    // Without a closing pause the transmissions run into each other.
    if (sendungen >= 2 && rahmen == gesendet.size()) return abweichungBei(rahmen);

    std::int64_t laengstePause = 0;
    for (std::size_t i = 2; i <= rahmen; i += 2)
        laengstePause = std::max(laengstePause, zeit(i));

    std::vector<std::int64_t> erster(rahmen + 1, 0);
    for (std::size_t i = 1; i <= rahmen; ++i)
        erster[i] = zeit(i);
    const GleichLang gleichLang = gleichLangeZeiten(erster);
    const double sigma = streuungDerErfassung(erster, gleichLang);

    // The later frames, up to the first that does not repeat the first one.
    std::vector<std::int64_t> summe = erster;
    std::size_t rahmenAnzahl = 1;
    std::size_t start = rahmen + 2;
    std::string spaeter;
    for (; rahmenAnzahl < sendungen && spaeter.empty(); start += rahmen + 1) {
        const std::size_t pause = start - 1;
        if (zeit(pause) <= laengstePause ||
            weichtAb(sendet(pause), static_cast<double>(zeit(pause)), 2.5 * sigma)) {
            spaeter = abweichungBei(pause);
            break;
        }
        for (std::size_t i = 1; spaeter.empty() && i <= rahmen; ++i)
            if (static_cast<double>(std::abs(zeit(start + i - 1) - zeit(i))) >
                2.0 * static_cast<double>(std::max<std::int64_t>(zeit(i) / 4, 100)) +
                    2.5 * std::sqrt(2.0) * sigma)
                spaeter = abweichungBei(start + i - 1);
        if (!spaeter.empty()) break;
        for (std::size_t i = 1; i <= rahmen; ++i)
            summe[i] += zeit(start + i - 1);
        ++rahmenAnzahl;
    }

    const double k = static_cast<double>(rahmenAnzahl);
    for (std::size_t i = 1; i <= rahmen; ++i) {
        const std::int64_t s = gesendet[i - 1];
        if (!nurMittel && weichtAb(s, static_cast<double>(zeit(i)), 2.5 * sigma))
            return abweichung(i, s, static_cast<double>(zeit(i)));
        const double mittel = static_cast<double>(summe[i]) / k;
        if (weichtAb(s, mittel, 2.5 * sigma / std::sqrt(k))) return abweichung(i, s, mittel);
        const auto& glieder = gleichLang.glieder[gleichLang.gruppe[i]];
        const double gruppenMittel = mittelwert(summe, glieder) / k;
        const double unsicher = 2.0 * sigma / std::sqrt(static_cast<double>(glieder.size()) * k) +
                                (IR_Traegerzyklen ? Traeger_Ausgleich : 0);
        if (weichtAb(s, gruppenMittel, -unsicher)) return abweichung(i, s, gruppenMittel);
    }
    if (!spaeter.empty()) return spaeter;
    // Nothing may follow the last transmission.
    if (n_erfasst > linie.size()) return abweichungBei(linie.size() + 1);
    return {};
}

} // namespace

bool IR_Befehl_Lernen(TBefehl& Befehl, std::string& Code, std::string& Fehler,
                      std::string& Kommentar, bool Optimieren, const std::string& WAV_Name) {
    UART_Init_9600();
    Waehle_Kanal(3); // the detector's channel
    WAV_Dateiname = WAV_Name;
    Befehl[0] = 1;
    Code.clear();
    Fehler.clear();
    Kommentar.clear();
    IR_Fehlertext.clear();

    if (IR_Aufloesung == 1)
        IR_high_res_einlesen();
    else
        IR_einlesen();
    Last_correct_Bit = IR_Burstende;

    const Paare paare = bestimmeBitEinheit();
    if (IR_Fehlertext.empty()) Debug_WriteLn("Ohne Errorcode durchgekommen");
    const std::vector<std::int64_t> erfasst = erfassteZeiten();

    bool keineRahmen = false;
    if (IR_Methode == 2)
        methode2(Befehl, Code, Kommentar, Optimieren, paare.anzahl);
    else if (IR_Methode == 1)
        keineRahmen = methode1(Befehl, Code, Kommentar, Optimieren);
    else
        return false;

    if (Befehl[0] < 1) Befehl[0] = 1;
    // The whole capture as the remote sent it: without the detector's decay,
    // which lengthens every pulse by as much as a receiver forgives.
    TBefehl roh{};
    roh[0] = 1;
    for (std::size_t i = 1; i < erfasst.size() && i < 799; ++i)
        roh[i] = Auf_int32_begrenzt(erfasst[i]);
    // A command that would not send what the remote sent is no success. Where
    // one frame sent again cannot stand for the press (repeat codes or later
    // frames unlike the first), the whole capture sends it as it came, kept
    // as a learn without Optimieren keeps the raw capture. What is kept is
    // checked whole; what fails leaves the raw capture and the error, as any
    // other error does.
    if (IR_Fehlertext.empty() || keineRahmen) {
        const bool einRahmen = Kommentar.empty();
        std::string pruefung =
            einRahmen ? befehlPruefen(Befehl, erfasst, IR_Methode == 2) : std::string();
        if (!pruefung.empty() || !einRahmen) {
            if (!pruefung.empty()) Debug_WriteLn(pruefung);
            if (einRahmen) nichtSauber(Code, Kommentar);
            // The capture evened out, where its durations fall into kinds
            // clearly enough: raw, each duration is off by the jitter of its
            // edges and by the time the capture lost before them.
            Befehl = roh;
            bool geglaettet = false;
            if (const auto g = geglaetteterBefehl(erfasst)) {
                const std::string ganz = befehlPruefen(*g, erfasst, false);
                geglaettet = ganz.empty();
                if (geglaettet) {
                    Befehl = *g;
                    pruefung.clear();
                    IR_Fehlertext.clear();
                } else {
                    Debug_WriteLn(ganz);
                }
            }
            if (!geglaettet && !Optimieren) pruefung = befehlPruefen(roh, erfasst, IR_Methode == 2);
            IR_Fehlertext = pruefung + IR_Fehlertext;
        }
    }

    Befehl[799] = 0;
    Befehl[800] = 0;
    Fehler = IR_Fehlertext;
    return Fehler.empty();
}

std::string Messwerte_nach_Hexcode(const TBefehl& Befehl) {
    const double einheit = std::max(Bit_Einheit, 1);
    std::string bits;
    for (std::size_t i = 1;; ++i) {
        const std::int64_t n = Runden(Befehl[i] / einheit);
        if (n > 0) bits.append(static_cast<std::size_t>(n), i % 2 == 1 ? '1' : '0');
        if (i + 2 > static_cast<std::size_t>(Befehl_letzter) || Befehl[i + 2] == 0) break;
    }
    const std::string hex = Bin_nach_Hex(bits);
    std::string code;
    for (std::size_t k = 0; k < hex.size(); ++k) {
        code += hex[k];
        if (k % 2 == 1) code += ' ';
    }
    return code;
}

} // namespace Sio
