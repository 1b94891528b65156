// The settings file: reading never fails; a write changes the one value, reads
// back as written, and leaves every other value as it was.
#include "FuzzSupport.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"

#include <tuple>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    // The last line of the input is the value to write; the rest is the file.
    const std::size_t cut = all.rfind('\n');
    const std::string_view file = cut == std::string_view::npos ? all : all.substr(0, cut + 1);
    const std::string value(cut == std::string_view::npos ? std::string_view()
                                                          : all.substr(cut + 1));
    const auto path = fuzz::scratch("settings.ini");
    fuzz::put(path, file);
    platform::IniFile ini(path);

    std::vector<std::tuple<std::string, std::string, std::string>> values;
    for (const auto& s : ini.readSections())
        for (const auto& k : ini.readSection(s))
            values.emplace_back(s, k, ini.readString(s, k, "?"));
    (void)ini.readInteger("S", "K", 0);
    (void)ini.readBool("S", "K", false);

    try {
        ini.writeString("S", "K", value);
    } catch (const ERangeError&) {
        return 0; // a value with a line break
    }
    fuzz::check(ini.readString("s", "k", "?") == value, "written value");
    for (const auto& [s, k, v] : values) {
        const bool same = (s == "S" || s == "s") && (k == "K" || k == "k");
        if (!same) fuzz::check(ini.readString(s, k, "?") == v, "other value");
    }
    // Written again unchanged, the file stays byte for byte.
    const std::string once = fuzz::get(path);
    ini.writeString("S", "K", value);
    fuzz::check(fuzz::get(path) == once, "second write");
    return 0;
}
