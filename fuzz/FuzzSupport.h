#pragma once
// Helpers of the fuzz targets: a scratch folder per process, removed at its
// end; saves without the flush to disk, which would cost a disk's latency per
// input and proves nothing about the code; and a check that stops the run
// with a message (libFuzzer then keeps the input).

#include "platform/AtomicSave.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace fuzz {

inline const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path dir = [] {
        auto d =
            std::filesystem::temp_directory_path() / ("tavix-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    // Registered once the path exists, so it runs before the path is gone.
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        });
        return true;
    }();
    (void)removedAtExit;
    return dir;
}

inline std::filesystem::path scratch(const char* name) {
    return scratchFolder() / name;
}

// Before the first input: every save of the run skips the flush.
inline const bool noFlush = [] {
    platform::saveCalls().fsync = [](int) { return 0; };
    return true;
}();

inline void put(const std::filesystem::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string get(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "round trip lost data: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char* what) {
    if (!ok) fail(what);
}

} // namespace fuzz
