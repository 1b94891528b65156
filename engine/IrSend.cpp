#include "engine/IrSend.h"

namespace Sio {

namespace {
constexpr std::uint8_t kDrei = 0x5B; // 0 1 1 0 1 1 0 1 1: three carrier pulses
constexpr std::uint8_t kEins = 0xFF; // 0 1 1 1 1 1 1 1 1: one
constexpr std::uint8_t kZwei = 0xFB; // 0 1 1 0 1 1 1 1 1: two
} // namespace

void IR_Liste_Loeschen(TBefehl& cmd) {
    cmd.fill(0);
}

void Sende_Impuls(std::int32_t n) {
    if (Sende_Timeout) return;
    for (std::int32_t i = 0; i < n / 3; ++i) {
        Warte_Sender_leer();
        Port_Schreiben(Port_Daten, kDrei);
    }
    if (n % 3 == 1) {
        Warte_Sender_leer();
        Port_Schreiben(Port_Daten, kEins);
    } else if (n % 3 == 2) {
        Warte_Sender_leer();
        Port_Schreiben(Port_Daten, kZwei);
    }
    Warte_Sender_leer();
}

void Warte_bis(std::int64_t t) {
    const std::int64_t f = Zaehlerfrequenz();
    const std::int64_t deadline = Sendestart + t * f / 1000000;
    while (Zaehlerstand() <= deadline) {
    }
}

std::int32_t IR_Senden(const TBefehl& cmd) {
    UART_Setup(115, 2);
    Port_Schreiben(static_cast<std::uint16_t>(Port_Basis() + 2), 1);
    Port_Schreiben(static_cast<std::uint16_t>(Port_Basis() + 2), 1);
    Waehle_Kanal(IR_Einheit);
    Sende_Timeout = false;
    Warte_ms(100);

    // The send table, built before the first pulse: odd entries carrier
    // periods, even entries the end of each pause in µs from the frame start.
    auto& table = IR_Messwerte;
    std::int64_t sum = 0;
    long long i = 1;
    do {
        const std::int32_t puls = tabelle(cmd, i, "Befehl");
        table[static_cast<std::size_t>(i)] =
            Runden(static_cast<double>(puls) * 38400.0 / 1000000.0);
        sum += static_cast<std::int64_t>(puls) + tabelle(cmd, i + 1, "Befehl");
        table[static_cast<std::size_t>(i + 1)] = sum;
        i += 2;
        table[static_cast<std::size_t>(i)] = 0;
    } while (tabelle(cmd, i, "Befehl") != 0 && tabelle(cmd, i - 1, "Befehl") != 0);

    for (std::int32_t rep = 0; rep < cmd[0]; ++rep) {
        Sendestart = Zaehlerstand();
        for (std::size_t k = 1; table[k] != 0; ++k) {
            if (k % 2 == 1)
                Sende_Impuls(static_cast<std::int32_t>(table[k]));
            else
                Warte_bis(table[k]);
        }
    }

    Warte_ms(100);
    if (Sende_Timeout) Debug_WriteLn("** send_timeout **");
    Debug_Write(" IRX ");
    return 1;
}

} // namespace Sio
