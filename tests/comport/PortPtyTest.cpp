// The serial-port component on pseudo-terminal pairs: the data path, rates,
// event delivery on each thread, hang-ups, closing from every thread, reads.
#include "PortTestSupport.h"
#include "comport/CPort.h"
#include "support/Pty.h"
#include "support/PtyTermios.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <sys/resource.h>

using namespace CPort;
using namespace porttest;
using testsupport::PtyPair;

namespace {

// Bytes collected by a receive handler, as the receiver program reads them.
struct Collector {
    std::mutex mutex;
    std::string bytes;
    std::vector<int> counts;
    std::thread::id thread;
    std::atomic<int> calls{0};

    std::string text() {
        std::lock_guard lock(mutex);
        return bytes;
    }
    std::size_t size() {
        std::lock_guard lock(mutex);
        return bytes.size();
    }
    void attach(TComPort& p) {
        p.OnRxChar = [this](TCustomComPort* port, int count) {
            std::string buf(static_cast<std::size_t>(count) + 100, '\0');
            const int n = port->ReceiveBytes(buf.data(), static_cast<std::int32_t>(buf.size()));
            std::lock_guard lock(mutex);
            bytes.append(buf.data(), static_cast<std::size_t>(n));
            counts.push_back(count);
            thread = std::this_thread::get_id();
            ++calls;
        };
    }
};

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

// The process's CPU time and the times its threads went to sleep of their own
// accord: a thread that waits for something sleeps once per wake-up, a busy
// loop never.
struct CpuUse {
    double cpuMs = 0;
    long sleeps = 0;

    static CpuUse now() {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
        return {ms(u.ru_utime) + ms(u.ru_stime), u.ru_nvcsw};
    }
};

void receiverTimeouts(TComPort& p) {
    p.Timeouts().setReadInterval(-1);
    p.Timeouts().setReadTotalMultiplier(-1);
    p.Timeouts().setReadTotalConstant(1);
}

} // namespace

TEST(PortPty, EveryByteValuePassesUnchanged) {
    PtyPair pty;
    TComPort port;
    port.setPort(pty.slavePath());
    port.setSyncMethod(smNone);
    receiverTimeouts(port);
    Collector got;
    got.attach(port);
    port.setConnected(true);

    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    ASSERT_TRUE(pty.write(all));
    ASSERT_TRUE(pty.write(all)); // twice, so XON/XOFF, ^C and CR/LF are seen mid-stream
    ASSERT_TRUE(waitUntil([&] { return got.size() >= 512; }));
    EXPECT_EQ(got.text(), all + all);
    EXPECT_NE(got.thread, std::this_thread::get_id()); // smNone: on the event thread
    port.setConnected(false);
}

