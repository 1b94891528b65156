// Timing calibration on the simulated adapter: the measurement must recover
// the rates of the simulated PC.

#include "engine/Timing.h"
#include "support/SimFixture.h"

#include <cstdlib>

namespace {

platform::VirtualClock::Costs pc(std::int64_t turnsPerMs, std::int64_t readsPerSecond) {
    platform::VirtualClock::Costs c;
    c.loopTurnsPerMs = turnsPerMs;
    c.portAccessesPerSecond = readsPerSecond;
    return c;
}

bool within(std::int64_t value, std::int64_t target, double fraction) {
    return std::llabs(value - target) <= static_cast<std::int64_t>(target * fraction);
}

} // namespace

class Calibration : public SimFixture {
protected:
    Calibration() : SimFixture(pc(95000, 700000)) {}
};

TEST_F(Calibration, RecoversTheDefaultPc) {
    Sio::Drehg_mSec = 1;
    Sio::Anfragen_Sec = 1;
    std::int32_t passes = -1, deviation = -1, quota = -1;
    std::string error = "x";
    const auto result = Sio::Bestimme_Drehzahl(passes, deviation, quota, error);
    EXPECT_EQ(result, 30);
    EXPECT_EQ(passes, 30);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(within(Sio::Drehg_mSec, 95000, 0.02)) << Sio::Drehg_mSec;
    EXPECT_TRUE(within(Sio::Anfragen_Sec, 700000, 0.02)) << Sio::Anfragen_Sec;
}
