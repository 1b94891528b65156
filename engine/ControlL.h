#pragma once
// The Control-L edit line: receives the device's frames (eight bytes per
// field on a 9600-baud bus, a CTS edge at every byte), decodes status and tape
// counter, sends command byte pairs in step with the bus, and calibrates the
// send delays against the bus.

#include "engine/Bandposition.h"
#include "engine/Sio.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace Sio {

// Entries 1..n: the received bytes, inverted; n+1 is 0.
inline std::array<std::uint8_t, 131> Sony_Bytes{};
// Entries 1..n: data-ready polls before each byte; n+1 is -1.
inline std::array<std::int32_t, 131> Sony_Abfragen{};
inline std::uint8_t Sony_Status = 0;
inline std::string Sony_Statustext;
inline Bandposition Sony_Position;
// Per channel 1 to 3 the position its last frames gave: a frame carries only
// part of the position, the rest comes from that channel's own last one.
// Sony_Position is the last decoded one of any channel.
inline std::array<Bandposition, 3> Sony_Kanal_Position{};
// The deck counts in seconds only (kind 2): no minutes to carry into.
inline bool Sony_Sekundenzaehler = false;
// Performance counter when the frames were last set.
inline std::int64_t Sony_Zeit_bei_Bildern = 0;
// Performance counter when a frame last set the seconds.
inline std::int64_t Sony_Zeit_bei_Sekunden = 0;
// The kind of the frame decoded last (2, 3 or 4; 0 for none), its channel and
// the performance counter then: while the deck winds, a frame of frames is
// paired only with the frame of seconds of the field just before.
// Seit_Bildern: frames decoded on that channel since the frames of its
// position were last set (by a frame of frames, or a carry into a new
// second right after one); 0 when this frame set them, -1 when not known
// (a carry after a lost frame gives only the earliest field). A frame of seconds
// with frames one field old stands for the tape one field back.
struct Sony_Rahmen {
    std::int32_t Art = 0;
    std::int32_t Kanal = 0;
    std::int64_t Zeit = 0;
    std::int32_t Seit_Bildern = -1;
};
inline Sony_Rahmen Sony_Letzter_Rahmen{};
// Send delay per bit position, in turns of Warteschleife.
inline std::array<std::int32_t, 11> CTL_Verzoegerung{};
// The echoes of the probe byte, classes 0 to 5.
inline constexpr std::array<std::uint8_t, 6> Echoklassen{85, 170, 84, 168, 80, 160};

struct Sony_Zeichen {
    std::int32_t p;       // number of the lowest set bit + 1; 0 for no bit
    std::uint8_t Zeichen; // the UART character
};

std::int32_t Sony_Empfang(std::int32_t Max_Bytes, std::int32_t Grenze);
std::int32_t Sony_Lesen();
std::int32_t Bestimme_Sony_Schwelle();
// Returns the number of frames decoded.
std::int32_t Sony_Dekodieren();
void Sony_Warte_auf_Position(std::int32_t Ziel, std::int32_t Extra);
Sony_Zeichen Sony_Sendebyte(std::uint8_t b);
std::int32_t Sony_Verzoegerung(std::int32_t n);
// Least-squares line over (x, Tabelle[x]) for x = Erster..Letzter, written to
// entries 0..n.
void Ausgleichsgerade(std::span<std::int32_t> Tabelle, std::int32_t Erster, std::int32_t Letzter,
                      std::int32_t n);
// Immer_senden: send even when the status already is the expected one (for
// commands whose expected status means "nothing to wait for").
std::int32_t CTL_send(std::uint8_t Adresse, std::uint8_t Befehl, std::uint8_t Erwartet,
                      std::int32_t Versuche, bool Immer_senden = false);
std::uint8_t CTL_Probe(std::int32_t Verzoegerung);
void Try_Control_L(std::int32_t Tiefe);
std::int32_t UART_Messroutine(std::int32_t Tiefe);

} // namespace Sio
