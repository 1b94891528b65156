#pragma once
// A register fake for unit tests: queued read values per address, a default
// value per address, optional read functions, and a log of every access.

#include "platform/PortIo.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

namespace platform {

class Clock;

class ScriptedPortIo final : public PortIo {
public:
    struct Access {
        bool write;
        std::uint16_t port;
        std::uint8_t value;
        std::int64_t ps; // clock time of the access (0 without a clock)
    };

    // With a clock, every access is charged to it.
    explicit ScriptedPortIo(Clock* clock = nullptr) : clock_(clock) {}

    std::uint8_t in(std::uint16_t port) override;
    void out(std::uint16_t port, std::uint8_t value) override;
    std::string describe() const override { return "scripted"; }

    void queueRead(std::uint16_t port, std::initializer_list<std::uint8_t> values);
    void setDefault(std::uint16_t port, std::uint8_t value) { defaults_[port] = value; }
    void setReader(std::uint16_t port, std::function<std::uint8_t()> reader) {
        readers_[port] = std::move(reader);
    }

    const std::vector<Access>& log() const { return log_; }
    std::vector<std::pair<std::uint16_t, std::uint8_t>> writes() const;
    int reads(std::uint16_t port) const;
    void clearLog() { log_.clear(); }
    // Keep only writes in the log (a wait loop may read millions of times).
    void setLogReads(bool on) { logReads_ = on; }

private:
    Clock* clock_;
    std::map<std::uint16_t, std::deque<std::uint8_t>> queued_;
    std::map<std::uint16_t, std::uint8_t> defaults_;
    std::map<std::uint16_t, std::function<std::uint8_t()>> readers_;
    std::map<std::uint16_t, int> readCounts_;
    std::vector<Access> log_;
    bool logReads_ = true;
};

} // namespace platform
