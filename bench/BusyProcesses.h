#pragma once
// Load for the benchmarks' loaded runs: busy processes at normal priority,
// each spinning until it is killed or its time is up (so that none outlives a
// crashed benchmark by long).
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <ctime>
#include <vector>

namespace bench {

inline double hostSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

class BusyProcesses {
public:
    BusyProcesses(unsigned n, double seconds) {
        const double ende = hostSeconds() + seconds;
        for (unsigned i = 0; i < n; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);
                volatile std::uint64_t x = 0;
                while (hostSeconds() < ende)
                    for (int k = 0; k < 1000000; ++k)
                        x = x + 1;
                _exit(0);
            }
            if (pid > 0) kinder_.push_back(pid);
        }
    }
    ~BusyProcesses() {
        for (const pid_t pid : kinder_)
            kill(pid, SIGKILL);
        for (const pid_t pid : kinder_)
            waitpid(pid, nullptr, 0);
    }
    BusyProcesses(const BusyProcesses&) = delete;
    BusyProcesses& operator=(const BusyProcesses&) = delete;
    std::size_t anzahl() const { return kinder_.size(); }

private:
    std::vector<pid_t> kinder_;
};

} // namespace bench
