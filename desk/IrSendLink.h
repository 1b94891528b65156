#pragma once
// Where the desk hands a finished send buffer to the engine. Tests may put a
// recorder in between.

#include "engine/Sio.h"

#include <functional>
#include <string>

namespace desk {

using IrSender = std::function<std::int32_t(const Sio::TBefehl&)>;

std::int32_t sendIr(const Sio::TBefehl& befehl);
// Empty restores the engine's send.
void setIrSender(IrSender sender);

// The send buffer of an analytic key (buffer cleared first): the bits of
// `code` with a closing 0 digit, as alternating runs from carrier on, each bit
// a pulse length (analytisch[1]) long; the last run is the burst pause
// (analytisch[2]), the repeats are analytisch[0]. False when the last run has
// the carrier on, so that the pause stands in a pulse's place. A code with
// more runs than the buffer holds, or a run longer than a duration can say,
// throws ERangeError.
bool analytischerPuffer(const std::string& code, const Sio::TBefehl& analytisch,
                        Sio::TBefehl& puffer);

} // namespace desk
