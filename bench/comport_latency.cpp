// Delay from a byte written on a pseudo-terminal's master to the port's
// OnRxChar handler (delivered on the event thread), and the CPU time an open,
// idle port costs.
#include "comport/CPort.h"
#include "tests/support/Pty.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace

int main() {
    constexpr int writes = 2000;
    testsupport::PtyPair pty;
    CPort::TComPort port;
    port.setPort(pty.slavePath());
    port.setSyncMethod(CPort::smNone);
    port.Timeouts().setReadInterval(-1);
    port.Timeouts().setReadTotalMultiplier(-1);
    port.Timeouts().setReadTotalConstant(1);

    std::mutex mutex;
    std::condition_variable cv;
    Clock::time_point arrived;
    int received = 0;
    port.OnRxChar = [&](CPort::TCustomComPort* p, int count) {
        const auto now = Clock::now();
        char buf[64];
        const int n = p->ReceiveBytes(buf, std::min(count + 8, 64));
        std::lock_guard lock(mutex);
        arrived = now;
        received += n;
        cv.notify_all();
    };
    port.setConnected(true);

    std::vector<double> delays;
    delays.reserve(writes);
    for (int i = 0; i < writes; ++i) {
        std::unique_lock lock(mutex);
        const int before = received;
        lock.unlock();
        const auto sent = Clock::now();
        pty.write(std::string(1, static_cast<char>(i & 0xFF)));
        lock.lock();
        if (!cv.wait_for(lock, std::chrono::seconds(2), [&] { return received > before; })) {
            std::fprintf(stderr, "byte %d never arrived\n", i);
            return 1;
        }
        delays.push_back(std::chrono::duration<double, std::micro>(arrived - sent).count());
    }
    std::sort(delays.begin(), delays.end());
    const double median = delays[delays.size() / 2];
    const double p99 = delays[static_cast<std::size_t>(delays.size() * 0.99)];

    // Idle: the port open, nothing arriving.
    const double cpu0 = cpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double idleCpu = (cpuSeconds() - cpu0) / wall;

    // Idle with characters left unread by the handler (the back-off's cost).
    port.OnRxChar = nullptr;
    pty.write("unread");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double cpu1 = cpuSeconds();
    const auto t1 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double wall1 = std::chrono::duration<double>(Clock::now() - t1).count();
    const double unreadCpu = (cpuSeconds() - cpu1) / wall1;
    port.setConnected(false);

    std::printf("rxchar_latency_median: %.1f us\n", median);
    std::printf("rxchar_latency_p99: %.1f us\n", p99);
    std::printf("idle_cpu: %.3f ms/s\n", idleCpu * 1e3);
    std::printf("idle_cpu_unread_bytes: %.3f ms/s\n", unreadCpu * 1e3);
    return 0;
}