TEST(PortPty, RatesAndFramingReadBackFromTheSlave) {
    PtyPair pty;
    TComPort port;
    port.setPort(pty.slavePath());
    port.Events = {};
    port.setConnected(true);

    testsupport::LineSettings ls;
    ASSERT_TRUE(testsupport::readLineSettings(pty.slaveObserver(), ls));
    EXPECT_EQ(ls.outputSpeed, 9600u);
    EXPECT_TRUE(ls.raw);
    EXPECT_TRUE(ls.customRate); // every rate goes through BOTHER

    const std::pair<TBaudRate, std::uint32_t> rates[] = {
        {br110, 110},       {br300, 300},       {br1200, 1200},   {br14400, 14400},
        {br19200, 19200},   {br56000, 56000},   {br57600, 57600}, {br115200, 115200},
        {br128000, 128000}, {br256000, 256000}, {br4800, 4800},
    };
    for (auto [rate, bps] : rates) {
        port.setBaudRate(rate);
        ASSERT_TRUE(testsupport::readLineSettings(pty.slaveObserver(), ls));
        EXPECT_EQ(ls.outputSpeed, bps);
        EXPECT_EQ(ls.inputSpeed, bps);
    }
    port.setCustomBaudRate(31250); // ignored while a named rate is chosen
    ASSERT_TRUE(testsupport::readLineSettings(pty.slaveObserver(), ls));
    EXPECT_EQ(ls.outputSpeed, 4800u);
    port.setBaudRate(brCustom);
    ASSERT_TRUE(testsupport::readLineSettings(pty.slaveObserver(), ls));
    EXPECT_EQ(ls.outputSpeed, 31250u);

    // A pseudo-terminal always keeps eight data bits without parity, so only
    // the stop bits of the framing show here.
    port.setDataBits(dbSeven);
    port.Parity().setBits(prMark);
    port.setStopBits(sbTwoStopBits);
    ASSERT_TRUE(testsupport::readLineSettings(pty.slaveObserver(), ls));
    EXPECT_TRUE(ls.twoStopBits);

    port.FlowControl().setFlowControl(fcHardware);
    ASSERT_TRUE(testsupport::readLineSettings(pty.slaveObserver(), ls));
    EXPECT_TRUE(ls.rtsCts);
    EXPECT_FALSE(ls.xonOut);
    port.FlowControl().setXonChar('A');
    port.FlowControl().setXoffChar('B');
    port.FlowControl().setFlowControl(fcSoftware);
    ASSERT_TRUE(testsupport::readLineSettings(pty.slaveObserver(), ls));
    EXPECT_FALSE(ls.rtsCts);
    EXPECT_TRUE(ls.xonOut);
    EXPECT_TRUE(ls.xonIn);
    EXPECT_EQ(ls.startChar, 'A');
    EXPECT_EQ(ls.stopChar, 'B');

    // One and a half stop bits exist only with five data bits.
    try {
        port.setStopBits(sbOne5StopBits);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.MessageNumber(), 7);
        EXPECT_EQ(e.WindowsError(), 87);
        EXPECT_STREQ(e.what(), "SetCommState function failed (win error code: 87)");
    }
    EXPECT_TRUE(port.Connected()); // a failed re-apply keeps the port open
    EXPECT_EQ(port.StopBits(), sbOne5StopBits);
    port.setDataBits(dbFive);
    EXPECT_EQ(port.DataBits(), dbFive);
    ASSERT_TRUE(testsupport::readLineSettings(pty.slaveObserver(), ls));
    EXPECT_TRUE(ls.twoStopBits);
}

TEST(PortPty, RxCharReachesTheHandlerOnTheChosenThread) {
    for (TSyncMethod sync : {smNone, smThreadSync, smWindowSync}) {
        SCOPED_TRACE(sync);
        PtyPair pty;
        QueuedDispatcher mainThread;
        TComPort port(&mainThread);
        port.setPort(pty.slavePath());
        port.setSyncMethod(sync);
        receiverTimeouts(port);
        Collector got;
        got.attach(port);
        port.setConnected(true);

        ASSERT_TRUE(pty.write("hello"));
        if (sync == smNone) {
            ASSERT_TRUE(waitUntil([&] { return got.size() == 5; }));
            EXPECT_NE(got.thread, std::this_thread::get_id());
        } else {
            // Nothing runs until the main thread serves its queue.
            std::this_thread::sleep_for(20ms);
            EXPECT_EQ(got.calls.load(), 0);
            ASSERT_TRUE(mainThread.processUntil([&] { return got.size() == 5; }, 2000ms));
            EXPECT_EQ(got.thread, std::this_thread::get_id());
        }
        EXPECT_EQ(got.text(), "hello");
        {
            std::lock_guard lock(got.mutex);
            if (sync == smNone) // as they arrive, perhaps in pieces
                EXPECT_LE(got.counts.front(), 5);
            else // all five were queued when the main thread ran it
                EXPECT_EQ(got.counts.front(), 5);
        }
        port.setConnected(false);
    }
}

