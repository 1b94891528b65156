#include "engine/IrSend.h"

#include <optional>

namespace Sio {

namespace {
constexpr std::uint8_t kDrei = 0x5B; // 0 1 1 0 1 1 0 1 1: three carrier pulses
constexpr std::uint8_t kEins = 0xFF; // 0 1 1 1 1 1 1 1 1: one
constexpr std::uint8_t kZwei = 0xFB; // 0 1 1 0 1 1 1 1 1: two
// A carrier character on the line: nine bits at 115200 baud.
constexpr std::int64_t kZeichen_ns = 78125;

struct Impulslauf {
    std::int32_t zeichen = 0; // characters written
    bool belegt = false;      // the pulse before was still on the line at the start
    bool abgerissen = false;  // the line fell idle between two characters
    std::int64_t beginn = 0;  // counter read just after the first character was written
};

// Each character is written only once the one before has entered the shift
// register. Finding the shift register empty as well means the line went
// idle inside the pulse: a receiver sees two pulses, so the pulse stops there.
Impulslauf impuls(std::int32_t n) {
    Impulslauf lauf;
    if (Sende_Timeout) return lauf;
    const std::int32_t zeichen = n / 3 + (n % 3 != 0 ? 1 : 0);
    for (; lauf.zeichen < zeichen; ++lauf.zeichen) {
        const bool leer = (Warte_Sender_leer() & LSR_TEMT) != 0;
        if (lauf.zeichen == 0) {
            lauf.belegt = !leer;
        } else if (leer && !Sende_Timeout) {
            lauf.abgerissen = true;
            return lauf;
        }
        Port_Schreiben(Port_Daten, lauf.zeichen < n / 3 ? kDrei : n % 3 == 1 ? kEins : kZwei);
        if (lauf.zeichen == 0) lauf.beginn = Zaehlerstand();
    }
    Warte_Sender_leer();
    return lauf;
}

std::int64_t us_nach_Zaehler(std::int64_t us) {
    return us * Zaehlerfrequenz() / 1000000;
}

enum class Sendung { Sauber, Gestoert, Zu_spaet };

// How late the pulse at odd entry k of the table may begin (µs). Each pause
// ends at a deadline from the frame start, so a pulse begun X late makes the
// pause before it X longer and the pause after it X shorter; the bound is
// the smaller share of the two (the silence before a frame and its closing
// pause take no part).
std::int64_t Verspaetung_erlaubt_us(const TBefehl& cmd, std::span<const std::int64_t> table,
                                    std::size_t k) {
    const auto anteil = [](std::int64_t pause) {
        return std::max(Sende_Verspaetung_us, pause / Sende_Verspaetung_Anteil);
    };
    const bool davor = k >= 3, danach = table[k + 2] != 0;
    if (davor && danach) return std::min(anteil(cmd[k - 1]), anteil(cmd[k + 1]));
    if (davor) return anteil(cmd[k - 1]);
    if (danach) return anteil(cmd[k + 1]);
    return Sende_Verspaetung_us;
}

// One transmission of the frame in the send table from now. Gestoert when a
// pulse broke off between two characters or began later than
// Verspaetung_erlaubt_us: it is stopped there. The start is read just after
// its first character was written, so it is never earlier than on the line.
// A closing pause that ends late makes only the next transmission late: one
// that begins after `spaetestens` (counter) is not sent (Zu_spaet).
Sendung Rahmen_senden(const TBefehl& cmd, std::span<const std::int64_t> table,
                      std::optional<std::int64_t> spaetestens) {
    Sendestart = Zaehlerstand();
    if (!Sende_Timeout && spaetestens && Sendestart > *spaetestens) return Sendung::Zu_spaet;
    std::int64_t ende = Sendestart; // deadline of the pause before the pulse
    for (std::size_t k = 1; table[k] != 0; ++k) {
        if (k % 2 == 1) {
            const std::int64_t grenze = us_nach_Zaehler(Verspaetung_erlaubt_us(cmd, table, k));
            // Found late already: no character of this pulse goes out.
            if (!Sende_Timeout && k > 1 && Zaehlerstand() - ende > grenze) return Sendung::Gestoert;
            const Impulslauf lauf = impuls(static_cast<std::int32_t>(table[k]));
            if (Sende_Timeout) continue;
            // Behind a pause shorter than a character, the pulse begins on
            // the line when the one before has left it.
            const std::int64_t beginn =
                lauf.beginn + (lauf.belegt ? kZeichen_ns * Zaehlerfrequenz() / 1000000000 : 0);
            if (lauf.abgerissen || beginn - ende > grenze) return Sendung::Gestoert;
            continue;
        }
        ende = Sendestart + us_nach_Zaehler(table[k]);
        while (Zaehlerstand() <= ende) {
        }
    }
    return Sendung::Sauber;
}

// The frame's length from its start to the end of its last pause (µs), and
// that last pause (0 for a frame that ends with a pulse).
struct Rahmenzeiten {
    std::int64_t periode = 0;
    std::int64_t schlusspause = 0;
};
Rahmenzeiten Rahmenzeiten_von(const TBefehl& cmd, std::span<const std::int64_t> table) {
    std::size_t k = 1;
    while (table[k] != 0)
        k += 2;
    if (k < 3) return {};
    return {table[k - 1], cmd[k - 1]};
}

} // namespace

void IR_Liste_Loeschen(TBefehl& cmd) {
    cmd.fill(0);
}

void Sende_Impuls(std::int32_t n) {
    (void)impuls(n);
}

void Warte_bis(std::int64_t t) {
    const std::int64_t deadline = Sendestart + us_nach_Zaehler(t);
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

std::int64_t Sende_Vorlauf() {
    return us_nach_Zaehler(
        std::int64_t{Sende_Vorbereitung_ms + Kanal_Einschwingzeit_ms(IR_Einheit)} * 1000);
}

std::int32_t IR_Senden(const TBefehl& cmd) {
    Sendebeginn = 0;
    const std::int64_t aufruf = Zaehlerstand();
    UART_Setup(115, 2);
    Port_Schreiben(static_cast<std::uint16_t>(Port_Basis() + 2), 1);
    Port_Schreiben(static_cast<std::uint16_t>(Port_Basis() + 2), 1);
    Waehle_Kanal(IR_Einheit);
    Sende_Timeout = false;
    Warte_ms(Sende_Vorbereitung_ms);

    auto& table = IR_Messwerte;
    Sendetabelle_bauen(cmd, table);

    // Before the first transmission is sent again, the command's own pause,
    // as between two of its transmissions. Once one went out clean, a
    // receiver may have acted on it: one sent again must follow it as
    // closely as a repeat of the same press does, within one frame period
    // from its end, or the command ends there, not clean.
    const Rahmenzeiten zeiten = Rahmenzeiten_von(cmd, table);
    const std::int64_t pause = std::max<std::int64_t>(zeiten.schlusspause, Sende_Mindestpause_us);
    std::int32_t nochmal = Sende_Wiederholungen;
    std::optional<std::int64_t> sauberes_ende; // of the last clean transmission
    bool sauber = true;
    for (std::int32_t rep = 0; rep < cmd[0]; ++rep) {
        std::optional<std::int64_t> spaetestens;
        if (sauberes_ende && zeiten.periode > 0)
            spaetestens = *sauberes_ende + us_nach_Zaehler(zeiten.periode);
        const Sendung s = Rahmen_senden(cmd, table, spaetestens);
        if (s == Sendung::Sauber) {
            if (!sauberes_ende) Sendebeginn = Sendestart;
            sauberes_ende = Sendestart + us_nach_Zaehler(zeiten.periode - zeiten.schlusspause);
            continue;
        }
        if (s == Sendung::Zu_spaet || nochmal-- == 0) {
            sauber = false;
            break;
        }
        Sendestart = Zaehlerstand();
        Warte_bis(sauberes_ende ? Sende_Mindestpause_us : pause);
        --rep;
    }

    Warte_ms(100);
    if (Dbg_disp::Debug_An && Sendebeginn != 0)
        Debug_WriteLn("IR_Senden : erste saubere Sendung " +
                      std::to_string((Sendebeginn - aufruf - Sende_Vorlauf()) * 1000000 /
                                     Zaehlerfrequenz()) +
                      " us nach Plan, " + std::to_string(Sende_Wiederholungen - nochmal) +
                      " wiederholt");
    if (Sende_Timeout) Debug_WriteLn("** send_timeout **");
    if (!sauber) Debug_WriteLn(Sende_Abbruch_Text);
    Debug_Write(" IRX ");
    return sauber && !Sende_Timeout ? 1 : 0;
}

} // namespace Sio
