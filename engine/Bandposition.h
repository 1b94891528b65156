#pragma once
// Tape positions: the record the edit-line decoders fill, the signed count of
// 1/Halbbilder_pro_Sekunde-second units all arithmetic is done on, and the
// texts of the counter boxes and the cut list (' 1:02:03.04').

#include <cstdint>
#include <string>
#include <string_view>

namespace Sio {

struct Bandposition {
    char Vorzeichen = ' '; // ' ' or '-'
    std::int32_t Stunden = 0;
    std::int32_t Minuten = 0;
    std::int32_t Sekunden = 0;
    std::int32_t Halbbilder = 0; // units; one frame is two
};

// The count that stands for "no position" (shown as "-:--:--.--").
inline constexpr std::int32_t Keine_Position = 30203340;

void Zeit_Leeren(Bandposition& p);

// Value of the n-th run of decimal digits (from 1); 0 when n < 1, when there
// are fewer runs or when the run is beyond int32.
std::int32_t Zahl_Nr(std::string_view text, std::int32_t n);
// The n-th run of time characters (blank - . 0-9 :), trimmed; empty when it
// holds no digit or does not exist.
std::string Zeitwort_Nr(std::string_view text, std::int32_t n);

// Reads a time word [-][[h:]m:]s[.f]; the fields are not limited to their
// clock range.
void Zeitwort_nach_Position(std::string_view word, Bandposition& p);
// Count of a position, limited to +-(2^31 - 1).
std::int32_t Position_nach_Zaehler(const Bandposition& p);
void Zaehler_nach_Position(std::int32_t count, Bandposition& p);
// Count of the n-th time word of a text; 0 when there is none.
std::int32_t Zeitwort_nach_Zaehler(std::string_view text, std::int32_t n);

std::string Position_nach_Text_kurz(const Bandposition& p);
std::string Position_nach_Text(const Bandposition& p);
std::string Zaehler_nach_Text_kurz(std::int32_t count);
std::string Zaehler_nach_Text(std::int32_t count);
std::string Zeitwort_normieren(std::string_view text, std::int32_t n);
// The long text one frame later (earlier) than the text's first time word;
// the text unchanged when it holds none.
std::string Zeit_naechstes_Bild(std::string_view text);
std::string Zeit_voriges_Bild(std::string_view text);
std::string Zweistellig(std::int32_t n);

} // namespace Sio
