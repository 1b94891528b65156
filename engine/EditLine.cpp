#include "engine/EditLine.h"
#include "engine/IrCapture.h"
#include "engine/SioText.h"

#include "engine/ControlL.h"
#include "engine/Panasonic.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace Sio {

std::string Sony_Symbol(std::uint8_t status) {
    switch (status) {
    case 3:
        return ">>";
    case 4:
        return "* ";
    case 6:
        return "> ";
    case 7:
    case 20:
        return "II";
    case 103:
        return "+ ";
    case 119:
        return "- ";
    case 131:
        return "<<";
    case 151:
        return "I<";
    default:
        return "  ";
    }
}

std::string Pana_Symbol(std::uint8_t nibble) {
    switch (nibble) {
    case 2:
        return "<<";
    case 3:
        return ">>";
    case 8:
        return "> ";
    case 9:
    case 11:
        return "II";
    case 10:
        return "* ";
    default:
        return "  ";
    }
}

std::int32_t BCD_nach_Zahl(std::uint8_t b) {
    return (b & 0x0F) + (b >> 4) * 10;
}

std::int32_t Flanken_Grenze() {
    return std::max<std::int32_t>(1, Anfragen_Sec / 10);
}

std::optional<std::int32_t> Bilder_beim_Spulen(std::int32_t vorher, std::int32_t anfang,
                                               std::int32_t richtung) {
    const std::int32_t u = Halbbilder_pro_Sekunde > 0 ? Halbbilder_pro_Sekunde : 50;
    const std::int32_t hier = vorher + richtung * (u / 2) - anfang;
    if (hier < -u / 2 || hier >= u + u / 2) return std::nullopt;
    const std::int32_t im = std::clamp(hier, 0, u - 1);
    return im - im % 2;
}

bool Warte_auf_MSR(std::uint8_t Bits) {
    const std::int32_t grenze = Flanken_Grenze();
    for (std::int32_t i = 0; i < grenze; ++i)
        if (Port_Lesen(Port_MSR) & Bits) return true;
    return false;
}

std::string Protokoll_Text(Protokoll p) {
    switch (p) {
    case Protokoll::Sony:
        return "Sony";
    case Protokoll::Panasonic:
        return "Panasonic";
    case Protokoll::Keins:
        break;
    }
    return "";
}

Protokoll Erkenne_Protokoll() {
    const std::int32_t n = Anfragen_Sec / 20;
    std::int32_t c = 0;
    std::int32_t d = 0;
    for (std::int32_t k = 0; k < n; ++k) {
        const std::uint8_t m = Port_Lesen(Port_MSR);
        if (m & MSR_DCTS) ++c;
        if (m & MSR_DDSR) ++d;
    }
    if (c > 5 && d < 5) return Protokoll::Sony;
    if (c > 5 && d > 5 && c < d) return Protokoll::Panasonic;
    return Protokoll::Keins;
}

