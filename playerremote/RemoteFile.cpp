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
    platform::IniBatch batch(ini);
    for (int s = 1; s <= kFaecher; ++s) {
        const Befehl_Slot& f = faecher[static_cast<std::size_t>(s)];
        if (f[0] <= 0) continue;
        const std::string sec = sektion(s);
        for (std::int32_t i = 0; i <= f[0]; ++i)
            batch.writeInteger(sec, schluessel(i), tabelle(f, i, "Fach"));
    }
    batch.commit();
}

void Faecher_Laden(const platform::IniBatch& ini, TFaecher& faecher) {
    std::string fehler;
    for (int s = 1; s <= kFaecher; ++s) {
        Befehl_Slot& f = faecher[static_cast<std::size_t>(s)];
        const std::string sec = sektion(s);
        const std::int32_t L = ini.readInteger(sec, "x0", -1);
        if (L < 0 || L > 100) {
            // A slot too long for the table is not loaded, and so never
            // written back unless something is learnt into it.
            f[0] = 0;
            if (L > 100) {
                if (!fehler.empty()) fehler += "\r";
                fehler += "Bereichsfehler: " + sec + " x0 = " + std::to_string(L);
            }
            continue;
        }
        for (std::int32_t i = 0; i <= L; ++i)
            f[static_cast<std::size_t>(i)] = ini.readInteger(sec, schluessel(i), -1);
    }
    if (!fehler.empty()) throw ERangeError(fehler);
}

void Faecher_Laden(const platform::IniFile& ini, TFaecher& faecher) {
    Faecher_Laden(platform::IniBatch(ini), faecher);
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
