#include "platform/System.h"

#include <cerrno>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/utsname.h>

namespace platform {

namespace {
RecordingSystem defaultSystem;
System* current = &defaultSystem;
} // namespace

void setOs(System* s) {
    current = s ? s : &defaultSystem;
}
System& os() {
    return *current;
}

bool HostSystem::setPriorityClass(PriorityClass c) {
    if (!haveOriginal_) {
        errno = 0;
        const int n = getpriority(PRIO_PROCESS, 0);
        originalNice_ = errno == 0 ? n : 0;
        haveOriginal_ = true;
    }
    const int target = c == PriorityClass::Realtime ? -20 : originalNice_;
    if (c == PriorityClass::Realtime) refused_ = false;
    if (setpriority(PRIO_PROCESS, 0, target) == 0) return true;
    // No privilege to raise it: the process runs on as it was.
    const bool privilege = errno == EACCES || errno == EPERM;
    if (c == PriorityClass::Realtime) refused_ = privilege;
    return privilege;
}

OsVersion HostSystem::osVersion() {
    OsVersion v;
    utsname u{};
    if (uname(&u) == 0) {
        char* end = nullptr;
        v.major = static_cast<std::int32_t>(std::strtol(u.release, &end, 10));
        if (end && *end == '.') v.minor = static_cast<std::int32_t>(std::strtol(end + 1, &end, 10));
        if (end && *end == '.') v.build = static_cast<std::int32_t>(std::strtol(end + 1, &end, 10));
        v.csdVersion = std::string(u.sysname) + " " + u.release;
    }
    return v;
}

} // namespace platform
