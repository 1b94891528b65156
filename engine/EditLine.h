#pragma once
// The edit-device layer: which protocol answers on an adapter channel, the
// transport commands 1 to 14, status and position reads, and the wait for a
// tape position. Runs on the GUI thread and blocks it while it works.

#include "engine/Bandposition.h"
#include "engine/Sio.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace Sio {

// Two-character status symbols.
std::string Sony_Symbol(std::uint8_t status);
std::string Pana_Symbol(std::uint8_t nibble);

// Packed BCD byte to its number (no digit check: 0x1F gives 25).
std::int32_t BCD_nach_Zahl(std::uint8_t b);

// The protocol of an edit line; Keins when nothing answers.
enum class Protokoll { Keins, Sony, Panasonic };

// "Sony", "Panasonic" or "": the protocol as the boxes show it and the debug
// log writes it.
std::string Protokoll_Text(Protokoll p);

// The transport commands by the labels of their buttons. Up and Down reach
// only a recorder driven by IR; an edit line has no row for them.
enum class Transport : std::int32_t {
    Play = 1,        // "> Play"
    Stop = 2,        // "o Stop"
    Pause = 3,       // "II Pause"
    Rewind = 4,      // "<<"
    FastForward = 5, // ">>"
    Record = 6,      // "* Record"
    StepBack = 7,    // "<I"
    StepForward = 8, // "I>"
    Nullstellen = 9, // "0 stellen"
    Up = 10,         // "up"
    Down = 11,       // "down"
    Off = 12,        // "off"
    CueForward = 13,
    CueBack = 14,
};

// The protocol from 1/20 s of modem-status reads on the selected channel.
Protokoll Erkenne_Protokoll();

std::int32_t Kamera_Befehl(std::int32_t Kanal, Transport Befehl);

// True when the read gave a position to act on. False with Typ Keins:
// nothing answered (status text "??", not playing, position untouched).
// False with a protocol: the line answered but gave no position, and Position
// keeps what the caller had (the last good one). A read that lost the
// processor is not decoded: status text "??", spielt untouched. A position
// that no transport could have reached since the channel's read before (in
// the faster of their modes, in the time between), or a Panasonic read that
// met no frame of hours: Statustext and spielt come from the read. A jump
// that the next read confirms is taken.
bool Lies_Geraetestatus(std::int32_t Kanal, Bandposition& Position, Protokoll& Typ,
                        std::string& Statustext, bool& spielt);

// Per channel 1 to 3 the position of its last decoded status read, as
// Lies_Geraetestatus judges the next one by it: the count, the performance
// counter then and the units a field of the deck's mode (a deck of the other
// protocol is no base).
struct Lesestand {
    Protokoll typ = Protokoll::Keins;
    std::int32_t zaehler = 0;
    std::int64_t zeit = 0;
    std::int32_t tempo = 0;
};
inline std::array<Lesestand, 3> Kanal_Lesestand{};

// Target in units of 1/50 s.
void Warte_auf_Position(std::int32_t Kanal, std::int32_t Ziel);

// ---- helpers shared by both edit lines ----

// Poll limit of every wait for a line edge or a received byte: a dead line
// ends the wait after about 1/10 s instead of holding the GUI for ever.
std::int32_t Flanken_Grenze();

// Polls the modem-status register until one of the bits is set; false when
// the limit passed first.
bool Warte_auf_MSR(std::uint8_t Bits);

// While a deck winds the tape moves about half a second a field. A frame that
// gives the seconds but no frames, one field after a frame that gave the
// position to the frame (vorher, in units), stands half a second on from it in
// the winding direction (+1 forward, -1 back), within its own second, which
// starts at anfang (units): the units within that second, a whole frame.
// Nothing when the two frames lie further apart than that (the earlier
// position was from before a jump, or stale).
std::optional<std::int32_t> Bilder_beim_Spulen(std::int32_t vorher, std::int32_t anfang,
                                               std::int32_t richtung);

// The position of the channel in Leitungskanal; the shared one when no
// channel is known (a decoder called on its own).
inline Bandposition& Kanal_Position(std::array<Bandposition, 3>& je_Kanal,
                                    Bandposition& gemeinsam) {
    return Leitungskanal >= 1 && Leitungskanal <= 3
               ? je_Kanal[static_cast<std::size_t>(Leitungskanal - 1)]
               : gemeinsam;
}

