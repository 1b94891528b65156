#pragma once
// The adapter on the serial port: the channel choice from the modem-control
// outputs (channel = MCR & 3, so DTR is bit 0 and RTS bit 1 of the channel) and
// the devices hanging on each channel. Only the selected channel is connected
// to the UART's TXD, RXD, CTS and DSR.
//
// Writing a device
// ----------------
// Derive from sim::Device and attach it with Adapter::attach(device, channels)
// (one device may hang on several channels, like the IR sender on 0 and 3).
// All calls happen on the simulated time line: `t` is the exact time of what
// happened, and now() equals t inside every callback.
//
//   onAttached()              the device may now schedule events and drive
//                             its lines (done once, at attach time).
//   onConnected(t, channel)   the adapter switched to one of the device's
//                             channels; the device now sees TXD and its line
//                             levels reach the UART.
//   onDisconnected(t)         the adapter switched to a channel the device is
//                             not on. If TXD was at space, onTxd(t, mark) comes
//                             first: a disconnected device sees an idle line.
//   onTxd(t, mark, breakOn)   every change of TXD while connected (mark = idle
//                             = logical 1; space = IR on / bus pulled low), and
//                             every change of the UART's break bit (which holds
//                             TXD at space). On connect, a device whose line is
//                             at space gets onTxd(t, false, ...) right after
//                             onConnected.
//   onModemStatusRead(t)      the program read the modem-status register while
//                             the device was connected (one call per read:
//                             count them to see how tightly MSR is polled).
//
// A device drives its lines with driveCts/driveDsr (true = the MSR bit reads
// 1) and driveRxd (true = mark), either now or at a later time; a time in the
// past counts as now. A device keeps its drive levels while disconnected; they
// reach the UART when its channel is selected. Where several devices of one
// channel drive a line, CTS/DSR read active when any device asserts them and
// RXD is at space when any device pulls it there (an open-collector bus).
// Undriven lines read CTS/DSR inactive and RXD mark. The UART's receiver
// samples RXD in the middle of each bit, so a device that puts a character on
// RXD changes the level at the bit edges (see sim::LineSource for a helper).
// schedule(at, fn) runs fn at time at on the same time line; cancel(id) drops
// it. Devices must not call the UART's registers; they only see the wires.

#include "sim/EventQueue.h"
#include "sim/Uart16550.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class Adapter;

class Device {
public:
    virtual ~Device() = default;
    virtual std::string name() const = 0;

    virtual void onAttached() {}
    virtual void onConnected(Ps t, int channel) {
        (void)t;
        (void)channel;
    }
    virtual void onDisconnected(Ps t) { (void)t; }
    virtual void onTxd(Ps t, bool mark, bool breakOn) {
        (void)t;
        (void)mark;
        (void)breakOn;
    }
    virtual void onModemStatusRead(Ps t) { (void)t; }

    bool connected() const { return connected_; }
    bool attached() const { return adapter_ != nullptr; }
    // TXD as this device sees it (mark while disconnected).
    bool txdMark() const { return seenTxdMark_; }
    // The UART's break bit as last shown with onTxd (false while disconnected).
    bool txdBreak() const { return seenBreak_; }
    bool drivesCts() const { return cts_; }
    bool drivesDsr() const { return dsr_; }
    bool drivesRxdMark() const { return rxdMark_; }

protected:
    Ps now() const;
    EventQueue::EventId schedule(Ps at, EventQueue::Handler fn);
    void cancel(EventQueue::EventId id);
    void driveCts(bool active, Ps at = -1);
    void driveDsr(bool active, Ps at = -1);
    void driveRxd(bool mark, Ps at = -1);
    Adapter& adapter() const { return *adapter_; }

private:
    friend class Adapter;
    enum class Line { Cts, Dsr, Rxd };
    void drive(Line line, bool level, Ps at);

    Adapter* adapter_ = nullptr;
    unsigned channelMask_ = 0;
    bool connected_ = false;
    bool seenTxdMark_ = true;
    bool seenBreak_ = false;
    bool cts_ = false, dsr_ = false, rxdMark_ = true;
};

class Adapter final : public UartWires {
public:
    struct ChannelChange {
        Ps at;
        int from;
        int to;
    };

    Adapter(EventQueue& queue, Uart16550& uart);
    ~Adapter() override;
    Adapter(const Adapter&) = delete;
    Adapter& operator=(const Adapter&) = delete;

    // Hangs the device on the given channels (0 to 3). A device belongs to
    // one adapter; attaching it again adds channels.
    void attach(std::shared_ptr<Device> device, std::initializer_list<int> channels);
    void attach(std::shared_ptr<Device> device, int channel) {
        attach(std::move(device), {channel});
    }
    template <class D, class... Args>
    std::shared_ptr<D> emplace(std::initializer_list<int> channels, Args&&... args) {
        auto d = std::make_shared<D>(std::forward<Args>(args)...);
        attach(d, channels);
        return d;
    }

    int channel() const { return channel_; }
    const std::vector<ChannelChange>& channelLog() const { return channelLog_; }
    void clearChannelLog() { channelLog_.clear(); }
    EventQueue& queue() { return q_; }
    const Uart16550& uart() const { return uart_; }

    // UartWires
    void txdChanged(Ps t, bool mark, bool breakOn) override;
    void modemControlWritten(Ps t, std::uint8_t mcr) override;
    void modemStatusRead(Ps t) override;

private:
    friend class Device;
    void select(Ps t, int channel);
    void refreshLines();
    void deviceDriveChanged(Device& d);
    static void showTxd(Device& d, Ps t, bool mark, bool breakOn);

    EventQueue& q_;
    Uart16550& uart_;
    std::vector<std::shared_ptr<Device>> devices_;
    std::vector<Device*> connected_; // devices on the selected channel
    int channel_ = 0;
    std::vector<ChannelChange> channelLog_;
};

} // namespace sim