namespace {

struct Zeile {
    Transport befehl;
    std::uint8_t sonyByte;
    std::uint8_t sonyStatus;
    std::int32_t sonyVersuche;
    std::uint8_t panaCode;
    std::uint8_t panaNibble;
    std::int32_t panaVersuche;
};

// The rows of StepBack, StepForward, Nullstellen and Off that expect status 0
// wait for no status: they go out even when the device seems to be there
// already. Rows with a real expected status (Control-L "<I" and "I>") keep the
// usual shortcut.
constexpr Zeile kBefehle[] = {
    {Transport::Play, 52, 6, 90, 10, 8, 90},
    {Transport::Stop, 48, 2, 90, 0, 0, 90},
    {Transport::Pause, 50, 0, 90, 6, 0, 90},
    {Transport::Rewind, 54, 131, 90, 2, 2, 90},
    {Transport::FastForward, 56, 3, 90, 3, 3, 90},
    {Transport::Record, 58, 4, 90, 8, 10, 90},
    {Transport::StepBack, 96, 119, 90, 13, 0, 4},
    {Transport::StepForward, 98, 103, 90, 12, 0, 4},
    {Transport::Nullstellen, 140, 0, 6, 51, 0, 6},
    {Transport::Off, 94, 0, 4, 61, 0, 8},
    {Transport::CueForward, 82, 134, 90, 10, 8, 90},
    {Transport::CueBack, 80, 150, 90, 11, 8, 90},
};

const Zeile* finde_Zeile(Transport befehl) {
    for (const auto& z : kBefehle)
        if (z.befehl == befehl) return &z;
    return nullptr;
}

bool ohne_Abkuerzung(Transport befehl, std::uint8_t erwartet) {
    return erwartet == 0 && (befehl == Transport::StepBack || befehl == Transport::StepForward ||
                             befehl == Transport::Nullstellen || befehl == Transport::Off);
}

std::int32_t Sony_Befehl(Transport befehl) {
    // The last operation may have left the UART at another rate or framing
    // (IR send, Panasonic line): the status reads and the send need 9600 8N1.
    UART_Init_9600();
    if (Sony_Schwelle == 0) Bestimme_Sony_Schwelle();
    if (Sony_Schwelle == 0)
        return -1; // nothing answered: sending is impossible, not "already there"
    Sony_Lesen();
    Sony_Lesen();
    Sony_Dekodieren();
    const Zeile* z = finde_Zeile(befehl);
    if (z == nullptr) return -2;
    std::uint8_t erwartet = z->sonyStatus;
    std::int32_t versuche = z->sonyVersuche;
    if (befehl == Transport::Pause) {
        switch (Sony_Status) {
        case 4:
            erwartet = 20;
            break;
        case 6:
            erwartet = 7;
            break;
        case 7:
            erwartet = 6;
            break;
        case 20:
            erwartet = 4;
            break;
        default:
            erwartet = 0;
            versuche = 10;
            break;
        }
    }
    const std::int32_t n =
        CTL_send(24, z->sonyByte, erwartet, versuche, ohne_Abkuerzung(befehl, erwartet));
    return n > 88 ? -3 : n;
}

std::int32_t Pana_Befehl(Transport befehl) {
    const std::int32_t versuche_max = 90;
    // Without a measured line nothing decodes, and a stale status would count
    // as reached.
    if (Pana_Schwelle == 0) Bestimme_Pana_Schwelle();
    if (Pana_Schwelle == 0) return -1;
    Pana_Lesen();
    Pana_Lesen();
    Pana_Dekodieren();
    const Zeile* z = finde_Zeile(befehl);
    if (z == nullptr) return -2;
    std::uint8_t erwartet = z->panaNibble;
    std::int32_t versuche = z->panaVersuche;
    if (befehl == Transport::Pause) {
        switch (Pana_Status & 0x0F) {
        case 8:
            erwartet = 9;
            break;
        case 9:
            erwartet = 8;
            break;
        case 10:
            erwartet = 11;
            break;
        case 11:
            erwartet = 10;
            break;
        default:
            erwartet = 0;
            versuche = 10;
            break;
        }
    }
    const std::int32_t n =
        Pana_Send(z->panaCode, erwartet, versuche, ohne_Abkuerzung(befehl, erwartet));
    return n > versuche_max - 3 ? -13 : n;
}

} // namespace

std::int32_t Kamera_Befehl(std::int32_t Kanal, Transport Befehl) {
    if (Kanal < 1 || Kanal > 3) return -1;
    Waehle_Kanal(Kanal);
    Leitungskanal = Kanal;
    const Protokoll protokoll = Erkenne_Protokoll();
    if (protokoll == Protokoll::Sony) return Sony_Befehl(Befehl);
    if (protokoll == Protokoll::Panasonic) return Pana_Befehl(Befehl);
    return -1;
}

namespace {

// Frames a Panasonic status read reads on for a frame of hours: a moving
// deck holds that back next to a change of the second, for a field or two.
constexpr int kPana_Weiterlesen = 4;

// One read under the watch; true when it kept the processor.
template <class F> bool unter_Wache(std::int64_t Grenze_us, F lesen) {
    Lesewache_beginnen(Grenze_us);
    lesen();
    return !Lesewache_unterbrochen();
}

// The watch of a status read or a wait ends with it, on every path.
struct Wache_beenden {
    Wache_beenden() = default;
    Wache_beenden(const Wache_beenden&) = delete;
    Wache_beenden& operator=(const Wache_beenden&) = delete;
    ~Wache_beenden() { Lesewache_beenden(); }
};

} // namespace

