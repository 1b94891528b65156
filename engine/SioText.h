#pragma once
// Text and number helpers of the engine.

#include <cstdint>
#include <string>

namespace Sio {

inline std::string Zahl_Text(std::int32_t n) { return " " + std::to_string(n) + "  "; }

inline std::string Byte_nach_Hex(std::uint8_t b) {
    static constexpr char hex[] = "0123456789ABCDEF";
    return std::string{hex[b >> 4], hex[b & 0x0F]};
}

} // namespace Sio
