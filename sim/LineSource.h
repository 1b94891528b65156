#pragma once
// Scripted devices for the service panel and for tests.
//
// LineSource drives CTS, DSR and RXD by a script: levels at given times and
// bytes on RXD, framed like a UART would send them, at a given rate. Script
// times count from the moment the source is attached; steps added later are
// scheduled at once (a time already past counts as now).
//
// LineProbe records what a device on its channel sees: every TXD edge with
// its time, connects and disconnects, and the modem-status reads.

#include "sim/Adapter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct Framing {
    int baud = 9600;
    int dataBits = 8;  // 5 to 8
    char parity = 'N'; // 'N', 'E', 'O'
    int stopBits = 1;
    Ps bitPs() const { return kPsPerSecond / baud; }
    Ps characterPs() const;
};

class LineSource final : public Device {
public:
    std::string name() const override { return "line source"; }
    void onAttached() override;

    LineSource& cts(Ps at, bool active);
    LineSource& dsr(Ps at, bool active);
    LineSource& rxd(Ps at, bool mark);
    // The bytes one after the other, the first starting at `at`, each next
    // one `interval` after the start of the one before (at least a whole
    // character: 0 sends them back to back).
    LineSource& bytes(Ps at, const std::vector<std::uint8_t>& values, Framing framing = {},
                      Ps interval = 0);

    Ps origin() const { return origin_; }
    // Time after the origin when the last scripted step happens.
    Ps scriptEnd() const { return end_; }

private:
    enum class Kind { Cts, Dsr, Rxd };
    struct Step {
        Ps at;
        Kind kind;
        bool level;
    };
    void add(Step s);
    void apply(const Step& s);

    std::vector<Step> pending_;
    Ps origin_ = 0;
    Ps end_ = 0;
};

class LineProbe final : public Device {
public:
    struct TxdEdge {
        Ps at;
        bool mark;
        bool breakOn;
    };
    struct Connection {
        Ps at;
        bool connected;
        int channel;
    };

    std::string name() const override { return "line probe"; }
    void onConnected(Ps t, int channel) override { connections.push_back({t, true, channel}); }
    void onDisconnected(Ps t) override { connections.push_back({t, false, -1}); }
    void onTxd(Ps t, bool mark, bool breakOn) override { edges.push_back({t, mark, breakOn}); }
    void onModemStatusRead(Ps t) override {
        ++msrReads;
        lastMsrRead = t;
    }

    // Lets a test drive lines directly.
    using Device::driveCts;
    using Device::driveDsr;
    using Device::driveRxd;

    std::vector<TxdEdge> edges;
    std::vector<Connection> connections;
    std::uint64_t msrReads = 0;
    Ps lastMsrRead = 0;
};

} // namespace sim
