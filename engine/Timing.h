#pragma once
// Timing calibration: measures the turns of the delay loop per millisecond
// (Drehg_mSec) and the port reads per second (Anfragen_Sec) against the one
// clock the UART gives for free, the character time of 9600 baud (1/960 s).

#include "engine/Sio.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Sio {

// A measuring pass found no character time above its threshold (typically
// another program holds the port). Ends the calibration; the rates keep their
// previous values.
class ECalibrationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One measuring pass: 1021 characters of 0xFF back to back, each followed by
// Warteschleife(delay). Throws ECalibrationError when no character time lay
// above the threshold.
void Zeichenzeit_messen(std::int32_t delay, std::int32_t& readsPerSecond, std::int32_t& count);
// Loop turns per millisecond from the reads per second without (a) and with
// (b) a delay of c turns after each character.
std::int32_t Drehzahl_aus_Messung(std::int32_t a, std::int32_t b, std::int32_t c);
// Bounds of a plausible calibration: the slowest pass at most this much
// slower than the fastest, and the result between these shares of the delay
// loop's own rate timed against the performance counter (the fastest of a few
// short runs just before and just after the passes). A sound run on a loaded
// machine, whose loop speeds up and slows down by a factor of two, stays
// within them; a run whose passes went wrong (a pass that the machine's other
// work spoilt sets the next pass's delay to a few turns, and every later pass
// measures nothing) lies far outside.
inline constexpr std::int32_t Max_Streuung_Prozent = 70;
inline constexpr std::int32_t Min_Anteil_Prozent = 25;
inline constexpr std::int32_t Max_Anteil_Prozent = 300;

// The delay loop's own turns per millisecond against the performance
// counter: the fastest of a few runs of at least 2 ms each (another process
// can only slow a run down); 0 when the counter does not move.
std::int64_t Schleifenrate();
// For a PC whose rates were never measured: Drehg_mSec := the loop's own rate,
// so that a wait lasts what it says (kept when the counter does not move).
// Returns the rate in force.
std::int32_t Drehzahl_der_Schleife_uebernehmen();

// The rates a calibration arrived at, whether or not they were taken over.
struct Messergebnis {
    std::int32_t Drehg_mSec = 0;
    std::int32_t Anfragen_Sec = 0;
};

// The whole calibration; sets Drehg_mSec and Anfragen_Sec at its end. Returns
// the index of the last pass, 0 when a warning was set, -1 when the
// transmitter was not empty, -2 when the result is implausible (see above) or
// its loop rate is not positive: no measurement, both rates stay as they were.
// `gemessen` receives the rates the run arrived at; the rates in force when it
// got no result.
std::int32_t Bestimme_Drehzahl(std::int32_t& passes, std::int32_t& deviation, std::int32_t& quota,
                               std::string& error, Messergebnis& gemessen);
std::int32_t Bestimme_Drehzahl(std::int32_t& passes, std::int32_t& deviation, std::int32_t& quota,
                               std::string& error);

} // namespace Sio
