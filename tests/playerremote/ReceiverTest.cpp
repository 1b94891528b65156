// The receiver's bit rate, UART base and register writes.
#include "playerremote/Receiver.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

using namespace pmp3p;
using W = RecordingRegisters::Write;

TEST(Receiver, BitRateFromPeriod) {
    Bitrate b = berechneBitrate(600);
    EXPECT_EQ(b.Teiler, 69u);
    EXPECT_EQ(b.BaudRate, CPort::br1200);
    EXPECT_EQ(frequenzText(b.f), "1666.66666666667");
    b = berechneBitrate(889);
    EXPECT_EQ(b.Teiler, 102u);
    EXPECT_EQ(b.BaudRate, CPort::br600);
    b = berechneBitrate(1000);
    EXPECT_EQ(b.Teiler, 115u);
    EXPECT_EQ(b.BaudRate, CPort::br600);
    EXPECT_EQ(frequenzText(b.f), "1000");
    EXPECT_EQ(berechneBitrate(2217).Teiler, 255u);
    EXPECT_EQ(berechneBitrate(2218).Teiler, 256u);
    EXPECT_EQ(berechneBitrate(8).Teiler, 0u);
    EXPECT_EQ(berechneBitrate(1).BaudRate, CPort::br19200);
    EXPECT_EQ(berechneBitrate(10000).BaudRate, CPort::br110);
    EXPECT_EQ(berechneBitrate(3333).BaudRate, CPort::br300);
    EXPECT_EQ(berechneBitrate(52).BaudRate, CPort::br19200); // 14400 is never chosen
    EXPECT_EQ(berechneBitrate(100).BaudRate, CPort::br9600);
    EXPECT_EQ(berechneBitrate(1000000).Teiler, 115200u);
    EXPECT_THROW(berechneBitrate(0), EDivByZero);
    EXPECT_THROW(berechneBitrate(-600), EDivByZero);
    EXPECT_THROW(berechneBitrate(1000001), EDivByZero);
}

TEST(Receiver, RegisterWritesInOrderAtTheBase) {
    EXPECT_EQ(uartBasis(1), 0x3F8);
    EXPECT_EQ(uartBasis(2), 0x2F8);
    EXPECT_EQ(uartBasis(3), 0x3E8);
    EXPECT_EQ(uartBasis(4), 0x2F8);
    EXPECT_EQ(wortlaengenCode(0), 0);
    EXPECT_EQ(wortlaengenCode(2), 2);
    EXPECT_EQ(wortlaengenCode(-1), 3);

    RecordingRegisters r;
    schreibeEmpfaengerRegister(r, 0x3F8, 3, 69);
    // The divisor's high byte is written while the latch is open: the driver's
    // value for its standard rate must not stay.
    EXPECT_EQ(r.writes,
              (std::vector<W>{{0x3FB, 0x83}, {0x3F8, 69}, {0x3F9, 0}, {0x3FB, 0x03}, {0x3F9, 5}}));
    r.writes.clear();
    schreibeEmpfaengerRegister(r, 0x2F8, 1, 0);
    EXPECT_EQ(r.writes,
              (std::vector<W>{{0x2FB, 0x81}, {0x2F8, 0}, {0x2F9, 0}, {0x2FB, 0x01}, {0x2F9, 5}}));
    r.writes.clear();
    EXPECT_THROW(schreibeEmpfaengerRegister(r, 0x2F8, 3, 256), ERangeError);
    EXPECT_TRUE(r.writes.empty());
}

TEST(Receiver, WithoutRegisterAccessThePortTakesExactRateAndWidth) {
    CPort::TComPort port;
    port.setBaudRate(CPort::br1200);
    DeviceRegisters d(port, 0x2F8);
    schreibeEmpfaengerRegister(d, 0x2F8, 1, 69);
    EXPECT_EQ(port.BaudRate(), CPort::brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 115200 / 69);
    EXPECT_EQ(port.DataBits(), CPort::dbSix);
    // Divisor 0 has no rate: the standard rate stays.
    CPort::TComPort p2;
    p2.setBaudRate(CPort::br19200);
    DeviceRegisters d2(p2, 0x3F8);
    schreibeEmpfaengerRegister(d2, 0x3F8, 3, 0);
    EXPECT_EQ(p2.BaudRate(), CPort::br19200);
    EXPECT_EQ(p2.DataBits(), CPort::dbEight);
}
