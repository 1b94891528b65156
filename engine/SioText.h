#pragma once
// Small pure text and number helpers of the engine: hex and bit texts of IR
// codes, the splitting of cut-list lines, trace-table cells and the integer
// statistics of calibration and analysis. Texts are Windows-1252 byte strings.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace Sio {

// Four bits per hex digit (either case), most significant first; every other
// character is skipped.
std::string Hex_nach_Bin(std::string_view text);
// Bits padded with "0" to whole bytes, trailing zero bytes cut (one stays);
// a group of four that is not a bit pattern gives "0".
std::string Bin_nach_Hex(std::string_view bits);

std::string Text_vor_Semikolon(std::string_view text);
// At most 500 characters after the first ';'.
std::string Text_nach_Semikolon(std::string_view text);
// From the second character (the first is the line's marker) up to the first ','.
std::string Text_vor_Komma(std::string_view text);
// At most 100 characters after the first ','.
std::string Text_nach_Komma(std::string_view text);

std::string Byte_nach_Hex(std::uint8_t b);
// " " + number + "  ": the cell of a trace line.
std::string Zahl_Text(std::int32_t n);

inline std::int32_t Maximum(std::int32_t a, std::int32_t b) {
    return b > a ? b : a;
}
inline std::int32_t Minimum(std::int32_t a, std::int32_t b) {
    return b < a ? b : a;
}

// The tables below hold entries 0..high and end at their first negative
// entry; a table without one there throws ERangeError.

// Truncated mean of the entries above floor; 0 when there are none.
std::int32_t Mittelwert_ueber(std::span<const std::int32_t> table, std::int32_t high,
                              std::int32_t floor);
// Sample standard deviation around the mean of the entries above 0, taken over
// all entries, rounded halves to even; 0 for fewer than two entries.
std::int32_t Standardabweichung(std::span<const std::int32_t> table, std::int32_t high);

} // namespace Sio
