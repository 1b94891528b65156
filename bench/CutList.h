#pragma once
// What the cut benchmarks share: the box delays as the user types them and
// the IR recorder's commands as learning would give them.
#include "engine/Sio.h"
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

} // namespace bench
