#pragma once
// Learning one IR command from the user's remote: capture, bit unit, and
// either quantisation to the unit (method 2) or frame analysis (method 1).

#include "engine/Sio.h"

#include <cstdint>
#include <string>

namespace Sio {

// Bit unit of the last learn in µs; 500 when it cannot be estimated.
inline std::int32_t Bit_Einheit = 0;

inline constexpr std::int32_t Standard_Bit_Einheit = 500;
inline constexpr const char* Kommentar_nicht_sauber = "Befehl nicht sauber";

// Befehl is cleared by the caller. Code, Fehler and Kommentar receive the code
// text, the error text and the comment; Optimieren keeps one analysed frame
// instead of the raw capture; WAV_Name (without ".wav") exports the capture
// when not empty. True when no error text arose.
bool IR_Befehl_Lernen(TBefehl& Befehl, std::string& Code, std::string& Fehler,
                      std::string& Kommentar, bool Optimieren, const std::string& WAV_Name);

// The code text of a quantised command: one bit per unit, pulses 1, pauses 0,
// the closing pause left out; as hex digits in pairs, each followed by a blank.
std::string Messwerte_nach_Hexcode(const TBefehl& Befehl);

} // namespace Sio
