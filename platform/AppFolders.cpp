#include "platform/AppFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::filesystem::path home() {
    const char* h = std::getenv("HOME");
    if (h && *h) return std::filesystem::path(h);
    // Started without HOME (by a service, say): the user database knows it.
    passwd pw{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir)
        return std::filesystem::path(found->pw_dir);
    return std::filesystem::path(".");
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
