#pragma once
// The simulated IR receiver for trying Plomvare without hardware: a
// pseudo-terminal stands in for the receiver's port, and a simulated remote
// sends each key as frames of characters at the receiver's character time,
// frame after frame while the key is held.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class SimReceiver {
public:
    static constexpr int kTasten = 12;
    static constexpr int kZeichenMs = 6; // one character at about 1667 Bd
    static constexpr int kFrameAbstandMs = 60;
    static constexpr int kMindestFrames = 2;

    // Throws std::runtime_error when no pseudo-terminal can be had.
    SimReceiver();
    ~SimReceiver();
    SimReceiver(const SimReceiver&) = delete;
    SimReceiver& operator=(const SimReceiver&) = delete;

    // The path the port opens.
    const std::string& portPath() const { return slavePath_; }

    // The characters one frame of key 1 to kTasten makes at the receiver.
    static std::vector<std::uint8_t> frame(int taste);

    // Key down: frames follow until release(), at least kMindestFrames.
    void press(int taste);
    void release();

private:
    void run();
    void writeByte(std::uint8_t b);

    int master_ = -1;
    int slaveKeeper_ = -1; // keeps the terminal alive between opens of the port
    std::string slavePath_;

    std::mutex mutex_;
    std::condition_variable cv_;
    int taste_ = 0;
    bool held_ = false;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace sim
