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
// keeps what the caller had (the last good one): Statustext and spielt come
// from the read when only the position is unknown (a Panasonic read that met
// no frame of hours after a start or a jump).
bool Lies_Geraetestatus(std::int32_t Kanal, Bandposition& Position, Protokoll& Typ,
                        std::string& Statustext, bool& spielt);

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

// What a position wait needs of a line: one read of a frame, its decoder
// (returns the frames decoded), the decoded position of the channel, and the
// frames decoded since the frames of that position were set (-1: not known).
struct Wartelinie {
    void (*lesen)();
    std::int32_t (*dekodieren)();
    const Bandposition& (*position)();
    std::int32_t (*seit_Bildern)();
};

// Reads and decodes frames until the tape stands at the whole second Ganz or
// past it (at most 501 reads), then counts off what is left of Extra, one
// read per field. The count goes on from the field whose frame gave the
// frames, known only when that frame or one after it came in this wait's own
// reads (each ends at the pause after its frame, so each is one field). False
// when the tape never got there.
bool Warte_mit(const Wartelinie& Linie, std::int32_t Ganz, std::int32_t Extra);

} // namespace Sio
