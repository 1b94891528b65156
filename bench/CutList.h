#pragma once
// What the cut benchmarks share: the box delays as the user types them and
// the IR recorder's commands as learning would give them.
#include "engine/ControlL.h"
#include "engine/Panasonic.h"
#include "engine/Sio.h"
#include "platform/IniFile.h"
#include "sim/IrRecorder.h"
#include "video/Kamera_qt.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace bench {

// A delay of ms as a time text of whole frames.
inline std::string verzoegerung(double ms) {
    const long frames = std::lround(ms / 40.0);
    char t[32];
    std::snprintf(t, sizeof t, "0:%02ld.%02ld", frames / 25, frames % 25);
    return t;
}

// The recorder's own remote, as learning would give it.
inline void irCodesGelernt(video::TKameraDialog& k) {
    for (int code : sim::IrRecorder::kCodes) {
        const auto key = sim::IrRecorder::remoteKey(code);
        Sio::TBefehl b{};
        std::copy(key.befehl.begin(), key.befehl.end(), b.begin());
        k.Schnitt_IRCodes[static_cast<std::size_t>(code)].Befehl = b;
    }
}

// Both decks' decoded state forgotten, and the settings a first start
// would have asked for (German, no IR unit, COM 1) written to the
// settings file, which the caller goes on to fill.
inline void frischeEinstellungen(platform::IniFile& ini) {
    Sio::Sony_Status = Sio::Pana_Status = 0;
    Sio::Sony_Position = Sio::Pana_Position = Sio::Bandposition{};
    Sio::Pana_Mittel = Sio::Pana_Schwelle = 0;
    ini.writeInteger("Einstellungen", "Sprache", 1);
    ini.writeInteger("Einstellungen", "IR_Einheit", 0);
    ini.writeInteger("Schnittstelle", "Com_Nr", 1);
}

} // namespace bench
