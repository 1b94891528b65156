#include "video/SchnittIR.h"

#include "desk/KeyFile.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

#include <filesystem>
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

namespace {

std::vector<std::string_view> zeilenVon(std::string_view bytes) {
    // A last line without its end counts.
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
    return zeilen;
}

// Where the reading of a file ended: which part the last entry lacks.
struct Lesestand {
    std::size_t zeilen = 0; // lines up to the last that is not blank
    enum Teil { Vollstaendig, Typ, Beschriftung, Code_Text, Werte } fehlt = Vollstaendig;
    std::int32_t code = 13;
    std::size_t werte = 0; // values the last entry has
};

Lesestand lesen(Schnitt_IRTabelle& t, std::string_view bytes, const std::string& name) {
    const std::vector<std::string_view> zeilen = zeilenVon(bytes);
    Lesestand stand;
    stand.zeilen = zeilen.size();
    std::size_t i = 7;
    // The next numeric line, blank lines passed over; false at the end.
    auto zahl = [&](std::int32_t& v) {
        while (i < zeilen.size() && zeilen[i].find_first_not_of(" \t") == std::string_view::npos)
            ++i;
        if (i >= zeilen.size()) return false;
        const auto z = ersteZahl(zeilen[i]);
        if (!z)
            throw EInOutError("Ung\xFCltige Zahl in Zeile " + std::to_string(i + 1) + " von >" +
                              name + "<");
        ++i;
        v = *z;
        return true;
    };
    std::int32_t k = 0;
    while (zahl(k)) {
        stand.code = Code_von_Tastennummer(k);
        Sio::TIR_Knopf& slot = t[static_cast<std::size_t>(stand.code)];
        // The entry replaces the slot's command whole, also when it is cut off.
        slot.Befehl.fill(0);
        stand.fehlt = Lesestand::Typ;
        stand.werte = 0;
        std::int32_t typ = 0;
        if (!zahl(typ)) break;
        // A type the program does not know sends as an IR command.
        slot.Typ = typ >= 0 && typ <= 2 ? typ : 0;
        stand.fehlt = Lesestand::Beschriftung;
        if (i >= zeilen.size()) break;
        ++i; // the label
        stand.fehlt = Lesestand::Code_Text;
        if (i >= zeilen.size()) break;
        slot.Name = std::string(zeilen[i++]);
        stand.fehlt = Lesestand::Werte;
        // Values beyond the record's room are read and dropped up to the end
        // mark, as the key-file reader does; the record always keeps its 0.
        std::int32_t v = 0;
        while (zahl(v)) {
            if (stand.werte < desk::kMaxStoredValues) slot.Befehl[stand.werte] = v;
            ++stand.werte;
            if (v == 0) {
                stand.fehlt = Lesestand::Vollstaendig;
                break;
            }
        }
        if (stand.fehlt != Lesestand::Vollstaendig) break;
    }
    return stand;
}

// The text up to the end of its last line that is not blank, lines and blanks
// taken as the reader takes them (one CR before the line's end belongs to the
// end; a line of blanks and tabs is blank).
std::string_view ohneLeerzeilenAmEnde(std::string_view text) {
    while (!text.empty()) {
        std::string_view body = text;
        if (body.back() == '\n') body.remove_suffix(1);
        const std::size_t nl = body.rfind('\n');
        std::string_view last = nl == std::string_view::npos ? body : body.substr(nl + 1);
        if (!last.empty() && last.back() == '\r') last.remove_suffix(1);
        if (last.find_first_not_of(" \t") != std::string_view::npos) return text;
        text = nl == std::string_view::npos ? std::string_view() : body.substr(0, nl + 1);
    }
    return text;
}

// What a file needs before an entry can be appended: the rest of the fixed
// head, and the rest of a last entry that was cut off. The cut-off entry is
// completed with what its slot read as, so the file reads as before: the type
// and name of an earlier entry of that slot stay.
std::string ergaenzung(std::string_view alt, const std::string& name) {
    Schnitt_IRTabelle probe{};
    const Lesestand stand = lesen(probe, alt, name);
    const Sio::TIR_Knopf& slot = probe[static_cast<std::size_t>(stand.code)];
    std::string s;
    for (std::size_t z = stand.zeilen; z < std::size(kKopf); ++z)
        s += std::string(kKopf[z]) + "\r\n";
    switch (stand.fehlt) {
    case Lesestand::Typ:
        s += std::to_string(slot.Typ) + "  Typ\r\n";
        [[fallthrough]];
    case Lesestand::Beschriftung:
        s += BCode(stand.code) + "\r\n";
        [[fallthrough]];
    case Lesestand::Code_Text:
        s += slot.Name + "\r\n";
        [[fallthrough]];
    case Lesestand::Werte:
        s += desk::rightAligned(0, 10) + desk::rightAligned(stand.code, 4) +
             desk::rightAligned(static_cast<std::int64_t>(stand.werte), 4) + "\r\n";
        break;
    case Lesestand::Vollstaendig:
        break;
    }
    return s;
}

} // namespace

void Schreibe_Schnitt_IRCodes(const Schnitt_IRTabelle& t, const std::string& name,
                              std::int32_t code) {
    std::error_code ec;
    if (!name.empty() && std::filesystem::is_regular_file(name, ec)) {
        std::string alt = platform::readWholeFile(name);
        // Blank lines at the end would be read as the parts of a cut-off
        // entry; a last line gets its end, so the entry starts a line.
        alt.resize(ohneLeerzeilenAmEnde(alt).size());
        // A last line ended by a lone CR gets its LF only: the CR reads as
        // part of the line's end, not of its text.
        if (!alt.empty() && alt.back() != '\n') alt += alt.back() == '\r' ? "\n" : "\r\n";
        platform::saveFileAtomically(name, alt + ergaenzung(alt, name) + Knopf_Text(t, code));
        return;
    }
    platform::saveFileAtomically(name.empty() ? std::string("Video_ir.cdx") : name, Datei_Text(t));
}

void Lies_Schnitt_IRText(Schnitt_IRTabelle& t, std::string_view bytes, const std::string& name) {
    for (Sio::TIR_Knopf& k : t)
        k.Befehl[0] = 0;
    lesen(t, bytes, name);
}

void Lies_Schnitt_IRCodes(Schnitt_IRTabelle& t, const std::string& name) {
    std::error_code ec;
    if (name.empty() || !std::filesystem::is_regular_file(name, ec)) {
        for (Sio::TIR_Knopf& k : t)
            k.Befehl[0] = 0;
        return;
    }
    Lies_Schnitt_IRText(t, platform::readWholeFile(name), name);
}

} // namespace video
