#include "platform/AppFolders.h"

#include <cstdlib>
#include <system_error>

namespace platform {

namespace {

std::filesystem::path home() {
    const char* h = std::getenv("HOME");
    return h && *h ? std::filesystem::path(h) : std::filesystem::path(".");
}

std::filesystem::path xdg(const char* variable, const std::filesystem::path& fallback) {
    const char* v = std::getenv(variable);
    return (v && *v == '/' ? std::filesystem::path(v) : home() / fallback) / "tavix";
}

} // namespace

std::filesystem::path configFolder() {
    return xdg("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path dataFolder() {
    return xdg("XDG_DATA_HOME", std::filesystem::path(".local") / "share");
}

AppFolders appFolders(const std::filesystem::path& programFolder, const std::string& iniName) {
    AppFolders f;
    std::error_code ec;
    const std::filesystem::path beside = programFolder / iniName;
    if (std::filesystem::is_regular_file(beside, ec)) {
        f.settingsFile = beside;
        f.dataFolder = programFolder;
        f.portable = true;
        return f;
    }
    f.settingsFile = configFolder() / iniName;
    f.dataFolder = dataFolder();
    std::filesystem::create_directories(f.settingsFile.parent_path(), ec);
    std::filesystem::create_directories(f.dataFolder, ec);
    return f;
}

std::filesystem::path dialogFolder(const std::filesystem::path& currentFile) {
    std::error_code ec;
    if (!currentFile.empty() && std::filesystem::is_directory(currentFile.parent_path(), ec))
        return currentFile.parent_path();
    return home();
}

} // namespace platform
