#include "platform/ScriptedSerialDevice.h"

#include <poll.h>

namespace platform {

using namespace serial;

SerialOpener ScriptedSerialDevice::openerFor(std::shared_ptr<ScriptedSerialDevice> device) {
    return [device](const std::string& path, int& error) -> std::shared_ptr<SerialDevice> {
        std::lock_guard lock(device->mutex_);
        device->calls_.push_back("open " + path);
        error = device->failure(Call::Open);
        if (error) return nullptr;
        device->path_ = path;
        return device;
    };
}

int ScriptedSerialDevice::failure(Call call) {
    if (auto it = once_.find(call); it != once_.end()) {
        const int code = it->second;
        once_.erase(it);
        return code;
    }
    if (auto it = always_.find(call); it != always_.end()) return it->second;
    return 0;
}

void ScriptedSerialDevice::log(std::string entry) {
    calls_.push_back(std::move(entry));
}

void ScriptedSerialDevice::post(std::uint32_t events) {
    pending_ |= events & mask_;
    wake_.set();
}

void ScriptedSerialDevice::failNext(Call call, int code) {
    std::lock_guard lock(mutex_);
    once_[call] = code;
    wake_.set();
}

void ScriptedSerialDevice::failAlways(Call call, int code) {
    std::lock_guard lock(mutex_);
    always_[call] = code;
    wake_.set();
}

void ScriptedSerialDevice::clearFailures() {
    std::lock_guard lock(mutex_);
    once_.clear();
    always_.clear();
}

void ScriptedSerialDevice::receive(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    rx_.insert(rx_.end(), bytes.begin(), bytes.end());
    post(EV_RXCHAR);
}

void ScriptedSerialDevice::receive(const std::string& bytes, std::uint32_t ceBits) {
    std::lock_guard lock(mutex_);
    rx_.insert(rx_.end(), bytes.begin(), bytes.end());
    errors_ |= ceBits;
    post(EV_RXCHAR | EV_ERR);
}

void ScriptedSerialDevice::setModemStatus(std::uint32_t status) {
    std::lock_guard lock(mutex_);
    const std::uint32_t changed = status ^ modem_;
    std::uint32_t ev = 0;
    if (changed & MS_CTS_ON) ev |= EV_CTS;
    if (changed & MS_DSR_ON) ev |= EV_DSR;
    if (changed & MS_RLSD_ON) ev |= EV_RLSD;
    if ((changed & MS_RING_ON) && (status & MS_RING_ON)) ev |= EV_RING;
    modem_ = status;
    post(ev);
}

void ScriptedSerialDevice::lineErrors(std::uint32_t ceBits) {
    std::lock_guard lock(mutex_);
    errors_ |= ceBits;
    post(EV_ERR);
}

void ScriptedSerialDevice::lineBreak() {
    std::lock_guard lock(mutex_);
    errors_ |= CE_BREAK;
    post(EV_BREAK);
}

void ScriptedSerialDevice::raise(std::uint32_t events) {
    std::lock_guard lock(mutex_);
    post(events);
}

void ScriptedSerialDevice::hangUp() {
    std::lock_guard lock(mutex_);
    hungUp_ = true;
    wake_.set();
}

std::vector<std::string> ScriptedSerialDevice::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void ScriptedSerialDevice::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

std::string ScriptedSerialDevice::openedPath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

DeviceControlBlock ScriptedSerialDevice::state() const {
    std::lock_guard lock(mutex_);
    return dcb_;
}

CommTimeouts ScriptedSerialDevice::timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}

std::uint32_t ScriptedSerialDevice::inQueueSize() const {
    std::lock_guard lock(mutex_);
    return inSize_;
}

std::uint32_t ScriptedSerialDevice::outQueueSize() const {
    std::lock_guard lock(mutex_);
    return outSize_;
}

std::uint32_t ScriptedSerialDevice::eventMask() const {
    std::lock_guard lock(mutex_);
    return mask_;
}

std::size_t ScriptedSerialDevice::queued() const {
    std::lock_guard lock(mutex_);
    return rx_.size();
}

int ScriptedSerialDevice::batches() const {
    std::lock_guard lock(mutex_);
    return batches_;
}

int ScriptedSerialDevice::setupQueues(std::uint32_t inSize, std::uint32_t outSize) {
    std::lock_guard lock(mutex_);
    log("setupQueues " + std::to_string(inSize) + " " + std::to_string(outSize));
    if (int e = failure(Call::SetupQueues)) return e;
    inSize_ = inSize;
    outSize_ = outSize;
    return 0;
}

int ScriptedSerialDevice::setState(const DeviceControlBlock& dcb) {
    std::lock_guard lock(mutex_);
    log("setState " + std::to_string(dcb.BaudRate));
    if (int e = failure(Call::SetState)) return e;
    dcb_ = dcb;
    return 0;
}

int ScriptedSerialDevice::setTimeouts(const CommTimeouts& timeouts) {
    std::lock_guard lock(mutex_);
    log("setTimeouts");
    if (int e = failure(Call::SetTimeouts)) return e;
    timeouts_ = timeouts;
    return 0;
}

int ScriptedSerialDevice::setEventMask(std::uint32_t mask) {
    std::lock_guard lock(mutex_);
    log("setEventMask " + std::to_string(mask));
    if (int e = failure(Call::SetEventMask)) return e;
    mask_ = mask;
    pending_ &= mask;
    return 0;
}

WaitStatus ScriptedSerialDevice::waitEvent(std::uint32_t& events, const WakeEvent& stop) {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (failure(Call::Wait) || hungUp_) return WaitStatus::Failed;
            if (pending_ & mask_) {
                events = pending_ & mask_;
                pending_ = 0;
                ++batches_;
                if (failure(Call::WaitResult)) return WaitStatus::ResultFailed;
                return WaitStatus::Signalled;
            }
        }
        pollfd fds[2] = {{wake_.fd(), POLLIN, 0}, {stop.fd(), POLLIN, 0}};
        ::poll(fds, 2, -1);
        if (fds[1].revents) return WaitStatus::Stopped;
        wake_.reset();
    }
}

int ScriptedSerialDevice::read(void* buffer, std::uint32_t count, std::uint32_t& got,
                               WakeEvent& abort) {
    std::lock_guard lock(mutex_);
    got = 0;
    log("read " + std::to_string(count));
    if (int e = failure(Call::Read)) return e;
    if (abort.isSet()) return ERROR_OPERATION_ABORTED;
    auto* out = static_cast<unsigned char*>(buffer);
    while (got < count && !rx_.empty()) {
        out[got++] = rx_.front();
        rx_.pop_front();
    }
    if (got == 0 && hungUp_) return ERROR_IO_DEVICE;
    return 0;
}

int ScriptedSerialDevice::purge(std::uint32_t flags) {
    std::lock_guard lock(mutex_);
    log("purge " + std::to_string(flags));
    if (int e = failure(Call::Purge)) return e;
    if (flags & PURGE_RXCLEAR) rx_.clear();
    return 0;
}

int ScriptedSerialDevice::clearError(std::uint32_t& errors, std::uint32_t& inQueue) {
    std::lock_guard lock(mutex_);
    errors = 0;
    inQueue = 0;
    if (int e = failure(Call::ClearError)) return e;
    errors = errors_;
    errors_ = 0;
    inQueue = static_cast<std::uint32_t>(rx_.size());
    return 0;
}

int ScriptedSerialDevice::modemStatus(std::uint32_t& status) {
    std::lock_guard lock(mutex_);
    status = 0;
    if (int e = failure(Call::ModemStatus)) return e;
    status = modem_;
    return 0;
}

} // namespace platform
