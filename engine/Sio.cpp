#include "engine/Sio.h"

#include "engine/ControlL.h"
#include "engine/EditLine.h"
#include "engine/IrAnalyse.h"
#include "engine/IrCapture.h"
#include "engine/IrLernen.h"
#include "engine/IrSend.h"
#include "engine/Panasonic.h"
#include "engine/WavExport.h"
#include "platform/Platform.h"

namespace Sio {

namespace {

// Back to the value the variable is defined with: zero, false or empty.
template <class T> void leeren(T& x) {
    x = T{};
}
// An array entry by entry, without a temporary of its size.
template <class T, std::size_t N> void leeren(std::array<T, N>& a) {
    a.fill(T{});
}
template <class... T> void alle_leeren(T&... x) {
    (leeren(x), ...);
}

// The edit-line state that SIO_Init resets.
void Schnittleitungen_zuruecksetzen() {
    alle_leeren(Sony_Schwelle, Pana_Bilder_gesehen, Pana_Laufzeit, Pana_CTS, Leitungskanal);
    Sony_Sekunden_bei_Bildern = -1;
}

} // namespace

void Modulzustand_zuruecksetzen() {
    // Sio.h
    alle_leeren(Com_Nr, Drehg_mSec, Anfragen_Sec, MessSchranke, Abfallzeit_IR_Detektor, IR_Methode,
                Sony1, Sony2, Halbbilder_pro_Sekunde, IR_Einheit, IR_Aufloesung, Debug_Statistik,
                Port_Daten, Port_MCR, Port_LSR, Port_MSR, Sende_Timeout, CTS_Zustand, DSR_Zustand,
                RX_Zustand, IR_Messwerte);
    Schnittleitungen_zuruecksetzen();
    // ControlL.h
    alle_leeren(Sony_Bytes, Sony_Abfragen, Sony_Status, Sony_Statustext, Sony_Position,
                Sony_Kanal_Position, CTL_Verzoegerung, Sony_Sekundenzaehler, Sony_Zeit_bei_Bildern,
                Sony_Zeit_bei_Sekunden, Sony_Letzter_Rahmen);
    // Panasonic.h
    alle_leeren(Pana_Mittel, Pana_Schwelle, Pana_Bytes, Pana_Status, Pana_Statustext, Pana_Position,
                Pana_Kanal_Position, Pana_Letzter_Rahmen, Pana_Stundenrahmen);
    // EditLine.h
    alle_leeren(Lesewache, Kanal_Lesestand);
    // IrAnalyse.h
    alle_leeren(kuerzester_Impuls, laengster_Impuls, kuerzeste_Pause, laengste_Pause,
                Anzahl_Befehlspausen, Anzahl_Wiederholungen, Last_correct_Bit, AN_Bit_Zeit,
                AUS_Bit_Zeit, Single_Laenge, Basisbefehle);
    // IrCapture.h, IrLernen.h, IrSend.h, WavExport.h
    alle_leeren(IR_Fehlertext, IR_Burstende, IR_Traegerzyklen, Bit_Einheit, Sendestart,
                WAV_Dateiname);
}

std::int32_t SIO_Init() {
    Debug_WriteLn("*** SIO_Init ***  ");
    Com_Nr = 1;
    Drehg_mSec = 95000;
    Anfragen_Sec = 700000;
    MessSchranke = 10;
    Abfallzeit_IR_Detektor = 80;
    IR_Methode = 2;
    Sony1 = 0;
    Sony2 = 0;
    Halbbilder_pro_Sekunde = 50;
    IR_Einheit = 0;
    IR_Aufloesung = 0;
    Schnittleitungen_zuruecksetzen();
    return 1;
}

std::int32_t Setze_IR_Einheit(std::int32_t n) {
    IR_Einheit = n;
    return 1;
}

std::int32_t Setze_IR_Aufloesung(std::int32_t n) {
    IR_Aufloesung = n;
    return 1;
}

// Obtains the right of port access for the current COM port (the opener that
// the program installed decides between direct access and the simulated
// adapter); reports nothing, as a missing driver is no error.
std::int32_t GiveIO_Oeffnen() {
    try {
        platform::openPortAccess(Com_Nr >= 1 && Com_Nr <= 16 ? Port_Basis() : 0x3F8);
    } catch (...) {
    }
    return 1;
}

// Address 0 is never a UART register: before the first UART_Setup the stored
// addresses are 0, and nothing may reach the bus then.
std::uint8_t Port_Lesen(std::uint16_t port) {
    if (port == 0) return 0;
    return platform::ports().in(port);
}

void Port_Schreiben(std::uint16_t port, std::uint8_t value) {
    if (port == 0) return;
    platform::ports().out(port, value);
}

std::uint16_t Port_Basis() {
    static constexpr std::uint16_t basis[17] = {0,     0x3F8, 0x2F8, 0x3E8, 0x2E8, 0x2F0,
                                                0x3E0, 0x2E0, 0x260, 0x3F8, 0x3F8, 0x3F8,
                                                0x3F8, 0x3F8, 0x3F8, 0x3F8, 0x3F8};
    if (Com_Nr < 1 || Com_Nr > 16)
        throw ERangeError("Bereichsfehler: Com_Nr " + std::to_string(Com_Nr));
    return basis[Com_Nr];
}

void UART_Setup(std::uint16_t baud, std::uint16_t line) {
    const std::uint16_t base = Port_Basis();
    Port_MSR = base + 6;
    Port_Daten = base;
    Port_LSR = base + 5;
    Port_MCR = base + 4;
    std::uint8_t divisor = 12;
    switch (baud) {
    case 115:
        divisor = 1;
        break;
    case 57600:
        divisor = 2;
        break;
    case 38400:
        divisor = 3;
        break;
    case 19200:
        divisor = 6;
        break;
    case 9600:
        divisor = 12;
        break;
    case 4800:
        divisor = 24;
        break;
    case 2400:
        divisor = 48;
        break;
    case 1200:
        divisor = 96;
        break;
    case 600:
        divisor = 192;
        break;
    default:
        divisor = 12;
        break;
    }
    const auto lcr = static_cast<std::uint8_t>(line);
    Port_Schreiben(Port_Basis() + 3, lcr | 0x80);
    Port_Schreiben(Port_Basis() + 0, divisor);
    Port_Schreiben(Port_Basis() + 1, 0);
    Port_Schreiben(Port_Basis() + 3, lcr);
    Port_Schreiben(Port_Basis() + 1, 0);
    Port_Schreiben(Port_Basis() + 2, 0);
}

void UART_Init_9600() {
    UART_Setup(9600, 3);
}

void Setze_DTR_RTS(bool rts, bool dtr) {
    if (!Register_gesetzt()) return;
    Port_Schreiben(Port_MCR, static_cast<std::uint8_t>((rts ? 2 : 0) + (dtr ? 1 : 0)));
}

std::int32_t Kanal_Einschwingzeit_ms(std::int32_t n) {
    return (n & 3) == 3 ? 20 : 0;
}

std::int32_t Waehle_Kanal(std::int32_t n) {
    const auto c = static_cast<std::uint8_t>(n & 3);
    if (Register_gesetzt()) Port_Schreiben(Port_MCR, c);
    if (const std::int32_t ms = Kanal_Einschwingzeit_ms(n); ms > 0) Warte_ms(ms);
    return 1;
}

std::uint8_t Warte_Sender_leer() {
    if (!Register_gesetzt()) return LSR_THRE | LSR_TEMT; // no transmitter set up to wait for
    std::int32_t count = 0;
    for (;;) {
        const std::uint8_t lsr = Port_Lesen(Port_LSR);
        if (lsr & LSR_THRE) return lsr;
        if (Sende_Timeout) return 0;
        if (++count > 20000) Sende_Timeout = true;
    }
}

void Lies_Leitungen(bool& cts, bool& dsr, bool& rx) {
    cts = dsr = rx = false;
    if (!Register_gesetzt()) return;
    const std::uint8_t m = Port_Lesen(Port_MSR);
    cts = (m & MSR_CTS) != 0;
    dsr = (m & MSR_DSR) != 0;
    if (m & MSR_DCTS) {
        CTS_Zustand = !CTS_Zustand;
        cts = CTS_Zustand;
    }
    if (m & MSR_DDSR) {
        DSR_Zustand = !DSR_Zustand;
        dsr = DSR_Zustand;
    }
    if (Port_Lesen(Port_LSR) & LSR_DR) {
        (void)Port_Lesen(Port_Daten);
        RX_Zustand = !RX_Zustand;
        rx = RX_Zustand;
    }
}

bool Lies_DSR() {
    bool cts = false, dsr = false, rx = false;
    Lies_Leitungen(cts, dsr, rx);
    return dsr;
}

void Warteschleife(std::int32_t n) {
    if (n > 0) platform::clock().spin(n);
}

void Warte_ms(std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        Warteschleife(Drehg_mSec); // read anew each millisecond
}

std::int64_t Zaehlerstand() {
    return platform::clock().performanceCounter();
}
std::int64_t Zaehlerfrequenz() {
    return platform::clock().performanceFrequency();
}

std::int64_t Ticks_nach_us(std::int64_t ticks) {
    const double f = static_cast<double>(Zaehlerfrequenz());
    return Runden(static_cast<double>(ticks) * 1000000.0 / f);
}

} // namespace Sio