TEST(PortPty, HandlerThatReadsNothingCausesNoBusyLoop) {
    PtyPair pty;
    TComPort port;
    port.setPort(pty.slavePath());
    port.setSyncMethod(smNone);
    std::atomic<int> calls{0};
    std::atomic<int> lastCount{0};
    port.OnRxChar = [&](TCustomComPort*, int n) {
        lastCount = n;
        ++calls;
    };
    port.setConnected(true);

    ASSERT_TRUE(pty.write("0123456789"));
    // The pty may hand the ten over in more than one piece: each is news.
    ASSERT_TRUE(waitUntil([&] { return lastCount.load() == 10; }));
    const int called = calls;
    const CpuUse before = CpuUse::now();
    std::this_thread::sleep_for(200ms);
    const CpuUse after = CpuUse::now();
    // The event thread looks again after each back-off of a millisecond; a
    // look costs some microseconds, a busy loop all the CPU it is given with
    // hardly a sleep. Per sleep, not in total: a loaded machine stretches
    // both the CPU a look costs and the number of looks (a look took up to
    // a quarter of a millisecond beside 24 busy processes, where a busy loop
    // spends the whole 200 ms between a few sleeps).
    const double used = after.cpuMs - before.cpuMs;
    const long sleeps = std::max(after.sleeps - before.sleeps, 1L);
    EXPECT_LT(used / static_cast<double>(sleeps), sanitized ? 2.0 : 1.0)
        << used << " CPU ms in " << sleeps << " sleeps over 200 ms with unread characters";
    // Not called again until more arrive. A piece that arrived while the
    // handler ran is news once more, and under load that call can come late.
    EXPECT_LE(calls.load() - called, 1);

    ASSERT_TRUE(pty.write("abc"));
    ASSERT_TRUE(waitUntil([&] { return lastCount.load() == 13; }));
    port.setConnected(false);
}

TEST(PortPty, HangUpEndsTheThreadAndThePortCanBeReopenedElsewhere) {
    auto pty = std::make_unique<PtyPair>();
    TComPort port;
    port.setPort(pty->slavePath());
    port.setSyncMethod(smNone);
    receiverTimeouts(port);
    Collector got;
    got.attach(port);
    port.setConnected(true);
    EXPECT_EQ(threadCount(), 1);

    ASSERT_TRUE(pty->write("x"));
    ASSERT_TRUE(waitUntil([&] { return got.size() == 1; }));
    const int callsBefore = got.calls.load();

    pty->closeMaster();
    EXPECT_TRUE(noEventThreadLeft()) << "event thread still running 2 s after the hang-up";
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(got.calls.load(), callsBefore);

    // A read of a lost device is a failure, not "no data".
    char buf[16];
    try {
        port.ReceiveBytes(buf, sizeof buf);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.MessageNumber(), 3);
        EXPECT_EQ(e.WindowsError(), 1117);
    }

    // The lost device closed the port: closing it again does nothing.
    EXPECT_FALSE(port.Connected());
    EventLog log;
    port.OnBeforeClose = [&](auto*) { log.add("BeforeClose"); };
    port.OnAfterClose = [&](auto*) { log.add("AfterClose"); };
    port.setConnected(false);
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(log.entries().empty());

    pty.reset();
    PtyPair fresh;
    port.setPort(fresh.slavePath());
    port.setConnected(true);
    ASSERT_TRUE(fresh.write("again"));
    ASSERT_TRUE(waitUntil([&] { return got.text() == "xagain"; }));
    port.setConnected(false);
}

TEST(PortPty, AHangUpWhileAHandlerReadsIsALossOnEitherThread) {
    for (TSyncMethod sync : {smThreadSync, smNone}) {
        SCOPED_TRACE(sync);
        PtyPair pty;
        QueuedDispatcher mainThread;
        TComPort port(&mainThread);
        port.setPort(pty.slavePath());
        port.setSyncMethod(sync);
        receiverTimeouts(port);
        // The device goes while its bytes are read: the read's error leaves
        // the handler, and it is the loss that ends the thread.
        std::atomic<bool> written{false}; // the write is done with the master
        port.OnRxChar = [&](TCustomComPort* p, int) {
            while (!written)
                std::this_thread::yield();
            pty.closeMaster();
            char buf[16];
            p->ReceiveBytes(buf, sizeof buf);
        };
        std::atomic<int> lost{0};
        std::atomic<bool> connectedWhenLost{true};
        port.OnDeviceLost = [&](TCustomComPort* p) {
            connectedWhenLost = p->Connected();
            ++lost;
        };
        port.setConnected(true);
        ASSERT_TRUE(pty.write("abc"));
        written = true;
        EXPECT_TRUE(mainThread.processUntil([&] { return lost.load() > 0; }, 2000ms))
            << "the loss was not reported";
        EXPECT_TRUE(noEventThreadLeft());
        EXPECT_EQ(lost.load(), 1);
        EXPECT_FALSE(connectedWhenLost.load());
        EXPECT_FALSE(port.Connected());
    }
}

