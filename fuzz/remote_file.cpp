// Plomvare's remote file: the slots read from any file are stored and read
// back the same.
#include "FuzzSupport.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "playerremote/RemoteFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = fuzz::scratch("remote.mpx");
    fuzz::put(path, std::string_view(reinterpret_cast<const char*>(data), size));
    platform::IniFile ini(path);
    pmp3p::TFaecher f{};
    try {
        pmp3p::Faecher_Laden(ini, f);
    } catch (const ERangeError&) {
        // A slot beyond the table: the slots from there on stay empty.
    }
    const auto store = fuzz::scratch("stored.mpx");
    fuzz::put(store, "");
    platform::IniFile out(store);
    pmp3p::Befehle_Speichern(out, f);
    pmp3p::TFaecher back{};
    pmp3p::Faecher_Laden(out, back);
    for (int s = 1; s <= pmp3p::kFaecher; ++s) {
        const auto& a = f[static_cast<std::size_t>(s)];
        const auto& b = back[static_cast<std::size_t>(s)];
        fuzz::check(a[0] == b[0], "slot length");
        for (std::int32_t i = 0; i <= a[0]; ++i)
            fuzz::check(a[static_cast<std::size_t>(i)] == b[static_cast<std::size_t>(i)],
                        "slot entry");
    }
    return 0;
}
