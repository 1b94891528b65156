#pragma once
// Burst reception and recognition of Plomvare, without any GUI: the receive
// buffer that the port's event thread fills, the evaluation tick that the
// window's 250 ms timer runs, the learnt slots and the learn candidate. The
// window supplies what the tick shows and does through RemoteHost.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace pmp3p {

// One learnt burst: [0] the last index L (0 empty), [1] the pause threshold
// / 100, [2] the command 1 to 9, [3..L] the byte values.
using Befehl_Slot = std::array<std::int32_t, 101>;
constexpr int kFaecher = 30;
// Slots 1 to 30; index 0 is unused.
using TFaecher = std::array<Befehl_Slot, kFaecher + 1>;

constexpr int kPufferGroesse = 1500;
constexpr int kAnnahmeGrenze = 666;         // batches are taken only below this count
constexpr int kLeseGroesse = 2900;          // bytes read per batch
constexpr std::int64_t kBurstEnde = 333334; // counter ticks of silence
constexpr std::int64_t kStopFenster = 10000000;
constexpr int kVergleichsGrenze = 350;

// The player commands by their numbers, which slots and buttons carry; the
// names are those of Befehlsnamen.
enum class Befehl : std::int32_t {
    Back = 1,
    Play,
    Pause,
    Stop,
    Next,
    VolumeUp,
    VolumeDown,
    Forward5,
    Back5,
};

// "Back" .. "Back5" for the command numbers 1 to 9.
extern const std::array<const char*, 10> Befehlsnamen;

// The state the event thread and the GUI thread share. Every access takes the
// lock, so a batch's append and the tick's reset never interleave and the
// tick sees a count whose positions are filled.
class ReceiveBuffer {
public:
    struct Snapshot {
        std::int32_t count = 0;
        std::int64_t stamp = 0;
        // Positions 0 to count; position 0 holds 0.
        std::vector<std::uint8_t> bytes;
        std::vector<std::int64_t> gaps;
    };

    // Event thread: one batch stamped at `stamp`.
    void append(std::int64_t stamp, const std::uint8_t* data, int n);
    std::int64_t stamp() const;
    // Ends the burst when `now` is kBurstEnde or more after the latest batch;
    // checked and reset in one step, so a batch arriving meanwhile is kept.
    bool endIfSilent(std::int64_t now);
    // The same, giving what the ended burst held.
    bool endIfSilent(std::int64_t now, Snapshot& ended);
    Snapshot snapshot() const;
    std::int32_t count() const;

private:
    Snapshot snapshotLocked() const;

    mutable std::mutex mutex_;
    std::array<std::uint8_t, kPufferGroesse + 1> Zeichen_Puffer_{};
    std::array<std::int64_t, kPufferGroesse + 1> Pausen_Puffer_{};
    std::int32_t Zeichen_Anzahl_ = 0;
    std::int64_t Empfangs_Stempel_ = 0;
    std::int64_t Vorheriger_Stempel_ = 0;
};

// The Stop countdown: the label's Tag, caption and visibility.
struct Countdown {
    std::int32_t Tag = 0;
    std::string Caption = "Count_down_Zaehler";
    bool Visible = false;
};

// What the tick needs from the window. Texts are Windows-1252 bytes.
class RemoteHost {
public:
    virtual ~RemoteHost() = default;
    virtual bool anzeige() const = 0;
    virtual bool lernmodus() const = 0;
    virtual bool shutdownPerStop() const = 0;
    virtual void zeigeAuswertungen(std::int32_t n) = 0; // Label1
    virtual void memo1Leeren() = 0;
    virtual void memo1Zeile(const std::string& line) = 0;
    virtual void memo2Leeren() = 0;
    virtual void memo2Zeile(const std::string& line) = 0;
    virtual void countdownZeigen(const Countdown& c) = 0;
    virtual void timer1Aus() = 0;
    // Clicks the button of a command.
    virtual void knopfKlick(Befehl befehl) = 0;
    virtual void meldung(const std::string& text) = 0;
    virtual void beep() = 0;
    virtual void playerBeenden() = 0;
    virtual void timer2An() = 0;
    // Shuts the machine down; false with the error code when refused.
    virtual bool herunterfahren(std::int32_t& fehlercode) = 0;
    virtual void fensterSchliessen() = 0;
};

class Erkennung {
public:
    ReceiveBuffer Empfang;
    TFaecher Faecher{};
    Befehl_Slot Lern_Kandidat{};
    std::int64_t Alte_Anzahl = 0;
    std::int32_t Pausenschwelle = 20000;
    bool Bereit = true;
    std::int32_t Gefeuertes_Fach = 0;
    Befehl Letzter_Befehl{};
    std::int64_t Stop_Stempel = 0;
    std::int32_t Auswertungen = 0;
    std::int32_t Dump_Summe = 0;
    std::array<std::int32_t, kFaecher + 1> Treffer{};
    Countdown Count_down_Zaehler;

    // The receive handler's work for one batch (event thread).
    void empfange(std::int64_t stamp, const std::uint8_t* data, int n) {
        Empfang.append(stamp, data, n);
    }
    // One evaluation tick at counter value `now` (GUI thread). A table index
    // out of bounds ends the tick silently.
    void tick(std::int64_t now, RemoteHost& host);

    // Stores the candidate for the command `tag`; returns the message text.
    std::string lerne(Befehl tag, const std::string& caption);

    // Slot s (1 to 30), range-checked.
    Befehl_Slot& fach(long long s);

private:
    void tickSchritte(std::int64_t now, RemoteHost& host);
    // What a tick does with bytes no tick has seen yet.
    void neueZeichen(const ReceiveBuffer::Snapshot& snap, std::int64_t now, RemoteHost& host);
    void burstEnde(RemoteHost& host);
    // Counts a fired Stop; any other fired command resets the count.
    void stopZaehlen(std::int64_t now, RemoteHost& host);
    void auswerten(const ReceiveBuffer::Snapshot& snap, std::int64_t now, RemoteHost& host);
};

} // namespace pmp3p