TEST(PortPty, DeactivateFromInsideHandlersReturns) {
    for (TSyncMethod sync : {smNone, smThreadSync, smWindowSync}) {
        SCOPED_TRACE(sync);
        PtyPair pty;
        QueuedDispatcher mainThread;
        TComPort port(&mainThread);
        port.setPort(pty.slavePath());
        port.setSyncMethod(sync);
        std::atomic<int> calls{0};
        std::atomic<bool> closed{false};
        std::atomic<bool> afterClose{false};
        port.OnAfterClose = [&](auto*) { afterClose = true; };
        port.OnRxChar = [&](TCustomComPort* p, int) {
            ++calls;
            p->Deactivate();
            closed = !p->Connected();
        };
        port.setConnected(true);
        ASSERT_TRUE(pty.write("a"));
        if (sync == smNone)
            ASSERT_TRUE(waitUntil([&] { return closed.load(); }));
        else
            ASSERT_TRUE(mainThread.processUntil([&] { return closed.load(); }, 2000ms));
        EXPECT_TRUE(afterClose.load());
        EXPECT_FALSE(port.Connected());
        EXPECT_TRUE(noEventThreadLeft());
        // Later data reaches nobody.
        ASSERT_TRUE(pty.write("b"));
        mainThread.processUntil([] { return false; }, 20ms);
        EXPECT_EQ(calls.load(), 1);
        // The port opens again on the same device.
        port.setConnected(true);
        EXPECT_TRUE(port.Connected());
        port.OnRxChar = nullptr;
        port.setConnected(false);
    }
}

TEST(PortPty, DeactivateFromTheMainThreadWhileDeliveriesWait) {
    for (TSyncMethod sync : {smThreadSync, smWindowSync}) {
        SCOPED_TRACE(sync);
        PtyPair pty;
        QueuedDispatcher mainThread; // never served before the close
        TComPort port(&mainThread);
        port.setPort(pty.slavePath());
        port.setSyncMethod(sync);
        std::atomic<int> calls{0};
        port.OnRxChar = [&](TCustomComPort*, int) { ++calls; };
        port.setConnected(true);
        ASSERT_TRUE(pty.write("abc"));
        std::this_thread::sleep_for(30ms); // the event thread now waits for the main thread
        port.setConnected(false);
        EXPECT_FALSE(port.Connected());
        EXPECT_TRUE(noEventThreadLeft());
        mainThread.processPending(); // a stale delivery does nothing
        EXPECT_EQ(calls.load(), 0);
    }
}

TEST(PortPty, ClosingAbortsAReadInFlight) {
    PtyPair pty;
    TComPort port;
    port.setPort(pty.slavePath());
    port.setSyncMethod(smNone);
    // Wait for all bytes, without any time limit.
    port.Timeouts().setReadInterval(0);
    std::atomic<bool> reading{false};
    std::atomic<int> message{0}, code{0};
    port.OnRxChar = [&](TCustomComPort* p, int) {
        char buf[100];
        reading = true;
        try {
            p->ReceiveBytes(buf, sizeof buf);
        } catch (const EComPort& e) {
            message = e.MessageNumber();
            code = e.WindowsError();
        }
    };
    port.setConnected(true);
    ASSERT_TRUE(pty.write("z"));
    ASSERT_TRUE(waitUntil([&] { return reading.load(); }));
    std::this_thread::sleep_for(10ms);
    port.setConnected(false);
    EXPECT_EQ(message.load(), 3);
    EXPECT_EQ(code.load(), 995);
}

TEST(PortPty, ReadStartingWhileThePortClosesIsAborted) {
    PtyPair pty;
    TComPort port;
    port.setPort(pty.slavePath());
    port.setSyncMethod(smNone);
    port.Timeouts().setReadInterval(0); // no time limit
    std::atomic<bool> inHandler{false}, closeBegun{false};
    std::atomic<int> code{0};
    port.OnBeforeClose = [&](auto*) { closeBegun = true; };
    port.OnRxChar = [&](TCustomComPort* p, int) {
        inHandler = true;
        waitUntil([&] { return closeBegun.load(); });
        std::this_thread::sleep_for(20ms); // the close has purged by now
        char buf[100];
        try {
            p->ReceiveBytes(buf, sizeof buf);
        } catch (const EComPort& e) {
            code = e.WindowsError();
        }
    };
    port.setConnected(true);
    ASSERT_TRUE(pty.write("z"));
    ASSERT_TRUE(waitUntil([&] { return inHandler.load(); }));
    port.setConnected(false); // returns: the late read does not block it
    EXPECT_EQ(code.load(), 995);
}

