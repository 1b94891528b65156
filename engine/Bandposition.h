#pragma once
// Tape positions: the record the edit-line decoders fill and its count of
// units of 1/50 s.

#include "engine/Sio.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace Sio {

struct Bandposition {
    char Vorzeichen = ' ';
    std::int32_t Stunden = 0;
    std::int32_t Minuten = 0;
    std::int32_t Sekunden = 0;
    std::int32_t Halbbilder = 0;
};

inline constexpr std::int32_t Keine_Position = 30203340;

inline std::int32_t Position_nach_Zaehler(const Bandposition& p) {
    const std::int64_t u = Halbbilder_pro_Sekunde;
    std::int64_t z = ((static_cast<std::int64_t>(p.Stunden) * 60 + p.Minuten) * 60 + p.Sekunden) * u +
                     p.Halbbilder;
    if (p.Vorzeichen == '-')
        z = -z;
    return static_cast<std::int32_t>(z);
}

inline void Zaehler_nach_Position(std::int32_t z, Bandposition& p) {
    const std::int64_t u = Halbbilder_pro_Sekunde > 0 ? Halbbilder_pro_Sekunde : 50;
    p.Vorzeichen = z < 0 ? '-' : ' ';
    std::int64_t a = std::llabs(static_cast<std::int64_t>(z));
    p.Stunden = static_cast<std::int32_t>(a / (u * 3600));
    a %= u * 3600;
    p.Minuten = static_cast<std::int32_t>(a / (u * 60));
    a %= u * 60;
    p.Sekunden = static_cast<std::int32_t>(a / u);
    p.Halbbilder = static_cast<std::int32_t>(a % u);
}

inline std::string Zweistellig(std::int32_t n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

inline std::string Position_nach_Text(const Bandposition& p) {
    std::string h = Zweistellig(p.Stunden);
    return std::string(1, p.Vorzeichen) + h.substr(1, 1) + ":" + Zweistellig(p.Minuten) + ":" +
           Zweistellig(p.Sekunden) + "." + Zweistellig(p.Halbbilder / 2);
}

} // namespace Sio
