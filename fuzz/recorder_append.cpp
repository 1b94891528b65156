// Appending a learnt command to the recorder's IR file: whatever the file
// held, the appended entry reads back as learnt, every other command reads
// back as it did, and the file keeps its old text in front.
#include "FuzzSupport.h"
#include "platform/Errors.h"
#include "video/SchnittIR.h"

#include <cstring>
#include <memory>

namespace {

bool gleich(const Sio::TIR_Knopf& a, const Sio::TIR_Knopf& b) {
    return a.Typ == b.Typ && a.Name == b.Name && a.Befehl == b.Befehl;
}

} // namespace

// Input: code, type and value count (a byte each), the values (4 bytes each,
// little-endian), the code text's length (a byte) and text, then the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::int32_t code = 1 + data[0] % 13;
    auto gelernt = std::make_unique<Sio::TIR_Knopf>();
    gelernt->Typ = data[1] % 3;
    std::size_t at = 3;
    for (std::size_t k = 0; k < data[2] % 16u && at + 4 <= size; ++k, at += 4) {
        std::int32_t v = 0;
        std::memcpy(&v, data + at, 4);
        gelernt->Befehl[k] = v == 0 ? 1 : v; // the first 0 ends the command
    }
    if (at >= size) return 0;
    const std::size_t laenge = std::min<std::size_t>(data[at], size - at - 1);
    ++at;
    gelernt->Name.assign(reinterpret_cast<const char*>(data) + at, laenge);
    at += laenge;
    // The code text is one line.
    for (char& c : gelernt->Name)
        if (c == '\r' || c == '\n') c = ' ';
    const std::string alt(reinterpret_cast<const char*>(data) + at, size - at);

    const auto datei = fuzz::scratch("recorder.cdx");
    fuzz::put(datei, alt);
    auto vorher = std::make_unique<video::Schnitt_IRTabelle>();
    bool lesbar = true;
    try {
        video::Lies_Schnitt_IRCodes(*vorher, datei.string());
    } catch (const EInOutError&) {
        lesbar = false;
    }
    auto t = std::make_unique<video::Schnitt_IRTabelle>(*vorher);
    (*t)[static_cast<std::size_t>(code)] = *gelernt;
    try {
        video::Schreibe_Schnitt_IRCodes(*t, datei.string(), code);
    } catch (const EInOutError&) {
        // Only a file that does not read is refused, and it stays as it was.
        fuzz::check(!lesbar, "a readable file refused");
        fuzz::check(fuzz::get(datei) == alt, "a refused append changed the file");
        return 0;
    }
    const std::string neu = fuzz::get(datei);
    std::size_t text = alt.find_last_not_of(" \t\r\n");
    text = text == std::string::npos ? 0 : text + 1;
    fuzz::check(neu.compare(0, text, alt, 0, text) == 0, "the old text stays in front");

    auto nachher = std::make_unique<video::Schnitt_IRTabelle>();
    video::Lies_Schnitt_IRCodes(*nachher, datei.string());
    // A code with no label of its own (13) is the slot of unknown key
    // numbers: it reads back as learnt too.
    fuzz::check(gleich((*nachher)[static_cast<std::size_t>(code)], *gelernt), "appended entry");
    if (lesbar)
        for (std::int32_t c = 0; c < 14; ++c)
            if (c != code)
                fuzz::check(gleich((*nachher)[static_cast<std::size_t>(c)],
                                   (*vorher)[static_cast<std::size_t>(c)]),
                            "another command changed");
    return 0;
}
