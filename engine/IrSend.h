#pragma once
// IR send: a command goes out through the adapter's IR sender on TXD. The UART
// makes the 38.4 kHz carrier itself: at 115200 baud, 7N1, a character lasts
// three carrier periods, and the patterns 0x5B/0xFB/0xFF put 3/2/1 carrier
// pulses on the line. Pauses are busy waits on the performance counter up to
// deadlines counted from the start of the frame, so no error accumulates.

#include "engine/Sio.h"

#include <cstdint>
#include <span>
#include <vector>

namespace Sio {

// Performance-counter value at the start of the current transmission of the
// frame.
inline std::int64_t Sendestart = 0;

// How late a pulse may begin before its frame counts as damaged: a fifth of
// the shorter of the pauses before and after it (a pulse begun late makes the
// one longer and the other as much shorter, since every pause waits for a
// deadline from the frame start), at least Sende_Verspaetung_us (µs).
// Receivers take a duration within a quarter of it or 150 µs (the simulated
// ones within 35 %): a fifth keeps a margin under that.
inline constexpr std::int64_t Sende_Verspaetung_us = 100;
inline constexpr std::int64_t Sende_Verspaetung_Anteil = 5;
// Transmissions of one command that are sent again, at most, after damage.
inline constexpr std::int32_t Sende_Wiederholungen = 3;
// Silence at least between a damaged transmission and its repetition, so that
// a receiver takes them for two frames (µs).
inline constexpr std::int32_t Sende_Mindestpause_us = 20000;
inline constexpr const char* Sende_Abbruch_Text = " *Senden unterbrochen* ";
// The set-up before a command's first transmission (ms).
inline constexpr std::int32_t Sende_Vorbereitung_ms = 100;
// When the last command's first clean transmission began (performance
// counter; 0: none did). Against its call and Sende_Vorlauf() it says how
// much later a receiver acts than after an undisturbed send: time lost
// before or in the set-up, and transmissions sent again.
inline std::int64_t Sendebeginn = 0;
// How long an undisturbed send takes from its call to its first
// transmission (performance counter).
std::int64_t Sende_Vorlauf();

// Sends cmd[0] times the frame of cmd (durations in µs from entry 1, the first
// 0 ends it). A transmission whose pulse began later than the bound above
// (the process lost the processor), or broke off between two carrier
// characters, is stopped there and sent again,
// up to Sende_Wiederholungen times for the whole command: the first after the
// command's closing pause; a later one after Sende_Mindestpause_us, and only
// while it still starts within one frame period of the end of the last clean
// one, so that a receiver takes it for a repeat of the same press. Returns 1 when every
// transmission went out clean, 0 (with Sende_Abbruch_Text or "** send_timeout **" in the trace)
// when one never did or the transmitter did not take the characters.
std::int32_t IR_Senden(const TBefehl& cmd);
// The send table of cmd's frame: odd entries the pulse in carrier periods,
// even entries the end of the pause in µs from the frame start; the first 0
// ends it.
void Sendetabelle_bauen(const TBefehl& cmd, std::span<std::int64_t> table);
// One frame of cmd as it appears on the line, pulse, pause, ... in µs: pulses
// as whole carrier periods, pauses up to their deadlines. A pulse of no
// carrier period ends the frame there; a frame without a closing pause ends
// with its last pulse.
std::vector<std::int64_t> Gesendeter_Rahmen(const TBefehl& cmd);
// The whole command as it appears on the line: cmd[0] transmissions of its
// frame with the closing pause between two of them, nothing after the last.
// A frame without a closing pause runs into the next transmission: its last
// pulse and the next one's first are one pulse on the line.
std::vector<std::int64_t> Gesendeter_Befehl(const TBefehl& cmd);
// The same from the frame Gesendeter_Rahmen gave, sent that many times.
std::vector<std::int64_t> Gesendeter_Befehl(const std::vector<std::int64_t>& rahmen,
                                            std::int32_t sendungen);
// Sets all 801 entries to 0.
void IR_Liste_Loeschen(TBefehl& cmd);
// One pulse of n carrier periods (nothing once the transmitter timed out).
void Sende_Impuls(std::int32_t n);
// Waits until Sendestart + t µs has passed.
void Warte_bis(std::int64_t t);

} // namespace Sio
