#pragma once
// The remote file (".mpx"): the learnt slots in sections "Befehl1" to
// "Befehl30" beside the receiver's bit period and character width.

#include "playerremote/Recognition.h"

#include <filesystem>
#include <string>

namespace platform {
class IniFile;
}

namespace pmp3p {

// Writes every slot with L above 0 as keys "x0" to "x" + L. Keys that already
// hold the value are left alone, so a store rewrites only what changed.
void Befehle_Speichern(platform::IniFile& ini, const TFaecher& faecher);

// Reads slots 1 to 30; a missing or negative L leaves the slot empty. A slot
// with L above 100 is left empty and ends the load with ERangeError; the
// slots after it are then left empty as well, so nothing of another file
// stays in memory.
void Faecher_Laden(const platform::IniFile& ini, TFaecher& faecher);

// Erases the sections of all 30 slots and empties them in memory.
void Faecher_Loeschen(platform::IniFile& ini, TFaecher& faecher);

// The file-name part of a path, cut before its first ".".
std::string Dateiname_ohneExtension(const std::string& path);

// The program's settings file: beside the program, named after it.
std::filesystem::path programmIniPfad(const std::filesystem::path& programFile);

} // namespace pmp3p
