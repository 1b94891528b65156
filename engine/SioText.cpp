#include "engine/SioText.h"

#include "engine/Sio.h"
#include "platform/Errors.h"

#include <cmath>
#include <limits>

namespace Sio {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Index of the end mark: the first negative entry in 0..high.
std::size_t endMark(std::span<const std::int32_t> table, std::int32_t high) {
    for (std::int64_t i = 0; i <= high; ++i) {
        if (static_cast<std::size_t>(i) >= table.size()) break;
        if (table[static_cast<std::size_t>(i)] < 0) return static_cast<std::size_t>(i);
    }
    throw ERangeError("Bereichsfehler: Tabelle ohne Endemarke (high = " + std::to_string(high) +
                      ")");
}

} // namespace

std::string Hex_nach_Bin(std::string_view text) {
    std::string bits;
    bits.reserve(text.size() * 4);
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else
            continue;
        for (int bit = 3; bit >= 0; --bit)
            bits += ((v >> bit) & 1) ? '1' : '0';
    }
    return bits;
}

std::string Bin_nach_Hex(std::string_view bits) {
    std::string t(bits);
    while (t.size() % 8 != 0)
        t += '0';
    while (t.size() > 8 && t.compare(t.size() - 8, 8, "00000000") == 0)
        t.resize(t.size() - 8);
    std::string hex;
    hex.reserve(t.size() / 4);
    for (std::size_t g = 0; g + 4 <= t.size(); g += 4) {
        int v = 0;
        bool valid = true;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = t[g + k];
            if (c != '0' && c != '1') valid = false;
            v = v * 2 + (c == '1');
        }
        hex += valid ? kHexDigits[v] : '0';
    }
    return hex;
}

std::string Text_vor_Semikolon(std::string_view text) {
    return std::string(text.substr(0, text.find(';')));
}

std::string Text_nach_Semikolon(std::string_view text) {
    const auto p = text.find(';');
    if (p == std::string_view::npos) return {};
    return std::string(text.substr(p + 1, 500));
}

std::string Text_vor_Komma(std::string_view text) {
    const auto p = text.find(',');
    if (p == std::string_view::npos || p < 1) return {};
    return std::string(text.substr(1, p - 1));
}

std::string Text_nach_Komma(std::string_view text) {
    const auto p = text.find(',');
    if (p == std::string_view::npos) return {};
    return std::string(text.substr(p + 1, 100));
}

std::string Byte_nach_Hex(std::uint8_t b) {
    return {kHexDigits[b >> 4], kHexDigits[b & 0x0F]};
}

std::string Zahl_Text(std::int32_t n) {
    return std::string(" ").append(std::to_string(n)).append("  ");
}

std::int32_t Mittelwert_ueber(std::span<const std::int32_t> table, std::int32_t high,
                              std::int32_t floor) {
    const std::size_t end = endMark(table, high);
    std::int64_t sum = 0;
    std::int64_t n = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (table[i] > floor) {
            sum += table[i];
            ++n;
        }
    }
    return n == 0 ? 0 : static_cast<std::int32_t>(sum / n);
}

std::int32_t Standardabweichung(std::span<const std::int32_t> table, std::int32_t high) {
    const std::size_t end = endMark(table, high);
    // Fewer than two entries (an empty table included) have no spread.
    if (end < 2) return 0;
    const std::int64_t m = Mittelwert_ueber(table, high, 0);
    double s = 0.0;
    for (std::size_t k = 0; k < end; ++k) {
        const double d = static_cast<double>(table[k] - m);
        s += d * d;
    }
    const double sd = std::sqrt(s / static_cast<double>(end - 1));
    if (!(sd < std::numeric_limits<std::int32_t>::max() + 0.5))
        throw ERangeError("Bereichsfehler: Standardabweichung " + std::to_string(sd));
    return static_cast<std::int32_t>(Runden(sd));
}

} // namespace Sio