TEST(PortPty, ReadsFollowTheTimeoutSettings) {
    PtyPair pty;
    TComPort port;
    port.setPort(pty.slavePath());
    port.Events = {};
    port.setConnected(true);
    char buf[2900];
    auto timed = [&](std::int32_t count, int& n) {
        const auto t0 = std::chrono::steady_clock::now();
        n = port.ReceiveBytes(buf, count);
        return std::chrono::steady_clock::now() - t0;
    };
    int n = -1;

    // Initial timeouts: what is queued, at once. The upper bounds leave room
    // for a loaded machine's scheduling; what they catch is a read that waits
    // for data (or for a time limit) it should not wait for.
    EXPECT_LT(timed(2900, n), 500ms);
    EXPECT_EQ(n, 0);
    ASSERT_TRUE(pty.write("12345"));
    ASSERT_TRUE(waitUntil([&] { return port.BytesWaiting() == 5; }));
    timed(2900, n);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(std::string(buf, 5), "12345");

    // The receiver's timeouts: queued bytes at once, else the first within 1 ms.
    receiverTimeouts(port);
    const auto empty = timed(2900, n);
    EXPECT_EQ(n, 0);
    EXPECT_GE(empty, 1ms);
    EXPECT_LT(empty, 500ms);
    ASSERT_TRUE(pty.write("abc"));
    ASSERT_TRUE(waitUntil([&] { return port.BytesWaiting() == 3; }));
    timed(2, n);
    EXPECT_EQ(n, 2); // partial: the rest stays queued
    timed(2900, n);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(buf[0], 'c');

    // A total time limit returns what arrived before it.
    port.Timeouts().setReadInterval(0);
    port.Timeouts().setReadTotalMultiplier(0);
    port.Timeouts().setReadTotalConstant(60);
    ASSERT_TRUE(pty.write("xy"));
    const auto partial = timed(10, n);
    EXPECT_EQ(n, 2);
    EXPECT_GE(partial, 55ms);
    EXPECT_LT(partial, 1000ms);
    port.setConnected(false);
}

TEST(PortPty, PortsAreExclusiveAndChangingPortReopens) {
    PtyPair a, b;
    Collector got; // outlive the port, whose destructor still reports
    EventLog log;
    TComPort first;
    first.setPort(a.slavePath());
    first.setSyncMethod(smNone);
    got.attach(first);
    first.OnBeforeOpen = [&](auto*) { log.add("BeforeOpen"); };
    first.OnAfterOpen = [&](auto*) { log.add("AfterOpen"); };
    first.OnBeforeClose = [&](auto*) { log.add("BeforeClose"); };
    first.OnAfterClose = [&](auto*) { log.add("AfterClose"); };
    first.setBaudRate(br19200);
    first.setConnected(true);

    TComPort second;
    second.setPort(a.slavePath());
    try {
        second.setConnected(true);
        FAIL() << "opened twice";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.MessageNumber(), 1);
        EXPECT_EQ(e.WindowsError(), 5);
    }
    EXPECT_FALSE(second.Connected());

    log.clear();
    first.setPort(b.slavePath());
    EXPECT_EQ(log.entries(),
              (std::vector<std::string>{"BeforeClose", "AfterClose", "BeforeOpen", "AfterOpen"}));
    testsupport::LineSettings ls;
    ASSERT_TRUE(testsupport::readLineSettings(b.slaveObserver(), ls));
    EXPECT_EQ(ls.outputSpeed, 19200u); // same settings on the new device
    ASSERT_TRUE(b.write("via b"));
    ASSERT_TRUE(waitUntil([&] { return got.text() == "via b"; }));

    second.setConnected(true); // the first device is free again
    EXPECT_TRUE(second.Connected());
}

TEST(PortPty, MissingPortRaisesMessageOneWithItsCode) {
    TComPort port;
    EventLog log;
    log.attach(port);
    port.setPort("/dev/tavix-no-such-port");
    try {
        port.setConnected(true);
        FAIL() << "opened";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.MessageNumber(), 1);
        EXPECT_EQ(e.WindowsError(), 2);
        EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(log.entries(), std::vector<std::string>{"BeforeOpen"});
}
