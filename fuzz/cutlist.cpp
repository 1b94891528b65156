// The cut list: any text is read into the grid; from the first save on, every
// load and save gives the same text. (The first save may normalise: cells are
// trimmed, a player row without times loses its player, as the format has it.)
#include "FuzzSupport.h"
#include "engine/Sio.h"
#include "video/Schnittraster.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Sio::Halbbilder_pro_Sekunde = 50;
    int spieler = 1;
    const video::Zuspielerwahl wahl{[&](std::int32_t n) {
                                        if (n >= 1 && n <= 3) spieler = n;
                                    },
                                    [&] { return spieler; }};
    video::Schnittraster r;
    video::Liste_einlesen(
        r, video::Zeilen_aus_Text(std::string_view(reinterpret_cast<const char*>(data), size)),
        wahl);
    auto roundTrip = [&](const video::Zeilen& zeilen) {
        video::Schnittraster b;
        video::Liste_einlesen(b, zeilen, wahl);
        return video::Liste_erzeugen(b, "f.lst", "x");
    };
    const video::Zeilen once = video::Liste_erzeugen(r, "f.lst", "x");
    const video::Zeilen twice = roundTrip(once);
    fuzz::check(roundTrip(twice) == twice, "load, save, load");
    return 0;
}
