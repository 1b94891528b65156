// The serial-port component on the scripted device: what pseudo-terminals
// cannot show (modem lines, line errors, breaks) and every failing call.
#include "PortTestSupport.h"
#include "comport/CPort.h"
#include "platform/ScriptedSerialDevice.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace CPort;
using namespace porttest;
using platform::ScriptedSerialDevice;
namespace ser = platform::serial;
using Call = ScriptedSerialDevice::Call;
using Log = std::vector<std::string>;

namespace {

class ScriptedPort : public ::testing::Test {
protected:
    ScriptedPort()
        : device(std::make_shared<ScriptedSerialDevice>()),
          opener(ScriptedSerialDevice::openerFor(device)) {}

    // Waits until the log holds n entries.
    bool logged(std::size_t n) {
        return waitUntil([&] { return log.size() >= n; });
    }

    // The exception of fn, which must raise EComPort.
    template <class F> EComPort raised(F fn) {
        try {
            fn();
        } catch (const EComPort& e) {
            return e;
        }
        ADD_FAILURE() << "no EComPort";
        return EComPort::CreateNoWinCode(1);
    }

    std::shared_ptr<ScriptedSerialDevice> device;
    platform::ScopedSerialOpener opener;
    EventLog log; // before the port: its destructor still reports
    CountingDispatcher mainThread;
};

} // namespace

