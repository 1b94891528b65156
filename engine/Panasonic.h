#pragma once
// The Panasonic edit line: the device's clock arrives as delta-DSR edges and
// its data as the CTS level; commands go back on TXD through the break bit in
// step with that clock.

#include "engine/Bandposition.h"
#include "engine/Sio.h"

#include <array>
#include <cstdint>
#include <string>

namespace Sio {

// Pana_Laufzeit and Pana_CTS (451 entries each) live in Sio.h: SIO_Init resets them.
inline std::int32_t Pana_Mittel = 0;
inline std::int32_t Pana_Schwelle = 0;
// Entries 1..7: the bytes of the last frame.
inline std::array<std::int32_t, 11> Pana_Bytes{};
inline std::uint8_t Pana_Status = 0;
inline std::string Pana_Statustext;
inline Bandposition Pana_Position;
// Per channel 1 to 3 the position its last frames gave. A frame of minutes,
// seconds and frames carries only the units of the minutes: the tens and the
// hour come from that channel's own last position, not from another deck's
// read just before. Pana_Position is the last decoded one of any channel.
inline std::array<Bandposition, 3> Pana_Kanal_Position{};
// The channel of the frame decoded last, the performance counter then, and
// the frames decoded on it since the frames of its position were last set (0
// when this frame set them, -1 when not known): a frame of hours with frames
// one field old stands for the tape one field back.
struct Pana_Rahmen {
    std::int32_t Kanal = 0;
    std::int64_t Zeit = 0;
    std::int32_t Seit_Bildern = -1;
};
inline Pana_Rahmen Pana_Letzter_Rahmen{};
// Frames of hours, minutes and seconds that the last decode found.
inline std::int32_t Pana_Stundenrahmen = 0;

void Pana_Laufzeiten_lesen(std::int32_t Max_Laeufe, std::int32_t Grenze);
void Bestimme_Pana_Schwelle();
void Pana_Lesen();
// Returns the number of frames decoded.
std::int32_t Pana_Dekodieren();
void Pana_Warte_auf_Position(std::int32_t Ziel, std::int32_t Extra);
// Line-control values for the bits of a code, index 7 (sent first) down to 0.
std::array<std::uint8_t, 8> Pana_Leitungswerte(std::uint8_t Code);
// Immer_senden: send even when the status nibble already is the expected one.
std::int32_t Pana_Send(std::uint8_t Code, std::uint8_t Erwartet, std::int32_t Versuche,
                       bool Immer_senden = false);

} // namespace Sio
