#pragma once
// Every file the programs save goes through here, so that a save either
// replaces the file whole or leaves it as it was.

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <sys/types.h>

namespace platform {

// Replaces the file's content with bytes: a temporary file in the same folder
// is written, flushed to disk and renamed over the old one, and the folder is
// flushed too, so a failure at any step leaves the old file whole. A file
// that exists keeps its permissions. A symbolic link stays: its target is
// written (created when missing, in a folder that must exist). A file the user may not write, or a
// folder the user may not write, is refused before anything is written; for
// root, one without any write permission is refused as well. Throws
// EInOutError with a message naming the file.
void saveFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The system calls a save makes, replaceable so that tests can make any of
// them fail. The defaults are the plain calls.
struct SaveCalls {
    ssize_t (*write)(int fd, const void* data, std::size_t size);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*access)(const char* path, int mode);
};
SaveCalls& saveCalls();
const SaveCalls& plainSaveCalls();

} // namespace platform
