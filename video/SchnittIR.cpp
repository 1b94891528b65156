#include "video/SchnittIR.h"

#include "desk/KeyFile.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace video {

namespace {

struct Eintrag {
    const char* label;
    std::int32_t taste;
};

// Index = command code.
constexpr Eintrag kCodes[13] = {
    {"", 404},   {"> Play", 201},   {"o Stop", 202}, {"II Pause", 203}, {"<<", 102},
    {">>", 302}, {"* Record", 401}, {"<I", 103},     {"I>", 303},       {"0 stellen", 101},
    {"up", 402}, {"down", 403},     {"off", 301},
};

const char* const kKopf[7] = {
    " 108 Top       ! Achtung, Spezialdatei ",
    " 112 Left         ",
    " 293 Width        ",
    " 176 Height       ",
    "  69 Knopfbreite  ",
    "  40 Knopfhoehe   ",
    "   1 obsolet      ",
};

// The first integer of a line: leading blanks skipped, the rest ignored.
std::optional<std::int32_t> ersteZahl(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    bool neg = false;
    if (i < line.size() && (line[i] == '-' || line[i] == '+')) {
        neg = line[i] == '-';
        ++i;
    }
    if (i >= line.size() || line[i] < '0' || line[i] > '9') return std::nullopt;
    std::int64_t v = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        v = v * 10 + (line[i] - '0');
        if (v > INT32_MAX + std::int64_t{1}) return std::nullopt;
        ++i;
    }
    v = neg ? -v : v;
    if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

} // namespace

std::string BCode(std::int32_t code) {
    return code >= 1 && code <= 12 ? kCodes[code].label : "";
}

std::int32_t Tastennummer(std::int32_t code) {
    return code >= 1 && code <= 12 ? kCodes[code].taste : 404;
}

std::int32_t Code_von_Tastennummer(std::int32_t k) {
    for (std::int32_t c = 1; c <= 12; ++c)
        if (kCodes[c].taste == k) return c;
    return 13;
}

std::string Knopf_Text(const Schnitt_IRTabelle& t, std::int32_t code) {
    const Sio::TIR_Knopf& slot = tabelle(t, code >= 0 && code <= 13 ? code : 13, "Schnitt_IRCodes");
    std::string s = desk::rightAligned(Tastennummer(code), 5) + "\r\n";
    s += std::to_string(slot.Typ) + "  Typ\r\n";
    s += BCode(code) + "\r\n";
    s += slot.Name + "\r\n";
    for (std::size_t i = 0; i < slot.Befehl.size(); ++i) {
        s += desk::rightAligned(slot.Befehl[i], 10) + desk::rightAligned(code, 4) +
             desk::rightAligned(static_cast<std::int64_t>(i), 4) + "\r\n";
        if (slot.Befehl[i] == 0) break;
    }
    return s;
}

std::string Datei_Text(const Schnitt_IRTabelle& t) {
    std::string s;
    for (const char* k : kKopf)
        s += std::string(k) + "\r\n";
    for (std::int32_t c = 1; c <= 13; ++c)
        s += Knopf_Text(t, c);
    return s;
}

void Schreibe_Schnitt_IRCodes(const Schnitt_IRTabelle& t, const std::string& name,
                              std::int32_t code) {
    std::error_code ec;
    if (!name.empty() && std::filesystem::is_regular_file(name, ec)) {
        std::ifstream in(name, std::ios::binary);
        if (!in) throw EInOutError("Datei >" + name + "< kann nicht gelesen werden");
        std::string alt((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) throw EInOutError("Datei >" + name + "< kann nicht gelesen werden");
        // A file whose last line lacks its end gets one, so the entry starts a line.
        if (!alt.empty() && alt.back() != '\n') alt += "\r\n";
        platform::saveFileAtomically(name, alt + Knopf_Text(t, code));
        return;
    }
    platform::saveFileAtomically(name.empty() ? std::string("Video_ir.cdx") : name, Datei_Text(t));
}

void Lies_Schnitt_IRText(Schnitt_IRTabelle& t, std::string_view bytes, const std::string& name) {
    for (Sio::TIR_Knopf& k : t)
        k.Befehl[0] = 0;
    // Lines; a last line without its end counts.
    std::vector<std::string_view> zeilen;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t nl = bytes.find('\n', start);
        std::size_t end = nl == std::string_view::npos ? bytes.size() : nl;
        std::size_t stop = end > start && bytes[end - 1] == '\r' ? end - 1 : end;
        zeilen.push_back(bytes.substr(start, stop - start));
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    // Empty lines at the end read as a key number 0 with nothing after it:
    // they change nothing.
    while (!zeilen.empty() && zeilen.back().find_first_not_of(" \t") == std::string_view::npos)
        zeilen.pop_back();
    std::size_t i = 7;
    auto zahl = [&](std::size_t z) {
        auto v = ersteZahl(zeilen[z]);
        if (!v)
            throw EInOutError("Ung\xFCltige Zahl in Zeile " + std::to_string(z + 1) + " von >" +
                              name + "<");
        return *v;
    };
    while (i < zeilen.size()) {
        const std::int32_t k = zahl(i++);
        Sio::TIR_Knopf& slot = t[static_cast<std::size_t>(Code_von_Tastennummer(k))];
        if (i >= zeilen.size()) break;
        const std::int32_t typ = zahl(i++);
        // A type the program does not know sends as an IR command.
        slot.Typ = typ >= 0 && typ <= 2 ? typ : 0;
        if (i >= zeilen.size()) break;
        ++i; // the label
        if (i >= zeilen.size()) break;
        slot.Name = std::string(zeilen[i++]);
        // Values beyond the record's room are read and dropped up to the end
        // mark, as the key-file reader does; the record always keeps its 0.
        std::size_t n = 0;
        while (i < zeilen.size()) {
            const std::int32_t v = zahl(i++);
            if (n < desk::kMaxStoredValues)
                slot.Befehl[n] = v;
            else if (n == desk::kMaxStoredValues)
                slot.Befehl[n] = 0;
            ++n;
            if (v == 0) break;
        }
    }
}

void Lies_Schnitt_IRCodes(Schnitt_IRTabelle& t, const std::string& name) {
    std::error_code ec;
    if (name.empty() || !std::filesystem::is_regular_file(name, ec)) {
        for (Sio::TIR_Knopf& k : t)
            k.Befehl[0] = 0;
        return;
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) throw EInOutError("Datei >" + name + "< kann nicht gelesen werden");
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw EInOutError("Datei >" + name + "< kann nicht gelesen werden");
    Lies_Schnitt_IRText(t, s, name);
}

} // namespace video
