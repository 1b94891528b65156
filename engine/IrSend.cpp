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

void Sendetabelle_bauen(const TBefehl& cmd, std::span<std::int64_t> table) {
    std::int64_t sum = 0;
    long long i = 1;
    do {
        const std::int32_t puls = tabelle(cmd, i, "Befehl");
        tabelle(table, i, "Sendetabelle") = Runden(static_cast<double>(puls) * 38400.0 / 1000000.0);
        sum += static_cast<std::int64_t>(puls) + tabelle(cmd, i + 1, "Befehl");
        tabelle(table, i + 1, "Sendetabelle") = sum;
        i += 2;
        tabelle(table, i, "Sendetabelle") = 0;
    } while (tabelle(cmd, i, "Befehl") != 0 && tabelle(cmd, i - 1, "Befehl") != 0);
}

std::vector<std::int64_t> Gesendeter_Rahmen(const TBefehl& cmd) {
    std::vector<std::int64_t> table(cmd.size() + 2, 0);
    Sendetabelle_bauen(cmd, table);
    std::vector<std::int64_t> d;
    std::int64_t ende = 0; // end of the last pause, µs from the frame start
    for (std::size_t k = 1; table[k] != 0; k += 2) {
        const std::int64_t puls = Runden(static_cast<double>(table[k]) * 1000000.0 / 38400.0);
        d.push_back(puls);
        if (cmd[k + 1] == 0) break; // only the wait for the last pulse to end
        d.push_back(table[k + 1] - ende - puls);
        ende = table[k + 1];
    }
    return d;
}

std::vector<std::int64_t> Gesendeter_Befehl(const TBefehl& cmd) {
    return Gesendeter_Befehl(Gesendeter_Rahmen(cmd), cmd[0]);
}

std::vector<std::int64_t> Gesendeter_Befehl(const std::vector<std::int64_t>& rahmen,
                                            std::int32_t sendungen) {
    std::vector<std::int64_t> d;
    for (std::int32_t rep = 0; rep < sendungen && !rahmen.empty(); ++rep) {
        auto von = rahmen.begin();
        if (d.size() % 2 == 1) d.back() += *von++; // the last pulse goes on
        d.insert(d.end(), von, rahmen.end());
    }
    if (d.size() % 2 == 0 && !d.empty()) d.pop_back(); // the last closing pause
    return d;
}

std::int32_t IR_Senden(const TBefehl& cmd) {
    UART_Setup(115, 2);
    Port_Schreiben(static_cast<std::uint16_t>(Port_Basis() + 2), 1);
    Port_Schreiben(static_cast<std::uint16_t>(Port_Basis() + 2), 1);
    Waehle_Kanal(IR_Einheit);
    Sende_Timeout = false;
    Warte_ms(100);

    auto& table = IR_Messwerte;
    Sendetabelle_bauen(cmd, table);

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
