#include "sim/Adapter.h"

#include <algorithm>
#include <stdexcept>

namespace sim {

// ---- Device ----

Ps Device::now() const {
    return adapter_->q_.now();
}

EventQueue::EventId Device::schedule(Ps at, EventQueue::Handler fn) {
    return adapter_->q_.schedule(at, std::move(fn));
}

void Device::cancel(EventQueue::EventId id) {
    adapter_->q_.cancel(id);
}

void Device::driveCts(bool active, Ps at) {
    drive(Line::Cts, active, at);
}
void Device::driveDsr(bool active, Ps at) {
    drive(Line::Dsr, active, at);
}
void Device::driveRxd(bool mark, Ps at) {
    drive(Line::Rxd, mark, at);
}

void Device::drive(Line line, bool level, Ps at) {
    if (adapter_ == nullptr) throw std::logic_error("sim::Device: drive before attach");
    if (at > adapter_->q_.now()) {
        schedule(at, [this, line, level] { drive(line, level, -1); });
        return;
    }
    bool& slot = line == Line::Cts ? cts_ : line == Line::Dsr ? dsr_ : rxdMark_;
    if (slot == level) return;
    slot = level;
    if (connected_) adapter_->deviceDriveChanged(*this);
}

// ---- Adapter ----

Adapter::Adapter(EventQueue& queue, Uart16550& uart) : q_(queue), uart_(uart) {
    uart_.setWires(this);
    channel_ = uart_.modemControl() & 3;
}

Adapter::~Adapter() {
    uart_.setWires(nullptr);
    for (auto& d : devices_)
        d->adapter_ = nullptr;
}

void Adapter::attach(std::shared_ptr<Device> device, std::initializer_list<int> channels) {
    if (!device) throw std::invalid_argument("sim::Adapter: no device");
    if (device->adapter_ != nullptr && device->adapter_ != this)
        throw std::logic_error("sim::Adapter: device belongs to another adapter");
    const bool isNew = device->adapter_ == nullptr;
    for (int c : channels) {
        if (c < 0 || c > 3) throw std::out_of_range("sim::Adapter: channel " + std::to_string(c));
        device->channelMask_ |= 1u << c;
    }
    Device& d = *device;
    if (isNew) {
        d.adapter_ = this;
        devices_.push_back(std::move(device));
        d.onAttached();
    }
    if (!d.connected_ && (d.channelMask_ & (1u << channel_))) {
        d.connected_ = true;
        connected_.push_back(&d);
        d.onConnected(q_.now(), channel_);
        if (!uart_.txdMark() || uart_.breakOn())
            showTxd(d, q_.now(), uart_.txdMark(), uart_.breakOn());
        refreshLines();
    }
}

void Adapter::showTxd(Device& d, Ps t, bool mark, bool breakOn) {
    d.seenTxdMark_ = mark;
    d.seenBreak_ = breakOn;
    d.onTxd(t, mark, breakOn);
}

void Adapter::txdChanged(Ps t, bool mark, bool breakOn) {
    for (Device* d : connected_)
        showTxd(*d, t, mark, breakOn);
}

void Adapter::modemControlWritten(Ps t, std::uint8_t mcr) {
    const int c = mcr & 3;
    if (c != channel_) select(t, c);
}

void Adapter::modemStatusRead(Ps t) {
    for (Device* d : connected_)
        d->onModemStatusRead(t);
}

void Adapter::select(Ps t, int c) {
    channelLog_.push_back(ChannelChange{t, channel_, c});
    channel_ = c;
    const unsigned bit = 1u << c;
    // Those that stay connected see nothing of the switch.
    std::vector<Device*> leaving;
    for (Device* d : connected_)
        if (!(d->channelMask_ & bit)) leaving.push_back(d);
    for (Device* d : leaving) {
        d->connected_ = false;
        connected_.erase(std::find(connected_.begin(), connected_.end(), d));
        if (!d->seenTxdMark_ || d->seenBreak_) showTxd(*d, t, true, false);
        d->onDisconnected(t);
    }
    std::vector<Device*> joining;
    for (auto& d : devices_)
        if ((d->channelMask_ & bit) && !d->connected_) joining.push_back(d.get());
    for (Device* d : joining) {
        d->connected_ = true;
        connected_.push_back(d);
    }
    refreshLines();
    for (Device* d : joining) {
        d->onConnected(t, c);
        if ((!uart_.txdMark() || uart_.breakOn()) && d->connected_)
            showTxd(*d, t, uart_.txdMark(), uart_.breakOn());
    }
}

void Adapter::refreshLines() {
    bool cts = false, dsr = false, rxdMark = true;
    for (Device* d : connected_) {
        cts = cts || d->cts_;
        dsr = dsr || d->dsr_;
        rxdMark = rxdMark && d->rxdMark_;
    }
    uart_.setCts(cts);
    uart_.setDsr(dsr);
    uart_.setRxd(rxdMark);
}

void Adapter::deviceDriveChanged(Device&) {
    refreshLines();
}

} // namespace sim
