#include "platform/System.h"

#include <cerrno>
#include <cstdlib>
#include <sched.h>
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
    const bool raise = c != PriorityClass::Normal;
    if (raise) refused_ = false;
    if (c == PriorityClass::RealtimeShort && !fifo_) {
        sched_param p{};
        p.sched_priority = sched_get_priority_min(SCHED_FIFO);
        fifo_ = sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &p) == 0;
    } else if (c != PriorityClass::RealtimeShort && fifo_) {
        const sched_param p{};
        fifo_ = sched_setscheduler(0, SCHED_OTHER, &p) != 0;
        if (fifo_) return false;
    }
    if (fifo_) return true;
    if (setpriority(PRIO_PROCESS, 0, raise ? -20 : originalNice_) == 0) return true;
    // No privilege to raise it: the process runs on as it was.
    const bool privilege = errno == EACCES || errno == EPERM;
    if (raise) refused_ = privilege;
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