namespace {

// Units a field at most, by the mode a status shows: winding (300 times
// play), cueing (a Panasonic deck cues under the status of play), playing or
// standing (which may just have started).
std::int32_t Tempo(Protokoll p, std::uint8_t status) {
    constexpr std::int32_t spulen = 150, cue = 10;
    if (p == Protokoll::Sony)
        return status == 3 || status == 131 ? spulen : status == 134 || status == 150 ? cue : 1;
    const std::uint8_t n = status & 0x0F;
    return n == 2 || n == 3 ? spulen : n == 8 ? cue : 1;
}

// Beyond what the modes of two reads allow: a mode between them that neither
// saw (a deck wound and stopped by hand within a tick), and a carry of the
// second. Far less than what a read with dropped or shifted bits gives (a
// wrong digit of minutes or hours).
constexpr std::int64_t kUngesehen = 50 * 60;

// The channel's position could have come from the read before in the time
// between; either way this read is the base for the next.
bool erreichbar(std::int32_t Kanal, Protokoll typ, std::int32_t zaehler, std::int32_t tempo) {
    if (Kanal < 1 || Kanal > 3 || zaehler == Keine_Position) return true;
    Lesestand& l = Kanal_Lesestand[static_cast<std::size_t>(Kanal - 1)];
    const std::int64_t jetzt = Zaehlerstand();
    bool ja = true;
    if (l.typ == typ) {
        const std::int64_t felder = std::max<std::int64_t>(0, jetzt - l.zeit) * 50 /
                                    std::max<std::int64_t>(1, Zaehlerfrequenz());
        // Two fields for the frames a read is behind.
        const std::int64_t weit =
            std::int64_t{std::max(tempo, l.tempo)} * (felder + 2) + kUngesehen;
        ja = std::llabs(std::int64_t{zaehler} - l.zaehler) <= weit;
    }
    l = {typ, zaehler, jetzt, tempo};
    return ja;
}

} // namespace

bool Lies_Geraetestatus(std::int32_t Kanal, Bandposition& Position, Protokoll& Typ,
                        std::string& Statustext, bool& spielt) {
    Statustext = "??";
    Typ = Protokoll::Keins;
    if (Kanal >= 1 && Kanal <= 3) {
        Waehle_Kanal(Kanal);
        Leitungskanal = Kanal;
        Typ = Erkenne_Protokoll();
    }
    if (Typ == Protokoll::Keins) {
        spielt = false;
        return false;
    }
    Wache_beenden ende;
    bool gut = true;
    bool bekannt = true;
    Bandposition gelesen;
    std::uint8_t status = 0;
    if (Typ == Protokoll::Sony) {
        const auto lesen = [&](auto f) {
            gut = gut && unter_Wache(Sony_Verlust_Grenze_us, f);
            if (gut) Sony_Dekodieren();
        };
        lesen(Bestimme_Sony_Schwelle);
        for (int k = 0; k < 4; ++k)
            lesen(Sony_Lesen);
        gelesen = Sony_Position;
        Statustext = Sony_Statustext;
        status = Sony_Status;
    } else {
        const auto lesen = [&](auto f) {
            gut = gut && unter_Wache(Pana_Verlust_Grenze_us, f);
            if (gut) Pana_Dekodieren();
        };
        lesen(Bestimme_Pana_Schwelle);
        // A frame of minutes, seconds and frames carries only the units of
        // the minutes: the tens and the hour come from the channel's last
        // position, which after a start or a jump of more than five minutes
        // is far off. A read that met no frame of hours reads on until one
        // comes; without one its position is not known.
        for (int k = 0; gut && Pana_Stundenrahmen == 0 && k < kPana_Weiterlesen; ++k)
            lesen(Pana_Lesen);
        bekannt = Pana_Stundenrahmen > 0;
        gelesen = Pana_Position;
        Statustext = Pana_Statustext;
        status = Pana_Status;
    }
    if (!gut) {
        Statustext = "??";
        Debug_WriteLn("Lies_Geraetestatus Kanal " + Zahl_Text(Kanal) + Unterbrochen_Text);
        return false;
    }
    spielt = Typ == Protokoll::Sony ? status == 6 : (status & 0x0F) == 8;
    if (!bekannt) return false;
    if (!erreichbar(Kanal, Typ, Position_nach_Zaehler(gelesen), Tempo(Typ, status))) {
        Debug_WriteLn("Lies_Geraetestatus Kanal " + Zahl_Text(Kanal) +
                      " unerreichbar : " + Position_nach_Text(gelesen));
        return false;
    }
    Position = gelesen;
    return true;
}

