// Settings objects, the device control block and timeouts they give, the
// event masks and the error texts.
#include "comport/CPort.h"

#include <gtest/gtest.h>

using namespace CPort;
namespace ser = platform::serial;

TEST(ComSettings, BufferSizesDropOddBytesAndAssignmentCopies) {
    TComBuffer b;
    EXPECT_EQ(b.InputSize(), 1024);
    EXPECT_EQ(b.OutputSize(), 1024);
    b.setInputSize(2049);
    EXPECT_EQ(b.InputSize(), 2048);
    b.setInputSize(1);
    EXPECT_EQ(b.InputSize(), 0);
    b.setInputSize(-3); // remainder -1: kept
    EXPECT_EQ(b.InputSize(), -3);
    b.setOutputSize(1025);
    EXPECT_EQ(b.OutputSize(), 1024);

    TComPort port;
    port.setBuffer(b);
    EXPECT_EQ(port.Buffer().InputSize(), -3);
    EXPECT_EQ(port.Buffer().OutputSize(), 1024);
}

TEST(ComSettings, AssignCopiesFieldsAndRejectsOtherClasses) {
    TComPort b;
    TComTimeouts t;
    t.setReadInterval(5);
    t.setWriteTotalConstant(-1);
    b.setTimeouts(t);
    EXPECT_EQ(b.Timeouts().ReadInterval(), 5);
    EXPECT_EQ(b.Timeouts().WriteTotalConstant(), -1);

    TComParity p;
    try {
        b.Timeouts().Assign(p);
        FAIL() << "assigned";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TComParity to a TComTimeouts");
    }
    EXPECT_EQ(b.Timeouts().ReadInterval(), 5);
}

