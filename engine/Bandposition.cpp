#include "engine/Bandposition.h"

#include "engine/Sio.h"
#include "platform/Errors.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdlib>

namespace Sio {
namespace {

constexpr std::int64_t kCountLimit = 2147483647; // counts stay within +-(2^31 - 1)

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isTimeChar(char c) {
    return isDigit(c) || c == ' ' || c == '-' || c == '.' || c == ':';
}

// The n-th maximal run of characters of the class, or nothing.
template <class Pred>
bool nthRun(std::string_view text, std::int32_t n, Pred inClass, std::string_view& run) {
    if (n < 1) return false;
    std::size_t pos = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        while (pos < text.size() && !inClass(text[pos]))
            ++pos;
        if (pos >= text.size()) return false;
        const std::size_t start = pos;
        while (pos < text.size() && inClass(text[pos]))
            ++pos;
        run = text.substr(start, pos - start);
    }
    return true;
}

// Arithmetic on counts: exact in 64 bits with every step clamped, so that no
// input can overflow and the result is limited to +-(2^31 - 1).
std::int64_t clampWide(std::int64_t v) {
    constexpr std::int64_t wide = std::int64_t{1} << 62;
    return std::clamp(v, -wide, wide);
}
std::int64_t mulClamped(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_mul_overflow(a, b, &r))
        return ((a < 0) != (b < 0)) ? -(std::int64_t{1} << 62) : (std::int64_t{1} << 62);
    return clampWide(r);
}
std::int32_t toCount(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp(v, -kCountLimit, kCountLimit));
}

std::int32_t units() {
    if (Halbbilder_pro_Sekunde <= 0)
        throw ERangeError("Bereichsfehler: Halbbilder_pro_Sekunde = " +
                          std::to_string(Halbbilder_pro_Sekunde));
    return Halbbilder_pro_Sekunde;
}

using platform::trimmed;

} // namespace

void Zeit_Leeren(Bandposition& p) {
    p = Bandposition{};
}

std::int32_t Zahl_Nr(std::string_view text, std::int32_t n) {
    std::string_view run;
    if (!nthRun(text, n, isDigit, run)) return 0;
    std::int64_t v = 0;
    for (char c : run) {
        v = v * 10 + (c - '0');
        if (v > kCountLimit) return 0;
    }
    return static_cast<std::int32_t>(v);
}

std::string Zeitwort_Nr(std::string_view text, std::int32_t n) {
    std::string_view run;
    if (!nthRun(text, n, isTimeChar, run)) return {};
    if (std::none_of(run.begin(), run.end(), isDigit)) return {};
    return trimmed(run);
}

void Zeitwort_nach_Position(std::string_view word, Bandposition& p) {
    Zeit_Leeren(p);
    std::string w(word);
    if (w.find('-') != std::string::npos) p.Vorzeichen = '-';
    bool minutes = false, hours = false;
    if (const auto c = w.find(':'); c != std::string::npos) {
        w[c] = ' ';
        minutes = true;
    }
    if (w.find(':') != std::string::npos) hours = true;
    const bool frames = w.find('.') != std::string::npos;
    std::int32_t k = 1;
    if (hours) p.Stunden = Zahl_Nr(w, k++);
    if (minutes) p.Minuten = Zahl_Nr(w, k++);
    p.Sekunden = Zahl_Nr(w, k++);
    if (frames) p.Halbbilder = toCount(2 * static_cast<std::int64_t>(Zahl_Nr(w, k)));
}

std::int32_t Position_nach_Zaehler(const Bandposition& p) {
    const std::int64_t u = Halbbilder_pro_Sekunde;
    std::int64_t v = clampWide(mulClamped(p.Stunden, 60) + p.Minuten);
    v = clampWide(mulClamped(v, 60) + p.Sekunden);
    v = clampWide(mulClamped(v, u) + p.Halbbilder);
    if (p.Vorzeichen == '-') v = -v;
    return toCount(v);
}

void Zaehler_nach_Position(std::int32_t count, Bandposition& p) {
    const std::int64_t u = units();
    p.Vorzeichen = count < 0 ? '-' : ' ';
    std::int64_t a = std::llabs(static_cast<std::int64_t>(count));
    p.Stunden = static_cast<std::int32_t>(a / (u * 3600));
    a %= u * 3600;
    p.Minuten = static_cast<std::int32_t>(a / (u * 60));
    a %= u * 60;
    p.Sekunden = static_cast<std::int32_t>(a / u);
    p.Halbbilder = static_cast<std::int32_t>(a % u);
}

std::int32_t Zeitwort_nach_Zaehler(std::string_view text, std::int32_t n) {
    const std::string w = Zeitwort_Nr(text, n);
    if (w.empty()) return 0;
    Bandposition p;
    Zeitwort_nach_Position(w, p);
    return Position_nach_Zaehler(p);
}

std::string Zweistellig(std::int32_t n) {
    return std::string(n < 10 ? "0" : "").append(std::to_string(n));
}

std::string Position_nach_Text_kurz(const Bandposition& p) {
    std::string s(1, p.Vorzeichen);
    s += Zweistellig(p.Stunden)[1];
    s += ':';
    s += Zweistellig(p.Minuten);
    s += ':';
    s += Zweistellig(p.Sekunden);
    return s;
}

std::string Position_nach_Text(const Bandposition& p) {
    return Position_nach_Text_kurz(p) + "." + Zweistellig(p.Halbbilder / 2);
}

std::string Zaehler_nach_Text_kurz(std::int32_t count) {
    Bandposition p;
    Zaehler_nach_Position(count, p);
    return Position_nach_Text_kurz(p);
}

std::string Zaehler_nach_Text(std::int32_t count) {
    Bandposition p;
    Zaehler_nach_Position(count, p);
    return Position_nach_Text(p);
}

std::string Zeitwort_normieren(std::string_view text, std::int32_t n) {
    return Zaehler_nach_Text(Zeitwort_nach_Zaehler(text, n));
}

std::string Zeit_naechstes_Bild(std::string_view text) {
    if (Zeitwort_Nr(text, 1).empty()) return std::string(text);
    return Zaehler_nach_Text(toCount(std::int64_t{Zeitwort_nach_Zaehler(text, 1)} + 2));
}

std::string Zeit_voriges_Bild(std::string_view text) {
    if (Zeitwort_Nr(text, 1).empty()) return std::string(text);
    return Zaehler_nach_Text(toCount(std::int64_t{Zeitwort_nach_Zaehler(text, 1)} - 2));
}

} // namespace Sio