std::int32_t Zaehler_mindestens(const Bandposition& p) {
    const std::int32_t n = Position_nach_Zaehler(p);
    return p.Vorzeichen == '-' && n != Keine_Position && n > INT32_MIN ? n - 1 : n;
}

std::int32_t Rest_ab(std::int32_t Gefunden, std::int32_t Ganz, std::int32_t Extra) {
    if (Gefunden <= Ganz || Gefunden == Keine_Position) return Extra;
    return static_cast<std::int32_t>(
        std::max<std::int64_t>(std::int64_t{Extra} - (std::int64_t{Gefunden} - Ganz), -1));
}

void Lesewache_Blick() {
    const std::int64_t jetzt = Zaehlerstand();
    if (Lesewache.aktiv && Lesewache.abfragen >= Lesewache_Block) {
        const std::int64_t block = jetzt - Lesewache.letzter;
        if (Lesewache.kuerzester < 0 || block < Lesewache.kuerzester) {
            // A quicker block: the earlier ones took longer than thought.
            if (Lesewache.kuerzester >= 0) Lesewache.verlust += Lesewache.kuerzester - block;
            Lesewache.kuerzester = block;
        }
        Lesewache.verlust = std::max(Lesewache.verlust, block - Lesewache.kuerzester);
    }
    Lesewache.letzter = jetzt;
    Lesewache.abfragen = 0;
}

void Lesewache_beginnen(std::int64_t Grenze_us) {
    if (!Lesewache.aktiv) {
        Lesewache.letzter = Zaehlerstand();
        Lesewache.abfragen = 0;
    }
    Lesewache.aktiv = true;
    Lesewache.kuerzester = -1;
    Lesewache.verlust = 0;
    Lesewache.grenze = Grenze_us * Zaehlerfrequenz() / 1000000;
}

bool Lesewache_unterbrochen() {
    std::int64_t verlust = Lesewache.verlust;
    // The polls since the last look, against the quickest block's pace.
    if (Lesewache.kuerzester >= 0)
        verlust =
            std::max(verlust, Zaehlerstand() - Lesewache.letzter -
                                  Lesewache.kuerzester * Lesewache.abfragen / Lesewache_Block);
    return verlust > Lesewache.grenze;
}

void Lesewache_beenden() {
    Lesewache.aktiv = false;
}

