// The serial stream into Plomvare's burst recognition: batches of any bytes at
// any times, with learning and recognition, never leave the tables.
#include "FuzzSupport.h"
#include "playerremote/Recognition.h"

#include <vector>

namespace {

struct Host : pmp3p::RemoteHost {
    bool lernen = false;
    bool timer1 = false;
    bool anzeige() const override { return true; }
    bool lernmodus() const override { return lernen; }
    bool shutdownPerStop() const override { return true; }
    void zeigeAuswertungen(std::int32_t) override {}
    void memo1Leeren() override {}
    void memo1Zeile(const std::string&) override {}
    void memo2Leeren() override {}
    void memo2Zeile(const std::string&) override {}
    void countdownZeigen(const pmp3p::Countdown&) override {}
    void timer1Aus() override { timer1 = false; }
    void knopfKlick(std::int32_t b) override { fuzz::check(b >= 1 && b <= 9, "command number"); }
    void meldung(const std::string&) override {}
    void beep() override {}
    void playerBeenden() override {}
    void timer2An() override {}
    bool herunterfahren(std::int32_t& code) override {
        code = 5;
        return false;
    }
    void fensterSchliessen() override {}
};

} // namespace

// Input: records of [control byte][n bytes]: the control byte's low bits give
// the gap to the previous batch, its top bit learns the current candidate.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pmp3p::Erkennung e;
    Host host;
    constexpr std::int64_t kTick = 298296;
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
            if (!host.lernen) (void)e.lerne(1 + ctl % 9, "Knopf");
        }
    }
    for (int t = 0; t < 4 && host.timer1; ++t) {
        e.tick(next, host);
        next += kTick;
    }
    for (const auto& f : e.Faecher)
        fuzz::check(f[0] >= 0 && f[0] <= 100, "slot length");
    return 0;
}
