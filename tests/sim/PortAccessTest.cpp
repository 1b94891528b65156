// The start-up choice of the port backend.

#include "sim/PortAccess.h"

#include "sim/PeoplesAdapter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(PortAccess, SimulatedAdapterFollowsTheComBase) {
    std::vector<std::string> said;
    auto opener = sim::installPortAccess(platform::PortMode::Sim,
                                         [&](const std::string& s) { said.push_back(s); });
    opener(0x3F8);
    ASSERT_NE(sim::currentSimAdapter(), nullptr);
    EXPECT_EQ(&platform::ports(), &sim::currentSimAdapter()->bus);
    EXPECT_EQ(platform::ports().describe(), "sim");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], "Portzugriff: simulierter Adapter (0x3F8), TAVIX_PORTS=sim");
    EXPECT_EQ(sim::simulatedAdapterReason(), sim::kBecauseAsked);
    // What a person finds on it: the decks on channels 1 and 2, the
    // detector on 3, the recorder facing the IR sender.
    sim::PeoplesDevices* d = sim::currentPeoplesDevices();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(&d->sim, sim::currentSimAdapter());
    EXPECT_TRUE(d->camcorder->attached() && d->vcr->attached() && d->detector->attached() &&
                d->recorder->attached());
    // A COM change moves the adapter and says so without the reason again;
    // the old base then reads 0xFF.
    opener(0x2F8);
    ASSERT_EQ(said.size(), 2u);
    EXPECT_EQ(said[1], "Portzugriff: simulierter Adapter (0x2F8)");
    EXPECT_EQ(sim::currentSimAdapter()->bus.base(), 0x2F8);
    EXPECT_EQ(platform::ports().in(0x2FD) & 0x60, 0x60) << "an idle transmitter";
    EXPECT_EQ(platform::ports().in(0x3FD), 0xFF);
    platform::setPorts(nullptr);
    EXPECT_EQ(sim::currentSimAdapter(), nullptr);
}

TEST(PortAccess, DirectModeNeverFallsBackToTheSimulation) {
    std::vector<std::string> said;
    auto opener = sim::installPortAccess(platform::PortMode::Direct,
                                         [&](const std::string& s) { said.push_back(s); });
    opener(0x3F8);
    ASSERT_EQ(said.size(), 1u);
    // Whether this process may do port I/O depends on the machine; either
    // way the choice is said, and a refusal leaves the null backend.
    if (said[0].find("verweigert") != std::string::npos)
        EXPECT_EQ(platform::ports().describe(), "none");
    else
        EXPECT_EQ(platform::ports().describe(), "direct");
    EXPECT_EQ(sim::currentSimAdapter(), nullptr);
    platform::setPorts(nullptr);

    said.clear();
    auto autoOpener = sim::installPortAccess(platform::PortMode::Auto,
                                             [&](const std::string& s) { said.push_back(s); });
    autoOpener(0x3F8);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(platform::ports().describe() == "direct" || platform::ports().describe() == "sim");
    platform::setPorts(nullptr);
}
