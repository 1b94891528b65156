#pragma once
// A scripted serial device for what pseudo-terminals cannot show: modem-line
// changes, line errors, breaks, and a failure of any call with any code. It
// records every call and the settings it was given. Reads return what is
// queued at once, whatever the timeouts (time-outs are the pty tests' part).

#include "platform/SerialDevice.h"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class ScriptedSerialDevice final : public SerialDevice {
public:
    enum class Call {
        Open,
        SetupQueues,
        SetState,
        SetTimeouts,
        SetEventMask,
        Wait,       // the wait itself fails: the event loop ends
        WaitResult, // one batch cannot be fetched: the loop waits again
        Read,
        Purge,
        ClearError,
        ModemStatus,
    };

    // An opener that hands out this device for any path (and records it).
    static SerialOpener openerFor(std::shared_ptr<ScriptedSerialDevice> device);

    // ---- scripting (any thread) ----
    void failNext(Call call, int code); // the next call of that kind fails once
    void failAlways(Call call, int code);
    void clearFailures();
    void receive(const std::string& bytes);
    // Bytes and line errors arriving together: one batch of EV_RXCHAR and EV_ERR.
    void receive(const std::string& bytes, std::uint32_t ceBits);
    void setModemStatus(std::uint32_t status); // MS_* bits; raises the matching events
    void lineErrors(std::uint32_t ceBits);     // CE_* bits; raises EV_ERR
    void lineBreak();                          // CE_BREAK and EV_BREAK
    void raise(std::uint32_t events);          // any batch, filtered by the mask
    void hangUp();                             // waits fail, reads fail once drained

    // ---- what the device was told ----
    std::vector<std::string> calls() const;
    void clearCalls();
    std::string openedPath() const;
    DeviceControlBlock state() const;
    CommTimeouts timeouts() const;
    std::uint32_t inQueueSize() const;
    std::uint32_t outQueueSize() const;
    std::uint32_t eventMask() const;
    std::size_t queued() const;
    // Batches the waits have taken, failed ones included.
    int batches() const;

    // ---- SerialDevice ----
    int setupQueues(std::uint32_t inSize, std::uint32_t outSize) override;
    int setState(const DeviceControlBlock& dcb) override;
    int setTimeouts(const CommTimeouts& timeouts) override;
    int setEventMask(std::uint32_t mask) override;
    WaitStatus waitEvent(std::uint32_t& events, const WakeEvent& stop) override;
    int read(void* buffer, std::uint32_t count, std::uint32_t& got, WakeEvent& abort) override;
    int purge(std::uint32_t flags) override;
    int clearError(std::uint32_t& errors, std::uint32_t& inQueue) override;
    int modemStatus(std::uint32_t& status) override;

private:
    int failure(Call call); // with mutex_ held; 0 when the call succeeds
    void log(std::string entry);
    void post(std::uint32_t events); // with mutex_ held

    mutable std::mutex mutex_;
    WakeEvent wake_;
    std::map<Call, int> once_;
    std::map<Call, int> always_;
    std::vector<std::string> calls_;
    std::string path_;
    DeviceControlBlock dcb_{};
    CommTimeouts timeouts_{};
    std::uint32_t inSize_ = 0, outSize_ = 0;
    std::uint32_t mask_ = 0;
    std::uint32_t pending_ = 0;
    std::uint32_t errors_ = 0;
    std::uint32_t modem_ = 0;
    std::deque<unsigned char> rx_;
    bool hungUp_ = false;
    int batches_ = 0;
};

} // namespace platform