// The count the tape stands at least at: a frame count holds two units, so
// below zero, where the count's magnitude grows downwards, the tape may stand
// one unit under the count read (-0:00:00.00 is -1). A wait that took the
// count read for the tape would end a unit early there, and at -0 take the
// tape for the second from 0.
std::int32_t Zaehler_mindestens(const Bandposition& p);

// The frames that a position wait still counts off after it found the tape
// at `Gefunden` while looking for the whole second `Ganz`: a tape already past
// that second counts off only what is left of `Extra` (-1: nothing more).
std::int32_t Rest_ab(std::int32_t Gefunden, std::int32_t Ganz, std::int32_t Extra);

// The reads of an edit line measure time in polls. Where the process lost the
// processor during a read, polls are missing: a Panasonic read's runs merge
// or lose their CTS samples (bits drop or shift), a Control-L read finds the
// frame starts in the wrong places or loses a byte, and either can skip a
// field. So the reads look at the counter every Lesewache_Block polls and
// compare each block of polls with the quickest of the read: a block longer
// by more than the line forgives means the read lost the processor. The
// watch runs on over the reads of one status read or one wait, so that the
// time between two reads is judged with the later one.
struct Lesewache_Stand {
    std::int32_t abfragen = 0;    // polls since the last look
    std::int64_t letzter = 0;     // counter at the last look
    std::int64_t kuerzester = -1; // the quickest block of this read
    std::int64_t verlust = 0;     // the largest excess of a block over it
    std::int64_t grenze = 0;      // the loss the line forgives, in ticks
    bool aktiv = false;
};
inline Lesewache_Stand Lesewache{};
inline constexpr std::int32_t Lesewache_Block = 64;
// A Panasonic run lasts about 130 µs: a loss under 100 µs leaves every run
// and its CTS samples. The Control-L receiver holds a byte for a byte's time
// (about 1 ms at 9600 baud) and the pause before a frame is far longer.
inline constexpr std::int64_t Pana_Verlust_Grenze_us = 100;
inline constexpr std::int64_t Sony_Verlust_Grenze_us = 800;

void Lesewache_Blick();
// Once per poll of a read: inlined also where the build does not optimise,
// so that a poll costs a read's pace no more there.
[[gnu::always_inline]] inline void Lesewache_Abfrage() {
    if (++Lesewache.abfragen >= Lesewache_Block) Lesewache_Blick();
}
// A read starts: its judgement starts afresh, its first block goes on from
// the last look while a watch runs.
void Lesewache_beginnen(std::int64_t Grenze_us);
// The read since Lesewache_beginnen lost the processor.
bool Lesewache_unterbrochen();
void Lesewache_beenden();

// What a position wait needs of a line: one read of a frame, its decoder
// (returns the frames decoded), the decoded position of the channel, and the
// frames decoded since the frames of that position were set (-1: not known).
struct Wartelinie {
    void (*lesen)();
    std::int64_t Verlust_Grenze_us;
    std::int32_t (*dekodieren)();
    const Bandposition& (*position)();
    std::int32_t (*seit_Bildern)();
};

// Reads and decodes frames until the tape stands at the whole second Ganz or
// past it (at most 501 reads), then counts off what is left of Extra, one
// read per field. The count goes on from the field whose frame gave the
// frames, known only when that frame or one after it came in this wait's own
// reads (each ends at the pause after its frame, so each is one field). A read
// that lost the processor is not decoded, and the frames before it count no
// more; a count-off read that lost it counts the fields its time took. False
// when the tape never got there.
bool Warte_mit(const Wartelinie& Linie, std::int32_t Ganz, std::int32_t Extra);
// Counter value at which the last position wait's count-off was due to end:
// the tape then stood at its target; before the wait's end by as much as the
// wait found the tape past it. 0 when the last wait counted off nothing (no
// device answered). A caller that acts later acts that much off the point.
inline std::int64_t Warte_Ende_soll = 0;
// Counter value at which the frame of the last read began: its first edge,
// taken only where the read waited for it in the pause before the frame (a
// read that came in within a frame cannot tell). 0 when not known.
inline std::int64_t Lese_Rahmenbeginn = 0;
// Counter value at which the field of the last position wait's last count-off
// read began, the start of its frame: a frame is read whole only late in its
// field. 0 when not known.
inline std::int64_t Warte_Feldbeginn = 0;
// Holds until the field after the last position wait's last one begins, for
// a command due at a field's start. Returns the counter value it was due at:
// that start, or where it is not known, the count-off's planned end (then
// without holding).
std::int64_t Warte_auf_naechstes_Feld();

} // namespace Sio
