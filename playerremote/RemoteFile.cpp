#include "playerremote/RemoteFile.h"

#include "platform/Errors.h"
#include "platform/IniFile.h"

namespace pmp3p {

namespace {
std::string sektion(int s) {
    return "Befehl" + std::to_string(s);
}
std::string schluessel(int i) {
    return std::string("x").append(std::to_string(i));
}
} // namespace

void Befehle_Speichern(platform::IniFile& ini, const TFaecher& faecher) {
    for (int s = 1; s <= kFaecher; ++s) {
        const Befehl_Slot& f = faecher[static_cast<std::size_t>(s)];
        if (f[0] <= 0) continue;
        const std::string sec = sektion(s);
        for (std::int32_t i = 0; i <= f[0]; ++i) {
            const std::int32_t v = tabelle(f, i, "Fach");
            const std::string text = std::to_string(v);
            if (ini.readString(sec, schluessel(i), "\n") != text)
                ini.writeInteger(sec, schluessel(i), v);
        }
    }
}

void Faecher_Laden(const platform::IniFile& ini, TFaecher& faecher) {
    for (int s = 1; s <= kFaecher; ++s) {
        Befehl_Slot& f = faecher[static_cast<std::size_t>(s)];
        const std::string sec = sektion(s);
        const std::int32_t L = ini.readInteger(sec, "x0", -1);
        if (L < 0) {
            f[0] = 0;
            continue;
        }
        if (L > 100) {
            for (int t = s; t <= kFaecher; ++t)
                faecher[static_cast<std::size_t>(t)][0] = 0;
            throw ERangeError("Bereichsfehler: " + sec + " x0 = " + std::to_string(L));
        }
        for (std::int32_t i = 0; i <= L; ++i)
            f[static_cast<std::size_t>(i)] = ini.readInteger(sec, schluessel(i), -1);
    }
}

void Faecher_Loeschen(platform::IniFile& ini, TFaecher& faecher) {
    for (int s = 1; s <= kFaecher; ++s) {
        ini.eraseSection(sektion(s));
        faecher[static_cast<std::size_t>(s)][0] = 0;
    }
}

std::string Dateiname_ohneExtension(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

std::filesystem::path programmIniPfad(const std::filesystem::path& programFile) {
    return programFile.parent_path() / (Dateiname_ohneExtension(programFile.string()) + ".ini");
}

} // namespace pmp3p
