#pragma once
// Makes one system call of the programs' saves fail for the scope of the
// object: the n-th call (counted from 1) of the chosen kind fails with the
// chosen error. Counts every call, so a test can also see how many saves an
// operation made (one rename per save).

#include "platform/AtomicSave.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace testsupport {

class SaveFault {
public:
    enum Kind { None, Write, Fsync, Close, Rename, Kinds };

    explicit SaveFault(Kind kind = None, int nth = 1, int err = EIO) {
        state() = State{kind, nth, err, {}, false, {}};
        platform::saveCalls() =
            platform::SaveCalls{&write, &fsync, &close, &rename, platform::plainSaveCalls().access};
    }
    ~SaveFault() { platform::saveCalls() = platform::plainSaveCalls(); }
    SaveFault(const SaveFault&) = delete;
    SaveFault& operator=(const SaveFault&) = delete;

    bool fired() const { return state().fired; }
    // The file whose save the fault hit.
    std::filesystem::path failedFile() const { return state().failed; }
    int calls(Kind k) const { return state().counts[k]; }
    int saves() const { return calls(Rename); }

private:
    struct State {
        Kind kind = None;
        int nth = 1;
        int err = EIO;
        std::array<int, Kinds> counts{};
        bool fired = false;
        std::filesystem::path failed;
    };
    static State& state() {
        static State s;
        return s;
    }
    // A save writes ".<name>.~<pid>-<n>" beside the file <name>.
    static std::filesystem::path target(const std::filesystem::path& temp) {
        const std::string n = temp.filename().string();
        return temp.parent_path() / n.substr(1, n.rfind(".~") - 1);
    }
    static std::filesystem::path ofFd(int fd) {
        std::error_code ec;
        return target(std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec));
    }
    static bool hit(Kind k, const std::function<std::filesystem::path()>& file) {
        State& s = state();
        if (++s.counts[k] != s.nth || s.kind != k) return false;
        s.fired = true;
        s.failed = file();
        errno = s.err;
        return true;
    }
    static ssize_t write(int fd, const void* data, std::size_t size) {
        return hit(Write, [fd] { return ofFd(fd); }) ? -1 : ::write(fd, data, size);
    }
    static int fsync(int fd) {
        return hit(Fsync, [fd] { return ofFd(fd); }) ? -1 : ::fsync(fd);
    }
    static int close(int fd) {
        if (!hit(Close, [fd] { return ofFd(fd); })) return ::close(fd);
        ::close(fd);
        return -1;
    }
    static int rename(const char* from, const char* to) {
        return hit(Rename, [to] { return std::filesystem::path(to); }) ? -1 : ::rename(from, to);
    }
};

// One save of a program: what it is, the file it writes, and how a user
// makes it.
struct SaveCase {
    const char* what;
    std::filesystem::path file;
    std::function<void()> run;
};

// Runs every save under each fault (a failing write, sync and rename, and a
// failing third write). Where the fault came, the file whose save it hit must
// be as before the operation, byte for byte, and one error must have been
// shown (errorsShown counts them). Where the operation made fewer calls than
// the fault needed, it must complete: its file changes and nothing is shown.
inline void runUnderFaults(const std::vector<SaveCase>& saves,
                           const std::function<int()>& errorsShown, bool thirdWrite = true) {
    auto bytes = [](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    struct Fault {
        SaveFault::Kind kind;
        int nth;
        const char* name;
    };
    std::vector<Fault> faults = {{SaveFault::Write, 1, "write"},
                                 {SaveFault::Fsync, 1, "fsync"},
                                 {SaveFault::Rename, 1, "rename"}};
    if (thirdWrite) faults.push_back({SaveFault::Write, 3, "third write"});
    for (const SaveCase& save : saves) {
        for (const Fault& f : faults) {
            const std::filesystem::path folder = save.file.parent_path();
            std::map<std::filesystem::path, std::string> before;
            for (const auto& e : std::filesystem::directory_iterator(folder))
                if (e.is_regular_file()) before[e.path()] = bytes(e.path());
            const int errorsBefore = errorsShown();
            bool fired = false;
            std::filesystem::path failed;
            {
                SaveFault fault(f.kind, f.nth, f.kind == SaveFault::Write ? ENOSPC : EIO);
                save.run();
                fired = fault.fired();
                failed = fault.failedFile();
            }
            const std::string where = std::string(save.what) + ", " + f.name;
            if (fired) {
                const auto old = before.find(failed);
                EXPECT_EQ(std::filesystem::exists(failed), old != before.end()) << where;
                if (old != before.end()) {
                    EXPECT_TRUE(bytes(failed) == old->second) << where << ": " << failed;
                }
                EXPECT_EQ(errorsShown(), errorsBefore + 1) << where << ": the user is told";
            } else {
                EXPECT_EQ(errorsShown(), errorsBefore) << where << ": the save completes";
                const auto old = before.find(save.file);
                EXPECT_TRUE(old == before.end() || bytes(save.file) != old->second) << where;
            }
            for (const auto& e : std::filesystem::directory_iterator(folder)) {
                const std::string n = e.path().filename().string();
                EXPECT_FALSE(n.rfind(".", 0) == 0 && n.find(".~") != std::string::npos)
                    << where << ": a temporary file was left";
            }
            // The next fault starts from the old files again.
            for (const auto& [p, b] : before)
                std::ofstream(p, std::ios::binary | std::ios::trunc) << b;
            if (!before.count(save.file)) std::filesystem::remove(save.file);
        }
    }
}

} // namespace testsupport
