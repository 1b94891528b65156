#pragma once
// The recorder's IR commands: 14 slots indexed by transport command code, and
// the recorder IR file that keeps them in the key file's record layout (a
// fixed seven-line head, then entries that later writes append).

#include "engine/Sio.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace video {

using Schnitt_IRTabelle = std::array<Sio::TIR_Knopf, 14>;

// Label of a transport command code 1 to 12; empty for any other.
std::string BCode(std::int32_t code);
// The file's key number of a code (404 for any code outside 1 to 12).
std::int32_t Tastennummer(std::int32_t code);
// The code of a key number; 13 for one that names no code.
std::int32_t Code_von_Tastennummer(std::int32_t knopfnummer);

// One entry of slot `code` as the file holds it (CR LF line ends).
std::string Knopf_Text(const Schnitt_IRTabelle& t, std::int32_t code);
// A new file: the head and the entries of codes 1 to 13.
std::string Datei_Text(const Schnitt_IRTabelle& t);

// Appends the entry of `code` to an existing file, or creates the file (an
// empty name is "Video_ir.cdx") with the head and all entries. Either way the
// file is replaced at once, so a failure leaves it as it was. Throws
// EInOutError.
void Schreibe_Schnitt_IRCodes(const Schnitt_IRTabelle& t, const std::string& name,
                              std::int32_t code);

// Empties the table (entry 0 of every slot), then reads the file into it;
// a missing file leaves it empty. A numeric line without a number throws
// EInOutError; slots read until then keep what they got.
void Lies_Schnitt_IRCodes(Schnitt_IRTabelle& t, const std::string& name);
// The same over a file's bytes.
void Lies_Schnitt_IRText(Schnitt_IRTabelle& t, std::string_view bytes, const std::string& name);

} // namespace video
