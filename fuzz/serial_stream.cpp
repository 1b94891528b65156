// The serial stream into Plomvare's burst recognition: batches of any bytes at
// any times, with learning and recognition, never leave the tables.
#include "FuzzSupport.h"
#include "playerremote/Recognition.h"
#include "tests/playerremote/BurstSupport.h"

#include <vector>

// Input: records of [control byte][n bytes]: the control byte's low bits give
// the gap to the previous batch, its top bit learns the current candidate.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pmp3p::Erkennung e;
    burst::RecordingHost host;
    using burst::kTick;
    std::int64_t now = 1000000, next = now + kTick;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t ctl = data[i++];
        const int n = std::min<int>(1 + (ctl & 0x07), static_cast<int>(size - i));
        now += static_cast<std::int64_t>(ctl & 0x38) * 2000 + 7159;
        while (host.timer1 && next <= now) {
            e.tick(next, host);
            next += kTick;
        }
        if (!host.timer1) {
            host.timer1 = true;
            next = now + kTick;
        }
        if (n > 0) e.empfange(now, data + i, n);
        i += static_cast<std::size_t>(n);
        if (ctl & 0x80) {
            host.lernen = !host.lernen;
            if (!host.lernen) (void)e.lerne(static_cast<pmp3p::Befehl>(1 + ctl % 9), "Knopf");
        }
    }
    for (int t = 0; t < 4 && host.timer1; ++t) {
        e.tick(next, host);
        next += kTick;
    }
    for (const auto& f : e.Faecher)
        fuzz::check(f[0] >= 0 && f[0] <= 100, "slot length");
    for (const std::int32_t b : host.klicks)
        fuzz::check(b >= 1 && b <= 9, "command number");
    return 0;
}
