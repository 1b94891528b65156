#include "platform/VirtualClock.h"

namespace platform {

std::int64_t VirtualClock::performanceCounter() {
    advancePs(costs_.counterReadPs > 0 ? costs_.counterReadPs : 1);
    return psToCounter(nowPs_);
}

std::uint32_t VirtualClock::tickCount() {
    return tickBaseMs_ + static_cast<std::uint32_t>(nowPs_ / 1000000000LL);
}

void VirtualClock::spin(std::int32_t turns) {
    if (turns <= 0 || costs_.loopTurnsPerMs <= 0) return;
    loopTurns_ += turns;
    // One turn lasts 1e9 / loopTurnsPerMs ps.
    const __int128 total = static_cast<__int128>(turns) * 1000000000LL + turnRemainder_;
    nowPs_ += static_cast<std::int64_t>(total / costs_.loopTurnsPerMs);
    turnRemainder_ = static_cast<std::int64_t>(total % costs_.loopTurnsPerMs);
}

void VirtualClock::chargePortAccess() {
    ++portAccesses_;
    if (costs_.portAccessesPerSecond <= 0) return;
    const std::int64_t total = kPsPerSecond + portRemainder_;
    nowPs_ += total / costs_.portAccessesPerSecond;
    portRemainder_ = total % costs_.portAccessesPerSecond;
}

} // namespace platform
