#include "engine/ControlL.h"
#include "engine/IrAnalyse.h"
#include "engine/IrCapture.h"
#include "engine/Panasonic.h"
#include "engine/WavExport.h"
#include "support/EngineFixture.h"

#include <utility>
#include <vector>

using Writes = std::vector<std::pair<std::uint16_t, std::uint8_t>>;

class SioCore : public EngineFixture {};

TEST_F(SioCore, InitSetsDefaultsAndTraces) {
    Sio::Drehg_mSec = 1;
    Sio::Sony_Schwelle = 9;
    Sio::Pana_Laufzeit[450] = 7;
    EXPECT_EQ(Sio::SIO_Init(), 1);
    EXPECT_EQ(Sio::Com_Nr, 1);
    EXPECT_EQ(Sio::Drehg_mSec, 95000);
    EXPECT_EQ(Sio::Anfragen_Sec, 700000);
    EXPECT_EQ(Sio::MessSchranke, 10);
    EXPECT_EQ(Sio::Abfallzeit_IR_Detektor, 80);
    EXPECT_EQ(Sio::IR_Methode, 2);
    EXPECT_EQ(Sio::Halbbilder_pro_Sekunde, 50);
    EXPECT_EQ(Sio::Sony_Schwelle, 0);
    EXPECT_EQ(Sio::Pana_Laufzeit[450], 0);
    EXPECT_EQ(memo.lines.at(memo.lines.size() - 2), "*** SIO_Init ***  ");
    EXPECT_TRUE(ports.log().empty()) << "SIO_Init must not touch the UART";
}

// The reset every test starts from: the state at program start, also what
// SIO_Init leaves alone (latches, register addresses, decoded positions).
TEST_F(SioCore, ResetGivesTheStateAtProgramStart) {
    Sio::UART_Init_9600();
    Sio::Debug_Statistik = Sio::Sende_Timeout = Sio::DSR_Zustand = true;
    Sio::Sony_Position.Vorzeichen = '-';
    Sio::Sony_Sekundenzaehler = true;
    Sio::Pana_Statustext = "x";
    Sio::Basisbefehle[25][100] = 3;
    Sio::IR_Messwerte.back() = 4;
    Sio::IR_Fehlertext = Sio::WAV_Dateiname = "x";
    Sio::SIO_Init();
    EXPECT_TRUE(Sio::Debug_Statistik && Sio::Sende_Timeout && Sio::DSR_Zustand);
    EXPECT_EQ(Sio::Port_MCR, 0x3FC);

    Sio::Modulzustand_zuruecksetzen();
    EXPECT_EQ(Sio::Com_Nr, 0);
    EXPECT_EQ(Sio::Halbbilder_pro_Sekunde, 0);
    EXPECT_FALSE(Sio::Debug_Statistik || Sio::Sende_Timeout || Sio::DSR_Zustand);
    EXPECT_FALSE(Sio::Register_gesetzt());
    EXPECT_EQ(Sio::Sony_Position.Vorzeichen, ' ');
    EXPECT_EQ(Sio::Sony_Sekunden_bei_Bildern, -1);
    EXPECT_FALSE(Sio::Sony_Sekundenzaehler);
    EXPECT_EQ(Sio::Pana_Statustext, "");
    EXPECT_EQ(Sio::Basisbefehle[25][100], 0);
    EXPECT_EQ(Sio::IR_Messwerte.back(), 0);
    EXPECT_EQ(Sio::IR_Fehlertext + Sio::WAV_Dateiname, "");
}

TEST_F(SioCore, UartSetupWritesRegistersInOrder) {
    Sio::Com_Nr = 2;
    Sio::UART_Setup(9600, 3);
    EXPECT_EQ(ports.writes(),
              (Writes{{0x2FB, 0x83}, {0x2F8, 12}, {0x2F9, 0}, {0x2FB, 3}, {0x2F9, 0}, {0x2FA, 0}}));
    EXPECT_EQ(Sio::Port_Daten, 0x2F8);
    EXPECT_EQ(Sio::Port_MCR, 0x2FC);
    EXPECT_EQ(Sio::Port_LSR, 0x2FD);
    EXPECT_EQ(Sio::Port_MSR, 0x2FE);

    auto divisorFor = [&](std::uint16_t baud) {
        ports.clearLog();
        Sio::UART_Setup(baud, 3);
        return ports.writes().at(1).second;
    };
    EXPECT_EQ(divisorFor(115), 1);
    EXPECT_EQ(divisorFor(57600), 2);
    EXPECT_EQ(divisorFor(600), 192);
    EXPECT_EQ(divisorFor(4711), 12);
}

TEST_F(SioCore, PortBaseTableAndRange) {
    const std::pair<int, std::uint16_t> table[] = {{1, 0x3F8},  {2, 0x2F8}, {3, 0x3E8}, {4, 0x2E8},
                                                   {5, 0x2F0},  {6, 0x3E0}, {7, 0x2E0}, {8, 0x260},
                                                   {12, 0x3F8}, {16, 0x3F8}};
    for (auto [com, base] : table) {
        Sio::Com_Nr = com;
        EXPECT_EQ(Sio::Port_Basis(), base) << "COM" << com;
    }
    Sio::Com_Nr = 0;
    EXPECT_THROW(Sio::Port_Basis(), ERangeError);
    Sio::Com_Nr = 17;
    EXPECT_THROW(Sio::UART_Setup(9600, 3), ERangeError);
}

