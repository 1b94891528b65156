#pragma once
// The tape transport of a simulated edit deck: a counter in units of 1/50 s
// that moves once per field by the speed of the current mode, and the way
// commands reach it (a reaction delay in fields, no tape). Both edit decks
// use it; each deck maps its own command codes and status bytes onto it.

#include <cstdint>
#include <functional>
#include <optional>

namespace sim {

class TapeTransport {
public:
    enum class Mode {
        Stop,
        Play,
        Pause,
        Record,
        RecordPause,
        Rewind,
        FastForward,
        CueForward,
        CueBack,
        StepBack,    // still, after one frame back
        StepForward, // still, after one frame forward
    };
    enum class Command {
        Play,
        Stop,
        Pause, // play <-> pause, record <-> record pause; nothing otherwise
        Rewind,
        FastForward,
        Record,
        StepBack,
        StepForward,
        ResetCounter,
        Off, // the deck goes to stand-by: the transport stops
        CueForward,
        CueBack,
    };
    struct Options {
        std::int32_t start = 0;      // counter at the start
        int reactionFields = 0;      // fields from acceptance to effect
        bool noTape = false;         // every command is refused
        std::int32_t windSpeed = 25; // units per field when winding
        std::int32_t cueSpeed = 5;   // units per field when cueing
        // The counter at the tape's beginning: winding or cueing back stops
        // there, and the transport with it. None by default.
        std::optional<std::int32_t> beginning;
    };

    TapeTransport() : TapeTransport(Options{}) {}
    explicit TapeTransport(Options o) : opt_(o), position_(o.start) {}

    // Hands a command over. False when it is refused: no tape, or a repeat
    // (see isRepeat). With no reaction delay it acts at once.
    bool request(Command c);
    // The same command is still waiting for its effect, or took effect in this
    // very field: a sender that has not yet seen the new status repeats it, and
    // a repeated pause must not toggle back.
    bool isRepeat(Command c) const;
    // One field passes: a due command acts, then the counter moves.
    void field();

    std::int32_t position() const { return position_; }
    Mode mode() const { return mode_; }
    bool hasTape() const { return !opt_.noTape; }
    std::optional<Command> pending() const {
        return pending_ ? std::optional<Command>(pendingCommand_) : std::nullopt;
    }
    std::int64_t fields() const { return field_; }
    // Units per field of the current mode.
    std::int32_t speed() const;

    Options& options() { return opt_; }
    // Told each change of mode as it happens (benchmarks time the decks by it).
    std::function<void(Mode)> onModeChanged;
    void setPosition(std::int32_t p) { position_ = p; }
    void setMode(Mode m) { mode_ = m; }

private:
    void apply(Command c);
    void applyMode(Command c);

    Options opt_;
    std::int32_t position_;
    Mode mode_ = Mode::Stop;
    std::int64_t field_ = 0;
    bool pending_ = false;
    Command pendingCommand_ = Command::Stop;
    std::int64_t due_ = 0;
    bool applied_ = false;
    Command lastApplied_ = Command::Stop;
    std::int64_t appliedField_ = 0;
};

// Counts how often a command arrived in a row, for decks that act on a command
// only after they received it in a given number of frames. A different command
// or a gap of more than a few fields starts the count anew.
class CommandCounter {
public:
    static constexpr int kMaxGapFields = 3;
    // True when this receipt makes the count reach `needed`.
    bool receive(int code, std::int64_t field, int needed);
    void reset() { count_ = 0; }

private:
    int code_ = -1;
    int count_ = 0;
    std::int64_t lastField_ = 0;
};

} // namespace sim