TEST(ComSettings, FlowControlIsDerivedAndPreset) {
    TComFlowControl f;
    EXPECT_EQ(f.FlowControl(), fcNone);
    f.setControlDTR(dtrEnable);
    f.setFlowControl(fcHardware);
    EXPECT_EQ(f.ControlDTR(), dtrEnable); // DTR takes no part
    EXPECT_EQ(f.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(f.OutCTSFlow());
    EXPECT_EQ(f.FlowControl(), fcHardware);
    f.setOutDSRFlow(true);
    f.setDSRSensitivity(true);
    EXPECT_EQ(f.FlowControl(), fcHardware);
    f.setFlowControl(fcSoftware);
    EXPECT_FALSE(f.OutCTSFlow());
    EXPECT_EQ(f.ControlRTS(), rtsDisable);
    EXPECT_TRUE(f.XonXoffIn() && f.XonXoffOut());
    EXPECT_EQ(f.FlowControl(), fcSoftware);
    f.setXonXoffIn(false);
    EXPECT_EQ(f.FlowControl(), fcCustom);
    f.setFlowControl(fcCustom); // changes nothing
    EXPECT_TRUE(f.XonXoffOut());
    EXPECT_FALSE(f.XonXoffIn());
    f.setFlowControl(fcNone);
    EXPECT_EQ(f.FlowControl(), fcNone);
    f.setControlRTS(rtsEnable);
    EXPECT_EQ(f.FlowControl(), fcCustom);
}

TEST(ComSettings, DeviceControlBlockFollowsTheSettings) {
    TComPort port;
    platform::DeviceControlBlock d = port.DeviceControl();
    EXPECT_EQ(d.DCBlength, 28u);
    EXPECT_EQ(d.BaudRate, 9600u);
    EXPECT_EQ(d.Flags, ser::fBinary);
    EXPECT_EQ(d.XonLim, 256);
    EXPECT_EQ(d.XoffLim, 256);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.Parity, 0);
    EXPECT_EQ(d.StopBits, 0);
    EXPECT_EQ(d.XonChar, 17);
    EXPECT_EQ(d.XoffChar, 19);
    EXPECT_EQ(d.ErrorChar, 0);
    EXPECT_EQ(d.EofChar, 0);

    // Replace alone sets neither the parity check nor the error character.
    port.Parity().setReplace(true);
    port.Parity().setReplaceChar('?');
    d = port.DeviceControl();
    EXPECT_EQ(d.Flags, ser::fBinary);
    EXPECT_EQ(d.ErrorChar, 0);
    port.Parity().setCheck(true);
    d = port.DeviceControl();
    EXPECT_EQ(d.Flags, ser::fBinary | ser::fParity | ser::fErrorChar);
    EXPECT_EQ(d.ErrorChar, '?');

    port.setCustomBaudRate(31250);
    EXPECT_EQ(port.DeviceControl().BaudRate, 9600u);
    port.setBaudRate(brCustom);
    EXPECT_EQ(port.DeviceControl().BaudRate, 31250u);
    port.setBaudRate(br256000);
    port.setDataBits(dbFive);
    port.setStopBits(sbOne5StopBits);
    port.Parity().setBits(prSpace);
    port.setDiscardNull(true);
    port.setEventChar('\n');
    port.Buffer().setInputSize(4096);
    port.FlowControl().setControlRTS(rtsToggle);
    port.FlowControl().setControlDTR(dtrHandshake);
    port.FlowControl().setDSRSensitivity(true);
    port.FlowControl().setTxContinueOnXoff(true);
    port.FlowControl().setOutDSRFlow(true);
    port.FlowControl().setXonXoffIn(true);
    d = port.DeviceControl();
    EXPECT_EQ(d.BaudRate, 256000u);
    EXPECT_EQ(d.ByteSize, 5);
    EXPECT_EQ(d.StopBits, 1);
    EXPECT_EQ(d.Parity, 4);
    EXPECT_EQ(d.EvtChar, '\n');
    EXPECT_EQ(d.XonLim, 1024);
    EXPECT_EQ(d.Flags, 0x1u | 0x2 | 0x8 | 0x20 | 0x40 | 0x80 | 0x200 | 0x400 | 0x800 | 0x3000);

    TComTimeouts t;
    t.setReadTotalMultiplier(-1);
    t.setReadTotalConstant(-2);
    port.setTimeouts(t);
    const platform::CommTimeouts c = port.CommTimeoutsRecord();
    EXPECT_EQ(c.ReadIntervalTimeout, ser::MAXDWORD);
    EXPECT_EQ(c.ReadTotalTimeoutMultiplier, ser::MAXDWORD);
    EXPECT_EQ(c.ReadTotalTimeoutConstant, 0xFFFFFFFEu);
    EXPECT_EQ(c.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(c.WriteTotalTimeoutConstant, 1000u);
}

TEST(ComSettings, EventMasks) {
    EXPECT_EQ(EventsToMask(AllComEvents), 0x5FFu);
    EXPECT_EQ(EventsToMask({evRxChar, evRing, evRx80Full}), 0x501u);
    EXPECT_EQ(EventsToMask({evError, evRLSD}), 0xA0u);
    EXPECT_EQ(MaskToEvents(0x5FF), AllComEvents);
    EXPECT_EQ(MaskToEvents(0x200 | 0x800 | 0x40), (TComEvents{evBreak})); // unknown bits ignored
    for (std::uint32_t bit = 1; bit <= 0x400; bit <<= 1)
        if (bit != 0x200) {
            EXPECT_EQ(EventsToMask(MaskToEvents(bit)), bit);
        }
}

TEST(ComErrors, MessagesWithAndWithoutCode) {
    EComPort e = EComPort::CreateWithWinCode(1, 2);
    EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(e.MessageNumber(), 1);
    EXPECT_EQ(e.WindowsError(), 2);
    EXPECT_STREQ(EComPort::CreateWithWinCode(8, -5).what(),
                 "SetCommTimeouts failed (win error code: -5)");
    e = EComPort::CreateNoWinCode(14);
    EXPECT_STREQ(e.what(), "Cannot set property while connected");
    EXPECT_EQ(e.WindowsError(), -1);
    EXPECT_EQ(EComPort::MessageText(23), "Registry error");
    EXPECT_EQ(EComPort::MessageText(19), "Cannot change led state if ComPort is selected");
    EXPECT_EQ(EComPort::MessageText(0), "");
    EXPECT_EQ(EComPort::MessageText(24), "");
}
