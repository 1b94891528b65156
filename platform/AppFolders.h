#pragma once
// Where the programs keep the files they create by themselves. A settings
// file beside the program is used where it is (portable use), with the
// default files beside it too. Otherwise the settings live in
// $XDG_CONFIG_HOME/tavix (else ~/.config/tavix) and the default key and
// remote files in $XDG_DATA_HOME/tavix (else ~/.local/share/tavix). The home
// folder is $HOME, else the user's entry in the user database.

#include <filesystem>
#include <string>

namespace platform {

// $XDG_CONFIG_HOME/tavix, else ~/.config/tavix (only an absolute variable counts).
std::filesystem::path configFolder();
// $XDG_DATA_HOME/tavix, else ~/.local/share/tavix.
std::filesystem::path dataFolder();

struct AppFolders {
    std::filesystem::path settingsFile; // the program's INI file
    std::filesystem::path dataFolder;   // default key or remote files
    bool portable = false;              // both beside the program
};

// For the program in `programFolder` with the settings file name `iniName`.
// Creates the folders it names (a failure shows at the first write).
AppFolders appFolders(const std::filesystem::path& programFolder, const std::string& iniName);

// The folder a file dialog starts in: that of `currentFile` when it exists,
// else the user's home folder.
std::filesystem::path dialogFolder(const std::filesystem::path& currentFile);

} // namespace platform
