#include "platform/VirtualClock.h"

#include <gtest/gtest.h>

TEST(VirtualClock, CostsAddUpExactlyToTheirRates) {
    platform::VirtualClock c;
    for (int i = 0; i < 700000; ++i)
        c.chargePortAccess();
    EXPECT_EQ(c.nowPs(), platform::Clock::kPsPerSecond);
    for (int i = 0; i < 95000; ++i)
        c.spin(1);
    EXPECT_EQ(c.nowPs(), 2 * platform::Clock::kPsPerSecond - 999000000000LL);
}

TEST(VirtualClock, CounterNeverOverflowsAndAlwaysMoves) {
    platform::VirtualClock c;
    c.advancePs(3600LL * platform::Clock::kPsPerSecond); // an hour of virtual time
    const auto a = c.performanceCounter();
    EXPECT_EQ(a, 3600LL * platform::Clock::kCounterFrequency);
    c.costs().counterReadPs = 0; // even a zero cost must not freeze a deadline poll
    std::int64_t last = c.nowPs();
    c.performanceCounter();
    EXPECT_GT(c.nowPs(), last);
}

TEST(VirtualClock, TickCountStartsAtItsBase) {
    platform::VirtualClock c;
    c.setTickBase(8001);
    c.advanceMs(1500);
    EXPECT_EQ(c.tickCount(), 9501u);
    c.sleepMs(10);
    EXPECT_EQ(c.tickCount(), 9511u);
}
