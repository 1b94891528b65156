#include "platform/AtomicSave.h"

#include "platform/Errors.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::atomic<unsigned> tempCounter{0};

// 0 when the file or folder may be written, else the reason: the system's
// own (a read-only mount is not a missing permission). Root may write
// anything; a file or folder without any write permission is still treated
// as the user meant it: not to be changed.
int writeRefusal(const std::filesystem::path& p, const struct stat& st) {
    if (saveCalls().access(p.c_str(), W_OK) != 0) return errno;
    return ::geteuid() != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 ? 0 : EACCES;
}

// The file a save replaces. A symbolic link is followed to its target,
// through a chain of links, each relative target taken from its link's
// folder, so that the link stays and the target, also one not there yet, is
// written. A loop of links gives ELOOP.
std::filesystem::path saveTarget(const std::filesystem::path& path, int& err) {
    std::filesystem::path p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        std::error_code ec;
        const std::filesystem::path to = std::filesystem::read_symlink(p, ec);
        if (ec) {
            err = ec.value();
            return p;
        }
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    err = ELOOP;
    return path;
}

} // namespace

const SaveCalls& plainSaveCalls() {
    static const SaveCalls plain{::write, ::fsync, ::close, ::rename, ::access};
    return plain;
}

SaveCalls& saveCalls() {
    static SaveCalls calls = plainSaveCalls();
    return calls;
}

void saveFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    const SaveCalls& sys = saveCalls();
    int linkError = 0;
    const std::filesystem::path target = saveTarget(path, linkError);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    const std::string what = std::string("Die Datei ")
                                 .append(target.string())
                                 .append(" kann nicht gespeichert werden: ");
    auto refuse = [&](int err) { throw EInOutError(what + std::strerror(err)); };
    if (linkError != 0) refuse(linkError);

    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode)) refuse(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    if (const int err = hadOld ? writeRefusal(target, old) : 0) refuse(err);
    struct stat folder {};
    if (::stat(dir.c_str(), &folder) != 0) refuse(errno);
    if (const int err = writeRefusal(dir, folder)) refuse(err);

    std::filesystem::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        // Short enough for the name limit however long the file's name is.
        temp = dir / std::string(".")
                         .append(target.filename().string().substr(0, 200))
                         .append(".~")
                         .append(std::to_string(::getpid()))
                         .append("-")
                         .append(std::to_string(tempCounter.fetch_add(1)));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) refuse(errno);

    auto fail = [&](int err, bool open) {
        if (open) (void)sys.close(fd);
        ::unlink(temp.c_str());
        refuse(err);
    };
    // The owner where the process may keep it (root), then the mode.
    if (hadOld) (void)::fchown(fd, old.st_uid, old.st_gid);
    if (hadOld && ::fchmod(fd, old.st_mode & 07777) != 0) fail(errno, true);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = sys.write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            fail(errno, true);
        }
        if (put == 0) fail(EIO, true);
        done += static_cast<std::size_t>(put);
    }
    if (sys.fsync(fd) != 0) fail(errno, true);
    if (sys.close(fd) != 0) fail(errno, false);
    if (sys.rename(temp.c_str(), target.c_str()) != 0) fail(errno, false);
    // Make the rename itself durable; a failure here leaves a valid file.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        (void)sys.fsync(dfd);
        ::close(dfd);
    }
}

} // namespace platform
