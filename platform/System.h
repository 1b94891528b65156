#pragma once
// The system seam: process priority, shutdown, opening a URL, the beep and the
// OS version. The programs install the host's backend; everything else (tests
// above all) gets the recorder, so no test can change the real priority or
// shut the machine down.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Realtime: for operations of any length (a learn waits for a press).
// RealtimeShort: for a section well under a second (an IR send): a
// real-time scheduling policy where the process may have one, so that no
// process at normal priority takes the processor away in the middle of a
// pulse; the kernel throttles a real-time process that keeps a processor
// 0.95 s of a second, so it is never held around a wait of unknown length.
enum class PriorityClass { Normal, Realtime, RealtimeShort };

struct OsVersion {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::int32_t build = 0;
    std::int32_t platformId = 2;
    std::string csdVersion; // release text
};

class System {
public:
    virtual ~System() = default;
    // False when the change was refused for a reason other than privilege.
    virtual bool setPriorityClass(PriorityClass c) = 0;
    // The last raise was refused for lack of privilege (reported as success):
    // the process runs at its normal priority.
    virtual bool priorityRefused() const { return false; }
    virtual bool openUrl(const std::string& url) = 0;
    virtual void beep() = 0;
    virtual bool shutdown() = 0;
    virtual OsVersion osVersion() = 0;
};

// Records every call and answers as told.
class RecordingSystem final : public System {
public:
    bool setPriorityClass(PriorityClass c) override {
        priorityCalls.push_back(c);
        current = c;
        if (onPriority) onPriority(c);
        return priorityResult;
    }
    bool priorityRefused() const override { return refused; }
    bool openUrl(const std::string& url) override {
        urls.push_back(url);
        return urlResult;
    }
    void beep() override { ++beeps; }
    bool shutdown() override {
        ++shutdowns;
        return true;
    }
    OsVersion osVersion() override { return version; }

    // Runs at each change, e.g. to let time pass as a busy machine does.
    std::function<void(PriorityClass)> onPriority;
    std::vector<PriorityClass> priorityCalls;
    PriorityClass current = PriorityClass::Normal;
    bool priorityResult = true;
    bool refused = false;
    std::vector<std::string> urls;
    bool urlResult = true;
    int beeps = 0;
    int shutdowns = 0;
    OsVersion version;
};

// Priority and version of the host; the rest does nothing here (the Qt
// backend adds URL, beep and shutdown).
class HostSystem : public System {
public:
    // Realtime: nice -20, the strongest a normal scheduling class gives; a
    // real-time class would be throttled in long busy loops. RealtimeShort:
    // SCHED_FIFO at its lowest priority for the calling thread, not passed
    // on to children, where the process may (root, or an RLIMIT_RTPRIO);
    // otherwise as Realtime. Without the privilege the process carries on
    // at its priority and success is still reported; priorityRefused()
    // tells of the refusal. Normal: the normal scheduling policy and the
    // nice value the process had before the first raise.
    bool setPriorityClass(PriorityClass c) override;
    bool priorityRefused() const override { return refused_; }
    bool openUrl(const std::string&) override { return false; }
    void beep() override {}
    bool shutdown() override { return false; }
    OsVersion osVersion() override;

private:
    bool haveOriginal_ = false;
    bool refused_ = false;
    bool fifo_ = false;
    int originalNice_ = 0;
};

// Not owning; null restores the recorder that is installed by default.
void setOs(System* s);
System& os();

} // namespace platform
