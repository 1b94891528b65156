#pragma once
// Frame analysis of a capture in IR_Messwerte: dead-time correction, the
// extremes, cutting a held key's capture into its frames and merging them,
// the bit times, and the bit puzzle that turns a frame into bytes.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace Sio {

// Bytes from index 1 (0..255), ended by -1; index 0 stays 0.
using TBytetabelle = std::array<std::int32_t, 101>;

inline std::int32_t kuerzester_Impuls = 0;
inline std::int32_t laengster_Impuls = 0;
inline std::int32_t kuerzeste_Pause = 0;
inline std::int32_t laengste_Pause = 0;
inline std::int32_t Anzahl_Befehlspausen = 0;
inline std::int32_t Anzahl_Wiederholungen = 0;
inline std::int32_t Last_correct_Bit = 0;
inline std::int32_t AN_Bit_Zeit = 0;
inline std::int32_t AUS_Bit_Zeit = 0;
inline std::int32_t Single_Laenge = 0;
// The bytes of frames 1 to 25 (index 0 unused).
inline std::array<TBytetabelle, 26> Basisbefehle{};

inline constexpr std::int32_t Max_Befehlspausen = 20;
inline constexpr std::int32_t Max_Rahmen = 25;
// A duration of this many bit lengths ends a frame.
inline constexpr std::int32_t Stop_Bitlaenge = 18;

void Korrigiere_Totzeiten();
// The detector stretches each pulse by its decay time A: takes A off each
// pulse longer than A and adds it to each pause, in a duration list laid out
// as the capture (index 0 unused, ended by a 0 entry). True when a pulse is
// then A or shorter.
bool Totzeiten_abziehen(std::span<std::int64_t> d, std::int64_t A);
void Bestimme_Min_Max();
void Suche_Wiederholung_und_Korrigiere_Messwerte();
void Bestimme_Basisbefehle();
void Puzzle_Bits_Auseinander(std::int32_t start, std::int32_t& ende, TBytetabelle& bytes);
void Bestimme_Bitlaenge();
std::int32_t Bit_Mittel(std::int32_t erster, std::int32_t letzter);
std::string Bytes_nach_Hextext(const TBytetabelle& bytes);

} // namespace Sio
