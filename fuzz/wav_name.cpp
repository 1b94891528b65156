// The WAV export's file name from any caption, and the file itself: one file
// of that name in the current folder and nothing else, its name the caption
// as UTF-8 with only the unusable characters replaced, and its samples saying
// the capture back.
#include "FuzzSupport.h"
#include "engine/Sio.h"
#include "engine/WavExport.h"
#include "platform/Codepage.h"

#include <vector>

namespace fs = std::filesystem;

namespace {

bool ganzeZeichen(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        if (i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::uint32_t le32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int b = 3; b >= 0; --b)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(b)]);
    return v;
}

} // namespace

// Input: a count byte (low three bits), that many durations of a byte each
// (µs, plus 1), then the caption.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path ordner = [] {
        const fs::path d = fuzz::scratch("wav");
        fs::create_directories(d);
        return d;
    }();
    if (size < 1) return 0;
    const std::size_t n = std::min<std::size_t>(data[0] & 7, size - 1);
    std::vector<std::int64_t> dauern;
    for (std::size_t k = 0; k < n; ++k) {
        dauern.push_back(data[1 + k] + 1);
        Sio::IR_Messwerte[k + 1] = dauern.back();
    }
    Sio::IR_Messwerte[n + 1] = 0;
    const std::string caption(reinterpret_cast<const char*>(data) + 1 + n, size - 1 - n);
    if (caption.empty()) return 0; // no name: no export

    Sio::WAV_Dateiname = caption;
    const std::string name = Sio::WAV_Dateipfad();
    fuzz::check(name.size() > 4 && name.size() <= 255 && name.ends_with(".wav"), "name length");
    fuzz::check(ganzeZeichen(name), "name is UTF-8");
    const std::string stamm = name.substr(0, name.size() - 4);
    for (const char c : stamm)
        fuzz::check(c != '/' && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F,
                    "no folder, no control character");
    fuzz::check(stamm != "." && stamm != "..", "not a folder's name");
    // Back in the caption's code page the name is the caption, the unusable
    // characters replaced; a long one is cut.
    const std::string zurueck = platform::utf8ToCp1252(stamm);
    fuzz::check(zurueck.size() <= caption.size(), "name longer than the caption");
    for (std::size_t i = 0; i < zurueck.size(); ++i)
        fuzz::check(zurueck[i] == caption[i] || zurueck[i] == '_', "name reads back as the caption");
    if (zurueck.size() < caption.size())
        fuzz::check(name.size() > 240, "only a long name is cut");

    // The export writes into the current folder; the fuzzer's own paths are
    // relative to the one it started in.
    const fs::path start = fs::current_path();
    fs::current_path(ordner);
    Sio::WAV_Schreiben();
    fs::current_path(start);
    std::size_t eintraege = 0;
    for (const auto& e : fs::directory_iterator(ordner)) {
        ++eintraege;
        fuzz::check(e.path().filename() == name, "the file under its name");
    }
    fuzz::check(eintraege == 1, "one file and nothing else");
    const std::string wav = fuzz::get(ordner / name);
    fs::remove(ordner / name);

    fuzz::check(wav.size() >= 44 && wav.compare(0, 4, "RIFF") == 0, "header");
    fuzz::check(le32(wav, 4) == wav.size() - 8 && le32(wav, 40) == wav.size() - 44, "sizes");
    // 500 samples of silence, the capture's runs, 500 of silence again.
    std::vector<std::int64_t> laeufe;
    for (std::size_t i = 44 + 500; i < wav.size() - 500;) {
        std::size_t j = i;
        while (j < wav.size() - 500 && wav[j] == wav[i])
            ++j;
        laeufe.push_back(static_cast<std::int64_t>(j - i));
        i = j;
    }
    fuzz::check(laeufe == dauern, "samples say the capture back");
    return 0;
}
