#pragma once
// Recording one IR command from the detector on the DSR line: the line is
// polled as fast as the port allows, every change is stamped with the
// performance counter, and the stamps become a list of durations in µs
// (entry 0 = 0, pulses odd, pauses even, ended by a 0) in IR_Messwerte.

#include <cstdint>
#include <string>

namespace Sio {

// Error text of the last learn; the capture and the analysis only prepend.
inline std::string IR_Fehlertext;
// Number of durations of the last capture.
inline std::int32_t IR_Burstende = 0;
// Whether the last capture's pulses were merged from carrier cycles: each
// then ends with its last cycle's flash, not with the pulse itself.
inline bool IR_Traegerzyklen = false;

// Stamps at most; a capture that reaches the cap ends there.
inline constexpr std::int32_t Stempel_Grenze = 99997;
// Durations shorter than this are not from a real remote (µs).
inline constexpr std::int32_t Zu_kurz_Schwelle = 100;
// Stamp gaps below this many counter ticks are carrier cycles of one pulse.
inline constexpr std::int64_t Traeger_Schwelle = 290;
// The capture may lose the processor to other work for this long (µs) before
// a change without harm: the change's stamp it moves, and so the two
// durations on either side, stay within the 100 µs a receiver forgives. A
// machine with nothing else to do still loses it for up to a few hundred µs
// now and then; a stricter bound fails those learns for nothing. Longer, and
// the capture fails with Unterbrochen_Text.
inline constexpr std::int64_t Verlust_Grenze_us = 100;
// A remote pauses less than this inside one transmission and sends none
// shorter (a repeat code of header, pause and stop pulse is longer). Time
// lost after the last change, beginning at least this long after it and
// lasting less, can have hidden neither the rest of the transmission nor a
// whole further one: it does not fail the capture (µs).
inline constexpr std::int64_t Sendungsgrenze_us = 10000;
inline constexpr const char* Unterbrochen_Text = " *Messung unterbrochen* ";

void IR_einlesen();
void IR_high_res_einlesen();
std::int32_t Laengste_Zeitspanne();
void Messwerte_ausgeben();
void Haeufigkeitsverteilung();

} // namespace Sio
