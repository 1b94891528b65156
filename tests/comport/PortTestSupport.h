#pragma once
// Helpers of the serial-port tests: bounded waits, a thread-safe event log,
// the process's thread count and a dispatcher that counts what it was given.

#include "comport/CPort.h"

#include <atomic>
#include <chrono>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace porttest {

using namespace std::chrono_literals;

template <class Pred> bool waitUntil(Pred pred, std::chrono::milliseconds limit = 2000ms) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) return pred();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Running event threads of this process, as the kernel lists them. A thread
// stays listed for a moment after it was joined (the kernel lets it go after
// waking the joiner), so "none left" is waited for, never sampled once.
inline int threadCount() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
            std::string name;
            if (std::getline(comm, name) && name == "TComThread") ++n;
        }
        ::closedir(d);
    }
    return n;
}

// Every event thread of this process has ended (each test runs in a
// process of its own, so none is expected once its ports are closed).
inline bool noEventThreadLeft(std::chrono::milliseconds limit = 2000ms) {
    return waitUntil([] { return threadCount() == 0; }, limit);
}

class EventLog {
public:
    void add(std::string entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }
    void clear() {
        std::lock_guard lock(mutex_);
        entries_.clear();
    }
    // Logs every event of the port under a short name.
    void attach(CPort::TCustomComPort& p) {
        p.OnBeforeOpen = [this](auto*) { add("BeforeOpen"); };
        p.OnAfterOpen = [this](auto*) { add("AfterOpen"); };
        p.OnBeforeClose = [this](auto*) { add("BeforeClose"); };
        p.OnAfterClose = [this](auto*) { add("AfterClose"); };
        p.OnCTSChange = [this](auto*, bool on) { add(on ? "CTS 1" : "CTS 0"); };
        p.OnDSRChange = [this](auto*, bool on) { add(on ? "DSR 1" : "DSR 0"); };
        p.OnRLSDChange = [this](auto*, bool on) { add(on ? "RLSD 1" : "RLSD 0"); };
        p.OnRing = [this](auto*) { add("Ring"); };
        p.OnBreak = [this](auto*) { add("Break"); };
        p.OnTxEmpty = [this](auto*) { add("TxEmpty"); };
        p.OnRxFlag = [this](auto*) { add("RxFlag"); };
        p.OnRx80Full = [this](auto*) { add("Rx80Full"); };
        p.OnRxChar = [this](auto*, int n) { add("RxChar " + std::to_string(n)); };
        p.OnError = [this](auto*, CPort::TComErrors e) {
            add("Error " + std::to_string(e.bits()));
        };
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

// A main-thread queue that also counts the calls posted to it.
class CountingDispatcher final : public CPort::MainThreadDispatcher {
public:
    void post(std::function<void()> fn) override {
        ++posted;
        queue.post(std::move(fn));
    }
    std::atomic<int> posted{0};
    CPort::QueuedDispatcher queue;
};

} // namespace porttest
