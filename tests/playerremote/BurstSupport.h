#pragma once
// Synthetic IR bursts as the receiver's port delivers them: each character a
// batch of its own at the character time, frames apart by a longer gap; and a
// host that records what the evaluation shows and does.

#include "playerremote/Recognition.h"

#include <cstdint>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

namespace burst {

constexpr std::int64_t kZeichen = 7159; // about 6 ms per character
constexpr std::int64_t kFrame = 53693;  // about 45 ms between frames
constexpr std::int64_t kTick = 298296;  // 250 ms timer period

struct Batch {
    std::int64_t stamp;
    std::vector<std::uint8_t> bytes;
};

using Frame = std::vector<std::uint8_t>;

inline std::vector<Batch> frames(std::int64_t start, const std::vector<Frame>& fs,
                                 std::int64_t zeichen = kZeichen, std::int64_t frame = kFrame) {
    std::vector<Batch> out;
    std::int64_t t = start;
    for (std::size_t f = 0; f < fs.size(); ++f) {
        if (f > 0) t += frame;
        for (std::size_t i = 0; i < fs[f].size(); ++i) {
            if (i > 0) t += zeichen;
            out.push_back({t, {fs[f][i]}});
        }
    }
    return out;
}

inline std::vector<Frame> wiederholt(const Frame& f, int n) {
    return std::vector<Frame>(static_cast<std::size_t>(n), f);
}

struct RecordingHost : pmp3p::RemoteHost {
    bool anzeigeAn = true;
    bool lernen = false;
    bool shutdownErlaubt = true;
    bool shutdownGelingt = true;
    std::vector<std::string> memo1, memo2, meldungen;
    std::vector<std::int32_t> klicks;
    std::vector<std::string> ablauf; // beeps, player end, timers, shutdown, close in order
    pmp3p::Countdown countdown;
    bool timer1 = false;
    std::int32_t label1 = 0;

    bool anzeige() const override { return anzeigeAn; }
    bool lernmodus() const override { return lernen; }
    bool shutdownPerStop() const override { return shutdownErlaubt; }
    void zeigeAuswertungen(std::int32_t n) override { label1 = n; }
    void memo1Leeren() override { memo1.clear(); }
    void memo1Zeile(const std::string& l) override { memo1.push_back(l); }
    void memo2Leeren() override { memo2.clear(); }
    void memo2Zeile(const std::string& l) override { memo2.push_back(l); }
    void countdownZeigen(const pmp3p::Countdown& c) override { countdown = c; }
    void timer1Aus() override { timer1 = false; }
    void knopfKlick(pmp3p::Befehl b) override { klicks.push_back(static_cast<std::int32_t>(b)); }
    void meldung(const std::string& t) override { meldungen.push_back(t); }
    void beep() override { ablauf.push_back("beep"); }
    void playerBeenden() override { ablauf.push_back("player end"); }
    void timer2An() override { ablauf.push_back("timer2"); }
    bool herunterfahren(std::int32_t& code) override {
        ablauf.push_back("shutdown");
        code = 5;
        return shutdownGelingt;
    }
    void fensterSchliessen() override { ablauf.push_back("close"); }
};

// Feeds batches in time order as the window does: the first batch of a burst
// switches the 250 ms timer on, ticks come every kTick while it is on, and
// the tick that finds the burst ended switches it off. `next` is the time of
// the next tick.
inline void abspielen(pmp3p::Erkennung& e, RecordingHost& host, const std::vector<Batch>& bs,
                      std::int64_t& next) {
    for (const Batch& b : bs) {
        while (host.timer1 && next <= b.stamp) {
            e.tick(next, host);
            next += kTick;
        }
        if (!host.timer1) {
            host.timer1 = true;
            next = b.stamp + kTick;
        }
        e.empfange(b.stamp, b.bytes.data(), static_cast<int>(b.bytes.size()));
    }
    for (int guard = 0; host.timer1 && guard < 100; ++guard) {
        e.tick(next, host);
        next += kTick;
    }
}

// Counts the opens and the atomic replacements of the files of one folder.
class FileWatch {
public:
    explicit FileWatch(const std::string& folder) {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0) ::inotify_add_watch(fd_, folder.c_str(), IN_OPEN | IN_MOVED_TO);
    }
    ~FileWatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    struct Counts {
        int opens = 0;
        int writes = 0;
    };
    // What happened to the file `name` since the last call.
    Counts take(const std::string& name) {
        Counts c;
        alignas(inotify_event) char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                if (e->len > 0 && name == e->name) {
                    if (e->mask & IN_OPEN) ++c.opens;
                    if (e->mask & IN_MOVED_TO) ++c.writes;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        return c;
    }

private:
    int fd_ = -1;
};

} // namespace burst
