#pragma once
// The engine on the virtual clock with the IR detector on the DSR line of the
// register fake, and a scripted remote in front of it.

#include "engine/IrAnalyse.h"
#include "engine/IrCapture.h"
#include "engine/IrLernen.h"
#include "engine/WavExport.h"
#include "sim/IrDetector.h"
#include "sim/IrRemote.h"
#include "support/EngineFixture.h"

#include <cstdint>
#include <vector>

class IrFixture : public EngineFixture {
protected:
    static constexpr std::uint16_t kMsr = 0x3FE;
    static constexpr std::int64_t kMs = 1000000000LL; // ps

    IrFixture() {
        ports.setLogReads(false);
        ports.setReader(kMsr, [this] { return detector.readMsr(clock.nowPs()); });
        Sio::UART_Init_9600();
        Dbg_disp::Debug_An = false; // the trace of a long capture is not what most tests look at
    }

    void useDetector(sim::IrDetector::Mode mode, std::int64_t decayUs, bool activeHigh = true) {
        detector.setConfig({mode, decayUs, activeHigh});
    }

    // The durations of the last capture, entries 1 up to the first 0.
    static std::vector<std::int64_t> durations() {
        std::vector<std::int64_t> d;
        for (std::size_t i = 1; i < Sio::IR_Messwerte.size() && Sio::IR_Messwerte[i] != 0; ++i)
            d.push_back(Sio::IR_Messwerte[i]);
        return d;
    }

    // Puts a duration list (entry 0 = 0, ended by 0) into the capture array.
    static void setCapture(const std::vector<std::int64_t>& d) {
        Sio::IR_Messwerte.fill(0);
        for (std::size_t i = 0; i < d.size(); ++i)
            Sio::IR_Messwerte[i + 1] = d[i];
        Sio::IR_Burstende = static_cast<std::int32_t>(d.size());
    }

    // Line pulses of the given durations (µs, pulse first) from t0.
    void linePulses(std::int64_t t0Ps, const std::vector<std::int64_t>& d) {
        std::int64_t t = t0Ps;
        for (std::size_t i = 0; i < d.size(); ++i) {
            if (i % 2 == 0) detector.addLinePulse(t, t + d[i] * 1000000);
            t += d[i] * 1000000;
        }
    }

    sim::IrDetector detector;
    sim::IrRemote remote{detector, 7};
};

#include "engine/IrSend.h"
#include "support/SimFixture.h"

// The engine on the simulated adapter (virtual clock) with the detector on
// channel 3 and a scripted remote: the whole road a learnt command takes.
class IrSimFixture : public SimFixture {
protected:
    static constexpr std::int64_t kMs = 1000000000LL; // ps

    IrSimFixture() {
        Dbg_disp::Debug_An = false;
        device = sim::attachIrDetector(sim, {}, false);
    }

    void useDetector(sim::IrDetector::Mode mode, std::int64_t decayUs, bool activeHigh = true) {
        device->detector().setConfig({mode, decayUs, activeHigh});
        Sio::Abfallzeit_IR_Detektor = static_cast<std::int32_t>(decayUs);
    }
    sim::IrRemote& remote() { return device->remote(); }

    struct Ergebnis {
        bool ok = false;
        Sio::TBefehl befehl{};
        std::string code, fehler, kommentar;
    };
    Ergebnis learn(bool optimieren = true, const std::string& wav = "") {
        Ergebnis e;
        e.ok = Sio::IR_Befehl_Lernen(e.befehl, e.code, e.fehler, e.kommentar, optimieren, wav);
        return e;
    }

    // Sends the command through the adapter's IR sender and gives back what
    // a receiver sees: burst lengths and the pauses between them, in µs.
    std::vector<double> resend(const Sio::TBefehl& befehl) {
        sim.irSender->clear();
        Sio::IR_Senden(befehl);
        advanceUs(1000);
        std::vector<double> d;
        const auto& b = sim.irSender->bursts();
        for (std::size_t i = 0; i < b.size(); ++i) {
            d.push_back(static_cast<double>(b[i].lengthPs()) / 1e6);
            if (i + 1 < b.size())
                d.push_back(static_cast<double>(b[i + 1].start - b[i].start - b[i].lengthPs()) /
                            1e6);
        }
        return d;
    }

    std::shared_ptr<sim::IrDetectorDevice> device;
};
