// Remotes whose signal shapes stress a learn, rendered from their protocols'
// nominal timings.
#include "sim/IrRemote.h"

#include <algorithm>

namespace sim::remotes {

namespace {

using Frame = std::vector<std::int32_t>;

// Pulse-distance bits: a pulse, then a pause that tells the bit.
void bits(Frame& f, std::uint32_t value, int count, bool lsbFirst, std::int32_t pulse,
          std::int32_t pause0, std::int32_t pause1) {
    for (int k = 0; k < count; ++k) {
        const int bit = lsbFirst ? k : count - 1 - k;
        f.push_back(pulse);
        f.push_back((value >> bit) & 1 ? pause1 : pause0);
    }
}

// A press of a normal and a complemented frame (Sharp, Denon): the second
// frame is sent as the repeat code.
IrEmission pair(Frame normal, Frame complemented, std::int64_t periodUs, double carrierHz) {
    IrEmission e = fromFrame(std::move(normal), 2, periodUs, carrierHz);
    e.repeatCode = std::move(complemented);
    return e;
}

Frame sharpFrame(std::uint8_t address, std::uint8_t command, bool inverted) {
    const std::uint32_t cmd = inverted ? static_cast<std::uint8_t>(~command) : command;
    const std::uint32_t word =
        (address & 0x1Fu) | (cmd << 5) | (inverted ? 0u : 1u) << 13 | (inverted ? 1u : 0u) << 14;
    Frame f;
    bits(f, word, 15, true, 320, 680, 1680);
    f.push_back(320);
    return f;
}

Frame denonFrame(std::uint8_t address, std::uint8_t command, bool inverted) {
    const std::uint32_t cmd = inverted ? static_cast<std::uint8_t>(~command) : command;
    const std::uint32_t word = (address & 0x1Fu) | (cmd << 5) | (inverted ? 3u : 0u) << 13;
    Frame f;
    bits(f, word, 15, true, 275, 775, 1900);
    f.push_back(275);
    return f;
}

} // namespace

IrEmission sharp(std::uint8_t address, std::uint8_t command) {
    return pair(sharpFrame(address, command, false), sharpFrame(address, command, true), 40000,
                38000.0);
}

IrEmission denon(std::uint8_t address, std::uint8_t command) {
    return pair(denonFrame(address, command, false), denonFrame(address, command, true), 65000,
                38000.0);
}

IrEmission recs80(bool toggle, std::uint8_t address, std::uint8_t command, int frames) {
    const std::uint32_t word =
        1u << 10 | (toggle ? 1u : 0u) << 9 | (address & 0x7u) << 6 | (command & 0x3Fu);
    Frame f;
    bits(f, word, 11, false, 158, 5060 - 158, 7590 - 158);
    f.push_back(158);
    return fromFrame(std::move(f), frames, 121500, 38000.0);
}

IrEmission samsung36(std::uint16_t address, std::uint8_t command, int frames) {
    Frame f{4500, 4500};
    bits(f, address, 16, true, 560, 560, 1690);
    f.push_back(560);
    f.push_back(4500);
    const std::uint32_t rest = static_cast<std::uint32_t>(command) << 4 |
                               static_cast<std::uint32_t>(~command & 0xFF) << 12;
    bits(f, rest, 20, true, 560, 560, 1690);
    f.push_back(560);
    return fromFrame(std::move(f), frames, 108000, 38000.0);
}

IrEmission nokia32(std::uint32_t code, int frames) {
    static constexpr std::int32_t pauses[4] = {276, 445, 614, 783};
    Frame f{412, 276};
    for (int k = 15; k >= 0; --k) {
        f.push_back(164);
        f.push_back(pauses[(code >> (2 * k)) & 3]);
    }
    f.push_back(164);
    return fromFrame(std::move(f), frames, 100000, 36000.0);
}

IrEmission jvc(std::uint8_t address, std::uint8_t command, int frames) {
    Frame body;
    bits(body, static_cast<std::uint32_t>(address) | static_cast<std::uint32_t>(command) << 8, 16,
         true, 526, 526, 1578);
    body.push_back(526);
    Frame first{8400, 4200};
    first.insert(first.end(), body.begin(), body.end());
    IrEmission e = fromFrame(std::move(first), frames, 55000, 38000.0);
    e.repeatCode = std::move(body);
    return e;
}

IrEmission necRepeat(std::uint8_t address, std::uint8_t command, int frames) {
    IrEmission e = nec(address, command, frames);
    e.repeatCode = {9000, 2250, 560};
    return e;
}

IrEmission rca(std::uint8_t address, std::uint8_t command, int frames) {
    const std::uint32_t word = (address & 0xFu) << 8 | command;
    Frame f{4000, 4000};
    bits(f, word, 12, false, 500, 1000, 2000);
    bits(f, ~word & 0xFFFu, 12, false, 500, 1000, 2000);
    f.push_back(500);
    return fromFrame(std::move(f), frames, 64000, 56000.0);
}

IrEmission mitsubishi(std::uint8_t address, std::uint8_t command, int frames) {
    Frame f;
    bits(f, static_cast<std::uint32_t>(address) << 8 | command, 16, false, 300, 650, 1750);
    f.push_back(300);
    return fromFrame(std::move(f), frames, 53600, 33000.0);
}

IrEmission rc6(bool toggle, std::uint8_t address, std::uint8_t command, int frames) {
    std::vector<bool> halves;
    halves.insert(halves.end(), 6, true);
    halves.insert(halves.end(), 2, false);
    auto bit = [&](bool one, int width) {
        halves.insert(halves.end(), static_cast<std::size_t>(width), one);
        halves.insert(halves.end(), static_cast<std::size_t>(width), !one);
    };
    bit(true, 1); // start bit
    for (int k = 0; k < 3; ++k)
        bit(false, 1); // mode 0
    bit(toggle, 2);
    for (int k = 7; k >= 0; --k)
        bit((address >> k) & 1, 1);
    for (int k = 7; k >= 0; --k)
        bit((command >> k) & 1, 1);
    return fromFrame(halvesToDurations(halves, 444), frames, 106700, 36000.0);
}

IrEmission receiverDistorted(IrEmission e, std::int32_t extraUs) {
    auto distort = [extraUs](std::vector<std::int32_t>& d, std::size_t first) {
        for (std::size_t i = first; i < d.size() && d[i] != 0; ++i) {
            const bool pulse = (i - first) % 2 == 0;
            d[i] = std::max(d[i] + (pulse ? extraUs : -extraUs), 1);
        }
    };
    distort(e.befehl, 1);
    distort(e.repeatCode, 0);
    return e;
}

} // namespace sim::remotes