TEST_F(SioCore, ChannelChoiceAndSettleTime) {
    Sio::UART_Setup(9600, 3);
    ports.clearLog();
    for (auto [n, written, waitsMs] : {std::tuple{3, 3, 20}, {7, 3, 20}, {4, 0, 0}, {1, 1, 0}}) {
        ports.clearLog();
        const auto before = clock.nowPs();
        EXPECT_EQ(Sio::Waehle_Kanal(n), 1);
        EXPECT_EQ(ports.writes(), (Writes{{0x3FC, static_cast<std::uint8_t>(written)}}));
        const double ms = static_cast<double>(clock.nowPs() - before) / 1e9;
        EXPECT_NEAR(ms, waitsMs, 0.01) << "channel " << n;
    }

    ports.clearLog();
    Sio::Setze_DTR_RTS(true, false);
    Sio::Setze_DTR_RTS(false, true);
    Sio::Setze_DTR_RTS(true, true);
    EXPECT_EQ(ports.writes(), (Writes{{0x3FC, 2}, {0x3FC, 1}, {0x3FC, 3}}));
}

TEST_F(SioCore, NoPortAccessBeforeFirstSetup) {
    bool cts = true, dsr = true, rx = true;
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_FALSE(cts || dsr || rx);
    Sio::Setze_DTR_RTS(true, true);
    Sio::Warte_Sender_leer();
    const auto before = clock.nowPs();
    EXPECT_EQ(Sio::Waehle_Kanal(3), 1); // the first macro after start does this
    EXPECT_NEAR(static_cast<double>(clock.nowPs() - before) / 1e9, 20.0, 0.01);
    EXPECT_EQ(Sio::Waehle_Kanal(0), 1);
    EXPECT_TRUE(ports.log().empty());
    EXPECT_FALSE(Sio::Sende_Timeout);
    EXPECT_FALSE(Sio::CTS_Zustand || Sio::DSR_Zustand || Sio::RX_Zustand);
}

TEST_F(SioCore, TransmitterTimeoutIsSticky) {
    Sio::UART_Setup(115, 2);
    ports.setDefault(0x3FD, 0x00); // never empty
    ports.setLogReads(false);
    Sio::Warte_Sender_leer();
    EXPECT_TRUE(Sio::Sende_Timeout);
    EXPECT_EQ(ports.reads(0x3FD), 20002); // 20001 busy reads set the flag, one more sees it
    Sio::Warte_Sender_leer();
    EXPECT_EQ(ports.reads(0x3FD), 20003);

    Sio::Sende_Timeout = false;
    ports.queueRead(0x3FD, {0x00, 0x00, 0x60});
    Sio::Warte_Sender_leer();
    EXPECT_FALSE(Sio::Sende_Timeout);
    EXPECT_EQ(ports.reads(0x3FD), 20006);
}

TEST_F(SioCore, LineLatchesShowEveryEdge) {
    Sio::UART_Setup(115, 3);
    ports.setDefault(0x3FD, 0x60);
    bool cts = false, dsr = false, rx = false;

    ports.queueRead(0x3FE, {0x21, 0x21, 0x20});
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_TRUE(cts); // toggled latch
    EXPECT_TRUE(dsr); // level
    EXPECT_FALSE(rx);
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_FALSE(cts); // the latch alternates
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_FALSE(cts);
    EXPECT_TRUE(dsr);

    // Received characters flip the RX latch and are read away.
    ports.setDefault(0x3FE, 0x00);
    ports.queueRead(0x3FD, {0x61, 0x61, 0x60});
    ports.clearLog();
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_TRUE(rx);
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_FALSE(rx);
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_FALSE(rx);
    EXPECT_EQ(ports.reads(0x3F8), 2);
}

TEST_F(SioCore, LiesDsrAlternatesOnDeltaWithLineLow) {
    Sio::UART_Setup(115, 3);
    ports.setDefault(0x3FD, 0x60);
    ports.setDefault(0x3FE, 0x02);
    EXPECT_TRUE(Sio::Lies_DSR());
    EXPECT_FALSE(Sio::Lies_DSR());
    EXPECT_TRUE(Sio::Lies_DSR());
}

TEST_F(SioCore, BusyWaitsAndTimeUnits) {
    const auto t0 = clock.nowPs();
    Sio::Warte_ms(0);
    Sio::Warte_ms(-5);
    Sio::Warteschleife(-1);
    EXPECT_EQ(clock.nowPs(), t0);

    Sio::Warte_ms(250); // 250 × 95000 turns at 95000 turns/ms
    EXPECT_EQ(clock.nowPs() - t0, 250LL * 1000000000LL);
    EXPECT_EQ(clock.loopTurns(), 250LL * 95000);

    Sio::Drehg_mSec = 0;
    const auto t1 = clock.nowPs();
    Sio::Warte_ms(1000);
    EXPECT_EQ(clock.nowPs(), t1);

    EXPECT_EQ(Sio::Ticks_nach_us(Sio::Zaehlerfrequenz()), 1000000);
    EXPECT_EQ(Sio::Ticks_nach_us(0), 0);
    EXPECT_EQ(Sio::Ticks_nach_us(-1193182LL * 3), -3000000);
}