TEST_F(ScriptedPort, OpenAppliesSettingsAndReportsLinesOpenAndClosed) {
    device->setModemStatus(ser::MS_CTS_ON | ser::MS_RLSD_ON);
    TComPort port;
    port.setSyncMethod(smNone);
    log.attach(port);
    port.setPort("COM3");
    port.setConnected(true);
    EXPECT_EQ(device->openedPath(), "/dev/ttyS2");
    EXPECT_EQ(device->calls(), (Log{"open /dev/ttyS2", "setupQueues 1024 1024", "setState 9600",
                                    "setTimeouts", "setEventMask 1535"}));
    EXPECT_EQ(log.entries(), (Log{"BeforeOpen", "AfterOpen", "CTS 1", "DSR 0", "RLSD 1"}));
    const platform::CommTimeouts to = device->timeouts();
    EXPECT_EQ(to.ReadIntervalTimeout, ser::MAXDWORD);
    EXPECT_EQ(to.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(to.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(to.WriteTotalTimeoutConstant, 1000u);

    log.clear();
    device->clearCalls();
    port.setConnected(false);
    EXPECT_EQ(log.entries(), (Log{"CTS 0", "DSR 0", "RLSD 0", "BeforeClose", "AfterClose"}));
    // Abort first; the thread clears the queues and the mask as it ends.
    EXPECT_EQ(device->calls(), (Log{"purge 3", "setEventMask 0", "purge 12"}));
}

TEST_F(ScriptedPort, ModemLinesBreaksAndRingsReachTheirHandlers) {
    TComPort port;
    port.setSyncMethod(smNone);
    log.attach(port);
    port.setConnected(true);
    log.clear();

    device->setModemStatus(ser::MS_CTS_ON);
    ASSERT_TRUE(logged(1));
    device->setModemStatus(ser::MS_CTS_ON | ser::MS_DSR_ON);
    ASSERT_TRUE(logged(2));
    device->setModemStatus(ser::MS_DSR_ON | ser::MS_RLSD_ON);
    ASSERT_TRUE(logged(4));
    device->setModemStatus(ser::MS_DSR_ON | ser::MS_RLSD_ON | ser::MS_RING_ON);
    ASSERT_TRUE(logged(5));
    device->lineBreak();
    ASSERT_TRUE(logged(6));
    // One batch delivers in the fixed order: CTS before RLSD.
    EXPECT_EQ(log.entries(), (Log{"CTS 1", "DSR 1", "CTS 0", "RLSD 1", "Ring", "Break"}));
    EXPECT_EQ(port.LineSignals(), (TComSignals{csDSR, csRLSD, csRing}));
}

TEST_F(ScriptedPort, LineErrorsRespectParityCheckAndComeBeforeCharacters) {
    TComPort port;
    port.setSyncMethod(smNone);
    std::atomic<int> read{0};
    log.attach(port);
    port.OnRxChar = [&](TCustomComPort* p, int n) {
        char buf[64];
        read += p->ReceiveBytes(buf, sizeof buf);
        log.add("RxChar " + std::to_string(n));
    };
    port.setConnected(true);
    log.clear();

    // A parity error alone is no error while the check is off.
    device->lineErrors(ser::CE_RXPARITY);
    device->raise(ser::EV_RING); // a marker that the batch has passed
    ASSERT_TRUE(logged(1));
    EXPECT_EQ(log.entries(), Log{"Ring"});

    device->lineErrors(ser::CE_RXPARITY | ser::CE_FRAME | ser::CE_OVERRUN);
    ASSERT_TRUE(logged(2));
    EXPECT_EQ(log.entries().back(), "Error 5"); // frame and overrun, no parity

    port.Parity().setCheck(true); // while the event thread runs
    device->receive("abc", ser::CE_RXPARITY);
    ASSERT_TRUE(logged(4));
    EXPECT_EQ(log.entries()[2], "Error 2");
    EXPECT_EQ(log.entries()[3], "RxChar 3");
    EXPECT_EQ(read.load(), 3);

    // Characters already read: no OnRxChar for an empty queue.
    device->raise(ser::EV_RXCHAR | ser::EV_RING);
    ASSERT_TRUE(logged(5));
    EXPECT_EQ(log.entries().back(), "Ring");
    EXPECT_EQ(log.size(), 5u);
}

TEST_F(ScriptedPort, UnraisedEventsAndSkippedBatches) {
    TComPort port;
    port.setSyncMethod(smNone);
    log.attach(port);
    port.Events = {evRing, evTxEmpty, evRxFlag, evRx80Full};
    port.setConnected(true);
    EXPECT_EQ(device->eventMask(),
              ser::EV_RING | ser::EV_TXEMPTY | ser::EV_RXFLAG | ser::EV_RX80FULL);
    log.clear();
    device->raise(ser::EV_TXEMPTY | ser::EV_RXFLAG | ser::EV_RX80FULL | ser::EV_RING);
    ASSERT_TRUE(logged(4));
    EXPECT_EQ(log.entries(), (Log{"TxEmpty", "Ring", "RxFlag", "Rx80Full"}));

    // Events outside the mask are not reported.
    device->setModemStatus(ser::MS_CTS_ON);
    // A batch that cannot be fetched is skipped; the next one arrives.
    device->failNext(Call::WaitResult, 31);
    const int taken = device->batches();
    device->raise(ser::EV_RING);
    ASSERT_TRUE(waitUntil([&] { return device->batches() == taken + 1; }));
    device->raise(ser::EV_RING);
    ASSERT_TRUE(logged(5));
    EXPECT_EQ(log.entries().back(), "Ring");
}

TEST_F(ScriptedPort, EmptyEventsOpenWithoutThread) {
    TComPort port;
    log.attach(port);
    port.Events = {};
    port.setConnected(true);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(threadCount(), 0);
    for (const auto& c : device->calls())
        EXPECT_EQ(c.rfind("setEventMask", 0), std::string::npos);
    log.clear();
    device->setModemStatus(ser::MS_CTS_ON);
    device->receive("x");
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(log.size(), 0u);
    EXPECT_EQ(port.BytesWaiting(), 1u);
}

TEST_F(ScriptedPort, SynchronisedDeliveries) {
    {
        TComPort port(&mainThread);
        port.setSyncMethod(smWindowSync);
        log.attach(port);
        port.setConnected(true);
        log.clear();
        const int before = mainThread.posted;
        device->setModemStatus(ser::MS_RLSD_ON);
        ASSERT_TRUE(mainThread.queue.processUntil([&] { return log.size() == 1; }, 2000ms));
        device->setModemStatus(ser::MS_RLSD_ON | ser::MS_RING_ON);
        ASSERT_TRUE(mainThread.queue.processUntil([&] { return log.size() == 2; }, 2000ms));
        EXPECT_EQ(mainThread.posted - before, 2); // one message per event
        EXPECT_EQ(log.entries(), (Log{"RLSD 1", "Ring"}));

        // A failing handler goes to the application's handler; events go on.
        std::vector<std::string> shown;
        setApplicationExceptionHandler([&](const std::exception& e) { shown.push_back(e.what()); });
        port.OnBreak = [](auto*) { throw std::runtime_error("handler failed"); };
        device->lineBreak();
        ASSERT_TRUE(mainThread.queue.processUntil([&] { return shown.size() == 1; }, 2000ms));
        EXPECT_EQ(shown.front(), "handler failed");
        device->setModemStatus(0);
        ASSERT_TRUE(mainThread.queue.processUntil([&] { return log.size() == 3; }, 2000ms));
        setApplicationExceptionHandler({});
        port.setConnected(false);
    }
    {
        // Thread-synchronised: a failing handler ends the event thread.
        TComPort port(&mainThread);
        log.attach(port);
        port.setConnected(true);
        log.clear();
        port.OnRing = [](auto*) { throw std::runtime_error("handler failed"); };
        device->setModemStatus(ser::MS_RING_ON);
        ASSERT_TRUE(
            mainThread.queue.processUntil([] { return threadCount() == 0; }, 2000ms));
        device->setModemStatus(ser::MS_CTS_ON);
        mainThread.queue.processUntil([] { return false; }, 20ms);
        EXPECT_EQ(log.size(), 0u);
        port.setConnected(false);
    }
}

TEST_F(ScriptedPort, FailingCallsRaiseTheirMessages) {
    TComPort port;
    port.setSyncMethod(smNone);
    log.attach(port);

    const std::pair<Call, int> openFailures[] = {
        {Call::Open, 1}, {Call::SetupQueues, 9}, {Call::SetState, 7}, {Call::SetTimeouts, 8}};
    for (auto [call, message] : openFailures) {
        log.clear();
        device->failNext(call, 5);
        EComPort e = raised([&] { port.setConnected(true); });
        EXPECT_EQ(e.MessageNumber(), message);
        EXPECT_EQ(e.WindowsError(), 5);
        EXPECT_FALSE(port.Connected());
        EXPECT_EQ(log.entries(), Log{"BeforeOpen"});
    }
    device->failNext(Call::Open, 2);
    EXPECT_STREQ(raised([&] { port.setConnected(true); }).what(),
                 "Unable to open com port (win error code: 2)");

    port.setConnected(true);
    device->failNext(Call::ClearError, 1117);
    EComPort e = raised([&] { port.BytesWaiting(); });
    EXPECT_EQ(e.MessageNumber(), 10);
    EXPECT_STREQ(e.what(), "ClearCommError function failed (win error code: 1117)");
    device->failNext(Call::ClearError, 31);
    EXPECT_EQ(raised([&] { port.TakeLineErrors(); }).MessageNumber(), 10);
    device->failNext(Call::ModemStatus, 31);
    EXPECT_EQ(raised([&] { port.LineSignals(); }).MessageNumber(), 11);
    device->failNext(Call::Read, 1117);
    char buf[4];
    EXPECT_EQ(raised([&] { port.ReceiveBytes(buf, 4); }).MessageNumber(), 3);
    EXPECT_EQ(raised([&] { port.StartRead(buf, 4, nullptr); }).WindowsError(), -1);
    EXPECT_STREQ(raised([&] { port.FinishRequest(nullptr); }).what(), "Invalid Async parameter");

    // A failed re-apply keeps the port open and the new value.
    device->failNext(Call::SetState, 87);
    EXPECT_EQ(raised([&] { port.setBaudRate(br115200); }).MessageNumber(), 7);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.BaudRate(), br115200);
    device->failNext(Call::SetTimeouts, 87);
    EXPECT_EQ(raised([&] { port.Timeouts().setReadTotalConstant(5); }).MessageNumber(), 8);
    device->failNext(Call::SetupQueues, 87);
    EXPECT_EQ(raised([&] { port.Buffer().setInputSize(4096); }).MessageNumber(), 9);

    e = raised([&] { port.setSyncMethod(smWindowSync); });
    EXPECT_EQ(e.MessageNumber(), 14);
    EXPECT_EQ(e.WindowsError(), -1);
    EXPECT_STREQ(e.what(), "Cannot set property while connected");
    port.setSyncMethod(smNone); // the same value is no change

    // A failed abort purge leaves the port open with its thread running.
    log.clear();
    device->failNext(Call::Purge, 6);
    EXPECT_EQ(raised([&] { port.setConnected(false); }).MessageNumber(), 5);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(log.entries(), (Log{"CTS 0", "DSR 0", "RLSD 0", "BeforeClose"}));
    log.clear();
    device->raise(ser::EV_RING);
    ASSERT_TRUE(logged(1));
    port.setConnected(false);
    EXPECT_FALSE(port.Connected());
    port.setSyncMethod(smWindowSync); // accepted while closed
    EXPECT_EQ(port.SyncMethod(), smWindowSync);
}

TEST_F(ScriptedPort, LateOpenFailureClosesThePort) {
    TComPort port;
    port.setSyncMethod(smNone);
    device->failAlways(Call::ModemStatus, 1117);
    EComPort e = raised([&] { port.setConnected(true); });
    EXPECT_EQ(e.MessageNumber(), 11);
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(noEventThreadLeft());
    device->clearFailures();
    port.setConnected(true);
    EXPECT_TRUE(port.Connected());
}

TEST_F(ScriptedPort, LostDeviceEndsThreadAndDestructorAlwaysCloses) {
    {
        TComPort port;
        port.setSyncMethod(smNone);
        log.attach(port);
        port.setConnected(true);
        device->hangUp();
        EXPECT_TRUE(noEventThreadLeft(100ms));
        EXPECT_FALSE(port.Connected()) << "a lost device leaves the port closed";
        log.clear();
        device->raise(ser::EV_RING);
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(log.size(), 0u);
        // A close now reports nothing but lets go of the ended thread and of
        // the device (ours and the opener's are all that is left).
        EXPECT_GT(device.use_count(), 2);
        port.Deactivate();
        EXPECT_FALSE(port.Connected());
        EXPECT_EQ(log.size(), 0u);
        EXPECT_EQ(device.use_count(), 2);
    }
    device = std::make_shared<ScriptedSerialDevice>();
    platform::ScopedSerialOpener other(ScriptedSerialDevice::openerFor(device));
    {
        TComPort port;
        port.setConnected(true);
        device->failAlways(Call::Purge, 31);
    } // no exception; thread stopped, device let go
    EXPECT_TRUE(noEventThreadLeft());
    EXPECT_EQ(device.use_count(), 2); // ours and the opener's
}

TEST_F(ScriptedPort, WritersApplyOnlyChangedValuesWhileOpen) {
    TComPort port;
    port.setSyncMethod(smNone);
    port.setBaudRate(br19200); // closed: only stored
    port.Timeouts().setReadTotalConstant(7);
    EXPECT_TRUE(device->calls().empty());
    port.setConnected(true);
    EXPECT_EQ(device->state().BaudRate, 19200u);
    EXPECT_EQ(device->timeouts().ReadTotalTimeoutConstant, 7u);

    device->clearCalls();
    port.setBaudRate(br19200);
    port.setCustomBaudRate(31250); // stored and applied, but the named rate holds
    EXPECT_EQ(device->state().BaudRate, 19200u);
    port.setBaudRate(brCustom);
    EXPECT_EQ(device->state().BaudRate, 31250u);
    port.FlowControl().setFlowControl(fcNone); // no comparison: applied again
    port.Buffer().setInputSize(2049);
    port.Buffer().setInputSize(2048);
    EXPECT_EQ(device->calls(),
              (Log{"setState 19200", "setState 31250", "setState 31250", "setupQueues 2048 1024"}));

    // Changing the port reopens with the same settings, in close-open order.
    EventLog order;
    port.OnBeforeClose = [&](auto*) { order.add("BeforeClose"); };
    port.OnAfterClose = [&](auto*) { order.add("AfterClose"); };
    port.OnBeforeOpen = [&](auto*) { order.add("BeforeOpen"); };
    port.OnAfterOpen = [&](auto*) { order.add("AfterOpen"); };
    device->clearCalls();
    port.setPort("COM1");
    port.setPort("/dev/ttyUSB0");
    EXPECT_EQ(order.entries(), (Log{"BeforeClose", "AfterClose", "BeforeOpen", "AfterOpen"}));
    EXPECT_EQ(device->openedPath(), "/dev/ttyUSB0");
    EXPECT_EQ(device->state().BaudRate, 31250u);
    port.setConnected(false);
}

TEST_F(ScriptedPort, LoadingOpensOnceLoadedAndShowsFailures) {
    std::vector<std::string> shown;
    setApplicationExceptionHandler([&](const std::exception& e) { shown.push_back(e.what()); });
    {
        TComPort port;
        port.setSyncMethod(smNone);
        port.BeginLoading();
        port.setConnected(true);
        port.setBaudRate(br38400);
        EXPECT_TRUE(device->calls().empty());
        port.Loaded();
        EXPECT_TRUE(port.Connected());
        EXPECT_EQ(device->state().BaudRate, 38400u);
    }
    {
        TComPort port;
        port.BeginLoading();
        port.setConnected(true);
        device->failNext(Call::Open, 2);
        port.Loaded();
        EXPECT_FALSE(port.Connected());
        EXPECT_EQ(shown, Log{"Unable to open com port (win error code: 2)"});
    }
    setApplicationExceptionHandler({});
}

TEST(ComPortNames, ComNamesMapThroughTheTable) {
    EXPECT_EQ(platform::serialDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(platform::serialDevicePath("com12"), "/dev/ttyS11");
    EXPECT_EQ(platform::serialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(platform::serialDevicePath("COM0"), "");
    EXPECT_EQ(platform::serialDevicePath("COM"), "");
    EXPECT_EQ(platform::serialDevicePath("COM1x"), "");
    EXPECT_EQ(platform::serialDevicePath("ttyS0"), "");
    platform::setComPortPath(3, "/dev/ttyUSB1");
    EXPECT_EQ(platform::serialDevicePath("COM3"), "/dev/ttyUSB1");
    EXPECT_EQ(platform::serialDevicePath("COM4"), "/dev/ttyS3");
    platform::clearComPortPaths();
    EXPECT_EQ(platform::serialDevicePath("COM3"), "/dev/ttyS2");

    TComPort port;
    port.setPort("LPT1");
    try {
        port.setConnected(true);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.WindowsError(), 2);
    }

    EXPECT_EQ(platform::windowsErrorFromErrno(ENOENT), 2);
    EXPECT_EQ(platform::windowsErrorFromErrno(ENXIO), 2);
    EXPECT_EQ(platform::windowsErrorFromErrno(EBUSY), 5);
    EXPECT_EQ(platform::windowsErrorFromErrno(EWOULDBLOCK), 5);
    EXPECT_EQ(platform::windowsErrorFromErrno(EINVAL), 87);
    EXPECT_EQ(platform::windowsErrorFromErrno(EIO), 1117);
    EXPECT_EQ(platform::windowsErrorFromErrno(ENOSPC), 31);
}

TEST_F(ScriptedPort, HandlersAndParityCheckChangeWhileEventsArrive) {
    TComPort port;
    port.setSyncMethod(smNone);
    port.setConnected(true);
    std::atomic<int> rings{0}, errors{0};
    std::thread script([&] {
        for (int i = 0; i < 200; ++i) {
            device->raise(ser::EV_RING);
            device->lineErrors(ser::CE_RXPARITY);
        }
    });
    for (int i = 0; i < 200; ++i) {
        if (i % 2)
            port.OnRing = [&](auto*) { ++rings; };
        else
            port.OnRing = nullptr;
        port.OnError = [&](auto*, TComErrors) { ++errors; };
        port.Parity().setCheck(i % 2 == 0);
    }
    script.join();
    port.OnRing = [&](auto*) { ++rings; };
    const int before = rings;
    device->raise(ser::EV_RING);
    EXPECT_TRUE(waitUntil([&] { return rings > before; }));
    port.setConnected(false);
}
