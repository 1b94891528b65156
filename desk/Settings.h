#pragma once
// The settings file class of the desk. The shared INI class is used where it
// is available; until then a small one of the same interface stands in.

#if __has_include("platform/IniFile.h")
#include "platform/IniFile.h"
namespace desk {
using IniFile = platform::IniFile;
}
#else
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace desk {

class IniFile {
public:
    explicit IniFile(std::filesystem::path path);
    const std::filesystem::path& path() const { return path_; }
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t def) const;
    bool readBool(std::string_view section, std::string_view key, bool def) const;
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    bool sectionExists(std::string_view section) const;
    bool valueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> readSection(std::string_view section) const;

private:
    std::vector<std::string> load() const;
    void save(const std::vector<std::string>& lines) const;
    std::filesystem::path path_;
};

} // namespace desk
#endif
