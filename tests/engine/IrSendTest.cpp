// The engine's own UART routines against the simulated adapter.

#include "support/SimFixture.h"

class EngineOnSim : public SimFixture {};

TEST_F(EngineOnSim, SetupChannelAndLines) {
    Sio::UART_Init_9600();
    EXPECT_EQ(sim.uart.divisor(), 12u);
    EXPECT_EQ(sim.uart.lineControl(), 3);
    auto src = std::make_shared<sim::LineSource>();
    src->dsr(0, true);
    sim.adapter.attach(src, 2);
    Sio::Waehle_Kanal(2);
    EXPECT_EQ(sim.adapter.channel(), 2);
    bool cts = false, dsr = false, rx = false;
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_TRUE(dsr) << "the delta toggled the latch on";
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_TRUE(dsr) << "the level, no delta";
    EXPECT_TRUE(sim.bus.strays().empty());

    // A stuck transmitter: Warte_Sender_leer gives up after 20001 busy reads.
    sim.setFault(sim::Fault::TransmitterStuckBusy);
    const auto before = sim.bus.accesses();
    Sio::Warte_Sender_leer();
    EXPECT_TRUE(Sio::Sende_Timeout);
    EXPECT_EQ(sim.bus.accesses() - before, 20002u);
}
