#pragma once
// The captured IR signal as an 8-bit mono WAV file for a sound editor: one
// sample per microsecond, high while the carrier was on.

#include <string>

namespace Sio {

// File name without ".wav"; when not empty a capture is exported at its end.
inline std::string WAV_Dateiname;

void WAV_Schreiben();

// The name of the file WAV_Schreiben writes: WAV_Dateiname with every
// character a file name cannot hold replaced, plus ".wav".
std::string WAV_Dateipfad();

} // namespace Sio
