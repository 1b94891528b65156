#pragma once
// The signal engine: plain routines over module state that drive the adapter
// through the UART registers of one serial port. Everything runs on the GUI
// thread; every register access passes through Port_Lesen/Port_Schreiben.

#include "engine/Debug.h"
#include "platform/Errors.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

namespace Sio {

using Dbg_disp::Debug_Write;
using Dbg_disp::Debug_WriteLn;

// One command: [0] repeat count (macro: pause in ms), from [1] durations in µs,
// alternately carrier on and off (macro: key numbers); the first 0 ends it.
using TBefehl = std::array<std::int32_t, 801>;

struct TIR_Knopf {
    TBefehl Befehl{};
    std::string Name;     // code text (Windows-1252)
    std::int32_t Typ = 0; // 0 IR command, 1 macro, 2 analytic
};

// ---- module state; zero until SIO_Init ----
// This header and the other headers of the engine hold it; every variable of
// it is listed in Modulzustand_zuruecksetzen (Sio.cpp).
inline std::int32_t Com_Nr = 0;
inline std::int32_t Drehg_mSec = 0;
inline std::int32_t Anfragen_Sec = 0;
inline std::int32_t MessSchranke = 0;
inline std::int32_t Abfallzeit_IR_Detektor = 0;
inline std::int32_t IR_Methode = 0;
inline std::int32_t Sony1 = 0;
inline std::int32_t Sony2 = 0;
inline std::int32_t Halbbilder_pro_Sekunde = 0;
inline std::int32_t IR_Einheit = 0;
inline std::int32_t IR_Aufloesung = 0;
inline bool Debug_Statistik = false;

// Register addresses; 0 until the first UART_Setup.
inline std::uint16_t Port_Daten = 0;
inline std::uint16_t Port_MCR = 0;
inline std::uint16_t Port_LSR = 0;
inline std::uint16_t Port_MSR = 0;

inline bool Sende_Timeout = false;
inline bool CTS_Zustand = false;
inline bool DSR_Zustand = false;
inline bool RX_Zustand = false;

// Edit-line state that SIO_Init resets (used by the Control-L and Panasonic lines).
inline std::int32_t Sony_Schwelle = 0;
// Seconds of Sony_Position (hours, minutes and seconds) when its frames were
// last set; -1 when unknown. A frame count that wraps with no change of the
// second since then moves the second on.
inline std::int32_t Sony_Sekunden_bei_Bildern = -1;
inline bool Pana_Bilder_gesehen = false;
// The edit-line channel (1 to 3) whose frames are being decoded; 0 when not
// known. Each line keeps a position per channel beside its shared one.
inline std::int32_t Leitungskanal = 0;
inline std::array<std::int32_t, 451> Pana_Laufzeit{};
inline std::array<std::int32_t, 451> Pana_CTS{};

// The capture array: performance-counter stamps, then durations in µs; also the
// scratch of calibration and IR send. Never used by two operations at a time.
inline std::array<std::int64_t, 100001> IR_Messwerte{};

// UART register bits.
inline constexpr std::uint8_t LSR_DR = 0x01;
inline constexpr std::uint8_t LSR_THRE = 0x20;
inline constexpr std::uint8_t LSR_TEMT = 0x40;
inline constexpr std::uint8_t MSR_DCTS = 0x01;
inline constexpr std::uint8_t MSR_DDSR = 0x02;
inline constexpr std::uint8_t MSR_CTS = 0x10;
inline constexpr std::uint8_t MSR_DSR = 0x20;

// Nearest integer, halves to the even neighbour.
inline std::int64_t Runden(double x) {
    return static_cast<std::int64_t>(std::nearbyint(x));
}

// A 64-bit intermediate clamped into int32 (for trace cells and stored values
// that must not wrap).
inline std::int32_t Auf_int32_begrenzt(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// Range-checked entry of the capture array.
inline std::int64_t& Messwert(std::int64_t i) {
    return tabelle(IR_Messwerte, i, "IR_Messwerte");
}

// ---- engine state and UART access ----
std::int32_t SIO_Init();
// Puts the whole module state back to its value at program start, before
// SIO_Init: zero, false or empty (Sony_Sekunden_bei_Bildern -1), the register
// addresses unset, the line latches and Debug_Statistik included.
void Modulzustand_zuruecksetzen();
std::int32_t Setze_IR_Einheit(std::int32_t n);
std::int32_t Setze_IR_Aufloesung(std::int32_t n);
std::int32_t GiveIO_Oeffnen();
std::uint8_t Port_Lesen(std::uint16_t port);
void Port_Schreiben(std::uint16_t port, std::uint8_t value);
std::uint16_t Port_Basis();
void UART_Setup(std::uint16_t baud, std::uint16_t line);
void UART_Init_9600();
void Setze_DTR_RTS(bool rts, bool dtr);
std::int32_t Waehle_Kanal(std::int32_t n);
// How long Waehle_Kanal lets channel n settle after choosing it (ms).
std::int32_t Kanal_Einschwingzeit_ms(std::int32_t n);
// Returns the last line status read (0 when it gave up; THRE and TEMT when no
// transmitter is set up to wait for).
std::uint8_t Warte_Sender_leer();
void Lies_Leitungen(bool& cts, bool& dsr, bool& rx);
bool Lies_DSR();
// True once UART_Setup has given the register addresses; before that no
// operation touches a port.
inline bool Register_gesetzt() {
    return Port_MCR != 0;
}

// ---- busy-wait delay and time units ----
void Warteschleife(std::int32_t n);
void Warte_ms(std::int32_t n);
std::int64_t Ticks_nach_us(std::int64_t ticks);
// QueryPerformanceCounter / QueryPerformanceFrequency.
std::int64_t Zaehlerstand();
std::int64_t Zaehlerfrequenz();

} // namespace Sio
