#include "engine/WavExport.h"

#include "engine/Sio.h"
#include "platform/AtomicSave.h"
#include "platform/Codepage.h"
#include "platform/Errors.h"

#include <array>
#include <vector>

namespace Sio {

namespace {

constexpr std::uint8_t Traeger_an = 0xFA;
constexpr std::uint8_t Stille = 0x7F;
constexpr std::int64_t Vorlauf = 500; // samples of silence before and after

// 8000 samples/s mono 8 bit PCM; both size fields are patched per file.
constexpr std::array<std::uint8_t, 44> Kopf_Vorlage = {
    'R', 'I', 'F', 'F', 0, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
    ' ', 16,  0,   0,   0, 1, 0,   1,   0,   0x40, 0x1F, 0,   0,   0x40, 0x1F,
    0,   0,   1,   0,   8, 0, 'd', 'a', 't', 'a',  0,    0,   0,   0};

void setzeLe32(std::array<std::uint8_t, 44>& kopf, std::size_t pos, std::uint32_t v) {
    for (int b = 0; b < 4; ++b)
        kopf[pos + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(v >> (8 * b));
}

} // namespace

std::string WAV_Dateipfad() {
    // The name comes from a key caption: a "/" or a control character in it
    // must not turn into a folder or an unusable name, and the file system
    // expects UTF-8.
    std::string name = WAV_Dateiname;
    for (char& ch : name) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F || ch == '/') ch = '_';
    }
    if (name == "." || name == "..") name.assign(name.size(), '_');
    name = platform::cp1252ToUtf8(name);
    // Stay within the usual limit of 255 bytes per name, whole characters
    // only, with room to spare.
    constexpr std::size_t kMax = 255 - 8;
    if (name.size() > kMax) {
        std::size_t n = kMax;
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
            --n;
        name.resize(n);
    }
    return name + ".wav";
}

void WAV_Schreiben() {
    std::int64_t gesamt = 2 * Vorlauf;
    std::size_t ende = 1;
    while (ende < IR_Messwerte.size() && IR_Messwerte[ende] != 0) {
        gesamt += std::max<std::int64_t>(IR_Messwerte[ende], 0);
        ++ende;
    }
    Debug_WriteLn("Gesamtlaenge des Befehls in us " + std::to_string(gesamt));

    const std::string datei = WAV_Dateipfad();
    if (gesamt + 36 > 0xFFFFFFFFLL)
        throw EInOutError("E/A-Fehler beim Schreiben von " + datei + ": Datei zu gross");
    auto kopf = Kopf_Vorlage;
    setzeLe32(kopf, 4, static_cast<std::uint32_t>(gesamt + 36));
    setzeLe32(kopf, 40, static_cast<std::uint32_t>(gesamt));

    std::vector<std::uint8_t> daten;
    daten.reserve(kopf.size() + static_cast<std::size_t>(gesamt));
    daten.insert(daten.end(), kopf.begin(), kopf.end());
    daten.insert(daten.end(), Vorlauf, Stille);
    for (std::size_t k = 1; k < ende; ++k)
        daten.insert(daten.end(),
                     static_cast<std::size_t>(std::max<std::int64_t>(IR_Messwerte[k], 0)),
                     k % 2 == 1 ? Traeger_an : Stille);
    daten.insert(daten.end(), Vorlauf, Stille);

    // Saved as every file is: a failed write leaves an older file of that
    // name whole, a read-only one is refused and a replaced one keeps its mode.
    platform::saveFileAtomically(
        datei, std::string_view(reinterpret_cast<const char*>(daten.data()), daten.size()));
}

} // namespace Sio
