#pragma once
// The remote file (".mpx"): the learnt slots in sections "Befehl1" to
// "Befehl30" beside the receiver's bit period and character width.

#include "playerremote/Recognition.h"

#include <filesystem>
#include <string>

namespace platform {
class IniFile;
class IniBatch;
} // namespace platform

namespace pmp3p {

// Writes every slot with L above 0 as keys "x0" to "x" + L, all in one write
// of the file. Keys that already hold the value are left alone, so a store
// rewrites only what changed.
void Befehle_Speichern(platform::IniFile& ini, const TFaecher& faecher);

// Reads slots 1 to 30 from one read of the file; a missing or negative L
// leaves the slot empty. A slot with L above 100 is left empty as well, the
// other slots load all the same, and ERangeError names the damaged slots at
// the end.
void Faecher_Laden(const platform::IniBatch& ini, TFaecher& faecher);
void Faecher_Laden(const platform::IniFile& ini, TFaecher& faecher);

// Erases the sections of all 30 slots and empties them in memory.
void Faecher_Loeschen(platform::IniFile& ini, TFaecher& faecher);

// The file-name part of a path, cut before its first ".".
std::string Dateiname_ohneExtension(const std::string& path);

// The program's settings file: beside the program, named after it.
std::filesystem::path programmIniPfad(const std::filesystem::path& programFile);

} // namespace pmp3p
