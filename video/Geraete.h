#pragma once
// The table of video devices: per device the leads of its record and pause
// commands (by IR and by edit line), its longest pause, its recorder IR file
// and how recording is started. Kept in the settings file's "VideoGeraet" + n
// sections.

#include "platform/IniFile.h"

#include <array>
#include <string>
#include <vector>

namespace video {

inline constexpr const char* kNeu = "< Neu >";

struct TVideoGeraet {
    std::string Name;
    std::string dt_IR_rec;
    std::string dt_IR_Pause;
    std::string dt_K_rec;
    std::string dt_K_Pause;
    std::string MaxPausenZeit;
    std::string IRDatei;
    bool PausePause = false;
    bool operator==(const TVideoGeraet&) const = default;
};

inline constexpr int kGeraete = 21;
using TGeraeteliste = std::array<TVideoGeraet, kGeraete>;

// Clears all names, then reads "VideoGeraet" + n for n = 0, 1, ... up to and
// with the first entry named "< Neu >" or entry 20. Returns the names read, in
// order (the items of the device combo boxes).
std::vector<std::string> Geraete_laden(const platform::IniFile& ini, TGeraeteliste& liste);

// Writes every entry with a real name to "VideoGeraet" + k, k counting from 0,
// into the batch; the caller commits it, so the table is stored whole or not
// at all.
void Geraete_speichern(platform::IniBatch& ini, const TGeraeteliste& liste);

} // namespace video
