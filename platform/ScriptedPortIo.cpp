#include "platform/ScriptedPortIo.h"

#include "platform/Clock.h"

namespace platform {

std::uint8_t ScriptedPortIo::in(std::uint16_t port) {
    if (clock_) clock_->chargePortAccess();
    ++readCounts_[port];
    std::uint8_t v = 0xFF;
    if (auto q = queued_.find(port); q != queued_.end() && !q->second.empty()) {
        v = q->second.front();
        q->second.pop_front();
    } else if (auto r = readers_.find(port); r != readers_.end()) {
        v = r->second();
    } else if (auto d = defaults_.find(port); d != defaults_.end()) {
        v = d->second;
    }
    if (logReads_) log_.push_back({false, port, v, clock_ ? clock_->nowPs() : 0});
    return v;
}

void ScriptedPortIo::out(std::uint16_t port, std::uint8_t value) {
    if (clock_) clock_->chargePortAccess();
    log_.push_back({true, port, value, clock_ ? clock_->nowPs() : 0});
}

void ScriptedPortIo::queueRead(std::uint16_t port, std::initializer_list<std::uint8_t> values) {
    auto& q = queued_[port];
    q.insert(q.end(), values.begin(), values.end());
}

std::vector<std::pair<std::uint16_t, std::uint8_t>> ScriptedPortIo::writes() const {
    std::vector<std::pair<std::uint16_t, std::uint8_t>> w;
    for (const auto& a : log_)
        if (a.write) w.emplace_back(a.port, a.value);
    return w;
}

int ScriptedPortIo::reads(std::uint16_t port) const {
    auto it = readCounts_.find(port);
    return it == readCounts_.end() ? 0 : it->second;
}

} // namespace platform