bool Warte_mit(const Wartelinie& Linie, std::int32_t Ganz, std::int32_t Extra) {
    Wache_beenden ende;
    std::int32_t zaehler = 0, rahmen = 0, seit = -1;
    do {
        ++zaehler;
        if (unter_Wache(Linie.Verlust_Grenze_us, Linie.lesen)) {
            rahmen += Linie.dekodieren();
            seit = Linie.seit_Bildern();
        } else {
            rahmen = 0;
            seit = -1;
        }
    } while ((seit < 0 || seit >= rahmen || Zaehler_mindestens(Linie.position()) < Ganz) &&
             zaehler <= 500);
    // A frame without frames after the one that gave them found the tape
    // that many fields further on.
    std::int32_t stand = Zaehler_mindestens(Linie.position());
    if (stand != Keine_Position && seit >= 0 && seit < rahmen) stand += seit;
    const std::int32_t rest = Rest_ab(stand, Ganz, Extra);
    // Found past the count-off's end, the wait was due that many fields ago.
    const std::int64_t vorbei =
        rest < Extra ? std::max<std::int64_t>(0, std::int64_t{stand} - Ganz - Extra - 1) : 0;
    Extra = rest;
    // One frame per field: each further read counts off one unit; one that
    // lost the processor counts the fields since the count-off began. After
    // such a loss the receiver may still hold frames that came meanwhile,
    // read at once: a read never counts further than the fields gone by.
    const std::int64_t beginn = Zaehlerstand();
    const std::int64_t feld = Zaehlerfrequenz() / 50;
    Warte_Ende_soll = beginn + (std::int64_t{Extra} + 1 - vorbei) * feld;
    std::int32_t lesungen = 0, unterbrochen = 0;
    // The field of the last read began with its frame: known where that read
    // and the one before were clean and saw their frames begin a field apart
    // (a frame start seen late, within a frame, breaks the step), in the
    // field planned. The search's last read was clean.
    Warte_Feldbeginn = 0;
    std::int64_t davor = Lese_Rahmenbeginn;
    for (std::int64_t gezaehlt = 0; gezaehlt < Extra + 1; ++lesungen) {
        const bool gut = unter_Wache(Linie.Verlust_Grenze_us, Linie.lesen);
        const std::int64_t vergangen = (Zaehlerstand() - beginn + feld / 2) / feld;
        const std::int64_t rahmen_beginn = gut ? Lese_Rahmenbeginn : 0;
        Warte_Feldbeginn = rahmen_beginn != 0 && davor != 0 &&
                                   std::abs(rahmen_beginn - davor - feld) <= feld / 20 &&
                                   rahmen_beginn > Warte_Ende_soll - feld &&
                                   rahmen_beginn <= Warte_Ende_soll
                               ? rahmen_beginn
                               : 0;
        davor = rahmen_beginn;
        if (gut) {
            gezaehlt = std::min(gezaehlt + 1, vergangen);
        } else {
            ++unterbrochen;
            gezaehlt = std::max(gezaehlt + 1, vergangen);
        }
    }
    if (Dbg_disp::Debug_An)
        Debug_WriteLn("Warte_Ende : " + Zahl_Text(Extra + 1) + " Einheiten, " +
                      Zahl_Text(lesungen) + " Lesungen (" + Zahl_Text(unterbrochen) +
                      " unterbrochen), " +
                      Zahl_Text(static_cast<std::int32_t>((Zaehlerstand() - Warte_Ende_soll) *
                                                          1000000 / Zaehlerfrequenz())) +
                      " us nach Soll, Feld begann " +
                      Zahl_Text(Warte_Feldbeginn == 0
                                    ? -1
                                    : static_cast<std::int32_t>((Zaehlerstand() - Warte_Feldbeginn) *
                                                                1000000 / Zaehlerfrequenz())) +
                      " us davor");
    return zaehler <= 500;
}

std::int64_t Warte_auf_naechstes_Feld() {
    if (Warte_Feldbeginn == 0) return Warte_Ende_soll;
    const std::int64_t faellig = Warte_Feldbeginn + Zaehlerfrequenz() / 50;
    while (Zaehlerstand() < faellig) {
    }
    return faellig;
}

void Warte_auf_Position(std::int32_t Kanal, std::int32_t Ziel) {
    Warte_Ende_soll = 0;
    Warte_Feldbeginn = 0;
    const std::int32_t u = Halbbilder_pro_Sekunde;
    if (u <= 0) return; // no unit rate set: nothing to count in
    // The whole second at or below the target, also below zero (-1 lies in
    // the second from -50, not in the one from 0, or the wait would come a
    // second late), and the units from it, one more as the count-off needs.
    // 64 bits: the cut of a target near the int32 bound leaves that range.
    std::int64_t ganz = Ziel / u;
    std::int32_t rest = Ziel % u;
    if (rest < 0) {
        rest += u;
        --ganz;
    }
    ganz = std::max<std::int64_t>(ganz * u, INT32_MIN);
    rest = rest + 1;
    Waehle_Kanal(Kanal);
    Leitungskanal = Kanal;
    const Protokoll protokoll = Erkenne_Protokoll();
    if (protokoll == Protokoll::Sony)
        Sony_Warte_auf_Position(static_cast<std::int32_t>(ganz), rest);
    else if (protokoll == Protokoll::Panasonic)
        Pana_Warte_auf_Position(static_cast<std::int32_t>(ganz), rest);
}

} // namespace Sio
