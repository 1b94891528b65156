// An analytic key's code into the send buffer and on into the send table:
// the buffer says the code's bits back, and the frame on the line keeps each
// duration to the nearest carrier period.
#include "FuzzSupport.h"
#include "desk/IrSendLink.h"
#include "engine/IrSend.h"
#include "engine/SioText.h"
#include "platform/Errors.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

std::int32_t le32(const std::uint8_t* p) {
    std::uint32_t v = 0;
    std::memcpy(&v, p, 4);
    return static_cast<std::int32_t>(v);
}

} // namespace

// Input: repeats, pulse length and burst pause (4 bytes each, little-endian),
// then the code text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 12) return 0;
    auto analytisch = std::make_unique<Sio::TBefehl>();
    analytisch->fill(0);
    (*analytisch)[0] = le32(data);
    (*analytisch)[1] = le32(data + 4);
    (*analytisch)[2] = le32(data + 8);
    const std::string code(reinterpret_cast<const char*>(data) + 12, size - 12);
    const std::int32_t puls = (*analytisch)[1];

    auto puffer = std::make_unique<Sio::TBefehl>();
    bool gerade = false;
    try {
        gerade = desk::analytischerPuffer(code, *analytisch, *puffer);
    } catch (const ERangeError&) {
        return 0; // too many runs, or a run too long
    }
    fuzz::check((*puffer)[0] == (*analytisch)[0], "repeats");

    // The runs read back as the code's bits: whole bits each, from carrier
    // on, up to the last run, which the pause replaces; nothing after it.
    const std::string bits = Sio::Hex_nach_Bin(code + "0");
    const auto& p = *puffer;
    if (puls > 0 && (*analytisch)[2] != 0) {
        if (bits[0] == '0') {
            fuzz::check(p[1] == 0, "a code from a 0 bit sends nothing");
        } else {
            std::size_t letzter = p.size() - 1;
            while (p[letzter] == 0)
                --letzter;
            fuzz::check(p[letzter] == (*analytisch)[2], "the pause ends the buffer");
            std::string zurueck;
            for (std::size_t k = 1; k < letzter; ++k) {
                fuzz::check(p[k] > 0 && p[k] % puls == 0, "a run is whole bits");
                zurueck.append(static_cast<std::size_t>(p[k] / puls), k % 2 == 1 ? '1' : '0');
            }
            const char rest = letzter % 2 == 1 ? '1' : '0';
            fuzz::check(bits.size() > zurueck.size() && bits.compare(0, zurueck.size(), zurueck) == 0 &&
                            bits.find_first_not_of(rest, zurueck.size()) == std::string::npos,
                        "bits of the runs");
            fuzz::check(gerade == (letzter % 2 == 0), "a pause in a pulse's place is told");
        }
    }

    // The send table and the frame on the line.
    std::vector<std::int64_t> tabelle(puffer->size() + 2, 0);
    try {
        Sio::Sendetabelle_bauen(*puffer, tabelle);
    } catch (const ERangeError&) {
        return 0;
    }
    // 38.4 kHz: a period is 26.04 µs, a pulse is off by half of one at most;
    // each pause ends where the durations so far say, so nothing adds up.
    const std::vector<std::int64_t> rahmen = Sio::Gesendeter_Rahmen(p);
    std::int64_t soll = 0, ist = 0;
    for (std::size_t k = 0; k < rahmen.size(); ++k) {
        soll += p[k + 1];
        ist += rahmen[k];
        if (k % 2 == 0)
            fuzz::check(rahmen[k] - p[k + 1] <= 14 && p[k + 1] - rahmen[k] <= 14, "pulse length");
        else
            fuzz::check(ist == soll, "end of a pause");
    }
    return 0;
}
