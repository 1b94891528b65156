// Settings texts and the settings store in INI sections and registry keys.
#include "comport/CPort.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"
#include "platform/ScriptedSerialDevice.h"
#include "support/SaveFaults.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace CPort;

namespace {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "comstoreXXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

constexpr TStoredSettings allGroups{ssBasic,    ssFlowControl, ssBuffer,
                                    ssTimeouts, ssParity,      ssOthers};

// A port with every stored setting away from its initial value.
void changeEverything(TComPort& p) {
    p.setPort("/dev/ttyUSB3");
    p.setBaudRate(brCustom);
    p.setCustomBaudRate(31250);
    p.setStopBits(sbTwoStopBits);
    p.setDataBits(dbSeven);
    p.Parity().setBits(prMark);
    p.setEventChar(' ');
    p.setDiscardNull(true);
    p.Parity().setCheck(true);
    p.Parity().setReplace(true);
    p.Parity().setReplaceChar('\xE9');
    p.Buffer().setOutputSize(512);
    p.Buffer().setInputSize(4096);
    p.Timeouts().setReadInterval(3);
    p.Timeouts().setReadTotalConstant(-1);
    p.Timeouts().setReadTotalMultiplier(2);
    p.Timeouts().setWriteTotalConstant(0);
    p.Timeouts().setWriteTotalMultiplier(7);
    p.FlowControl().setControlRTS(rtsToggle);
    p.FlowControl().setControlDTR(dtrHandshake);
    p.FlowControl().setDSRSensitivity(true);
    p.FlowControl().setOutCTSFlow(true);
    p.FlowControl().setOutDSRFlow(true);
    p.FlowControl().setTxContinueOnXoff(true);
    p.FlowControl().setXonXoffIn(true);
    p.FlowControl().setXonXoffOut(false);
    p.FlowControl().setXoffChar('X');
    p.FlowControl().setXonChar('#');
}

void expectSameSettings(const TComPort& a, const TComPort& b) {
    EXPECT_EQ(a.Port(), b.Port());
    EXPECT_EQ(a.BaudRate(), b.BaudRate());
    EXPECT_EQ(a.CustomBaudRate(), b.CustomBaudRate());
    EXPECT_EQ(a.StopBits(), b.StopBits());
    EXPECT_EQ(a.DataBits(), b.DataBits());
    EXPECT_EQ(a.EventChar(), b.EventChar());
    EXPECT_EQ(a.DiscardNull(), b.DiscardNull());
    EXPECT_EQ(a.DeviceControl(), b.DeviceControl()); // parity, flow control, buffer
    EXPECT_EQ(a.CommTimeoutsRecord(), b.CommTimeoutsRecord());
}

} // namespace

TEST(ComTexts, EnumerationTexts) {
    EXPECT_EQ(BaudRateToText(brCustom), "Custom");
    EXPECT_EQ(BaudRateToText(br256000), "256000");
    EXPECT_EQ(TextToBaudRate("custom"), brCustom);
    EXPECT_EQ(TextToBaudRate("14400"), br14400);
    EXPECT_EQ(TextToBaudRate("9601"), br9600);
    EXPECT_EQ(TextToBaudRate(""), br9600);
    EXPECT_EQ(StopBitsToText(sbOne5StopBits), "1.5");
    EXPECT_EQ(TextToStopBits("1.50"), sbOneStopBit);
    EXPECT_EQ(TextToStopBits("2"), sbTwoStopBits);
    EXPECT_EQ(DataBitsToText(dbSix), "6");
    EXPECT_EQ(TextToDataBits("5"), dbFive);
    EXPECT_EQ(TextToDataBits("9"), dbEight);
    EXPECT_EQ(ParityToText(prSpace), "Space");
    EXPECT_EQ(TextToParity("MARK"), prMark);
    EXPECT_EQ(TextToParity("x"), prNone);
    EXPECT_EQ(FlowControlToText(fcSoftware), "Software");
    EXPECT_EQ(TextToFlowControl("hardware"), fcHardware);
    EXPECT_EQ(TextToFlowControl("RTS/CTS"), fcCustom);
    EXPECT_EQ(DTRToText(dtrHandshake), "Handshake");
    EXPECT_EQ(TextToDTR("Toggle"), dtrDisable);
    EXPECT_EQ(TextToDTR("enable"), dtrEnable);
    EXPECT_EQ(RTSToText(rtsToggle), "Toggle");
    EXPECT_EQ(TextToRTS("TOGGLE"), rtsToggle);
    EXPECT_EQ(BoolToText(true), "Yes");
    EXPECT_EQ(BoolToText(false), "No");
    for (const char* t : {"yes", "YES", "Yes"})
        EXPECT_TRUE(TextToBool(t)) << t;
    for (const char* t : {"1", "true", "", "Y", "yess"})
        EXPECT_FALSE(TextToBool(t)) << t;
}

TEST(ComTexts, Characters) {
    EXPECT_EQ(CharToText(' '), "#32");
    EXPECT_EQ(CharToText('A'), "A");
    EXPECT_EQ(CharToText('!'), "!");
    EXPECT_EQ(CharToText('\x7F'), "\x7F");
    EXPECT_EQ(CharToText('\x80'), "#128");
    EXPECT_EQ(CharToText('\0'), "#0");
    EXPECT_EQ(CharToText('\xFF'), "#255");
    EXPECT_EQ(TextToChar("#13"), '\r');
    EXPECT_EQ(TextToChar("#"), '#');
    EXPECT_EQ(TextToChar(""), '\0');
    EXPECT_EQ(TextToChar("#A"), '\0');
    EXPECT_EQ(TextToChar("#300"), static_cast<char>(44));
    EXPECT_EQ(TextToChar("#-1"), '\xFF');
    EXPECT_EQ(TextToChar("#99999999999"), '\0');
    EXPECT_EQ(TextToChar("Q"), 'Q');
    EXPECT_EQ(TextToChar("QR"), 'Q');
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(TextToChar(CharToText(static_cast<char>(c))), static_cast<char>(c)) << c;
}

TEST(ComStore, IniSectionHoldsTheChosenGroupsInOrder) {
    TempDir dir;
    platform::IniFile ini(dir.path() / "settings.ini");
    TComPort port;
    port.StoredSettings = allGroups;
    port.SaveToIni(ini);
    EXPECT_EQ(fileBytes(ini.path()),
              "[ComPort1]\r\n"
              "Port=COM1\r\nBaudRate=9600\r\nStopBits=1\r\nDataBits=8\r\nParity=None\r\n"
              "FlowControl=None\r\n"
              "EventChar=#0\r\nDiscardNull=No\r\n"
              "Parity.Check=No\r\nParity.Replace=No\r\nParity.ReplaceChar=#0\r\n"
              "Buffer.OutputSize=1024\r\nBuffer.InputSize=1024\r\n"
              "Timeouts.ReadInterval=-1\r\nTimeouts.ReadTotalConstant=0\r\n"
              "Timeouts.ReadTotalMultiplier=0\r\nTimeouts.WriteTotalConstant=1000\r\n"
              "Timeouts.WriteTotalMultiplier=100\r\n"
              "FlowControl.ControlRTS=Disable\r\nFlowControl.ControlDTR=Disable\r\n"
              "FlowControl.DSRSensitivity=No\r\nFlowControl.OutCTSFlow=No\r\n"
              "FlowControl.OutDSRFlow=No\r\nFlowControl.TxContinueOnXoff=No\r\n"
              "FlowControl.XonXoffIn=No\r\nFlowControl.XonXoffOut=No\r\n"
              "FlowControl.XoffChar=#19\r\nFlowControl.XonChar=#17\r\n");

    // The basic group alone, with the custom rate after the rate.
    platform::IniFile basic(dir.path() / "basic.ini");
    TComPort custom;
    custom.Name = "Receiver";
    custom.setBaudRate(brCustom);
    custom.setCustomBaudRate(31250);
    custom.SaveToIni(basic);
    EXPECT_EQ(fileBytes(basic.path()),
              "[Receiver]\r\nPort=COM1\r\nBaudRate=Custom\r\nCustomBaudRate=31250\r\n"
              "StopBits=1\r\nDataBits=8\r\nParity=None\r\nFlowControl=None\r\n");

    // Nothing chosen: nothing written.
    platform::IniFile none(dir.path() / "none.ini");
    custom.StoredSettings = {};
    custom.SaveToIni(none);
    EXPECT_FALSE(std::filesystem::exists(none.path()));
}

TEST(ComStore, IniRoundTripAndMissingKeys) {
    TempDir dir;
    platform::IniFile ini(dir.path() / "settings.ini");
    TComPort saved;
    saved.StoredSettings = allGroups;
    changeEverything(saved);
    saved.SaveToIni(ini);

    TComPort loaded;
    loaded.StoredSettings = allGroups;
    loaded.LoadFromIni(ini);
    expectSameSettings(saved, loaded);
    EXPECT_EQ(loaded.FlowControl().FlowControl(), fcCustom);

    // Nothing chosen: nothing read.
    TComPort untouched;
    untouched.StoredSettings = {};
    untouched.LoadFromIni(ini);
    expectSameSettings(TComPort(), untouched);

    // A section without the keys keeps every value, but a custom rate takes 9600.
    saved.Name = "Other";
    saved.LoadFromIni(ini);
    EXPECT_EQ(saved.Port(), "/dev/ttyUSB3");
    EXPECT_EQ(saved.BaudRate(), brCustom);
    EXPECT_EQ(saved.CustomBaudRate(), 9600);
    EXPECT_EQ(saved.Timeouts().ReadTotalConstant(), -1);
    EXPECT_EQ(saved.FlowControl().XonChar(), '#');
}

// A store is one save: a failure in it leaves the old file whole, with none
// of the new values. Texts with blanks or quotes at their ends come back.
TEST(ComStore, StoringIsOneSaveAndTextsComeBackAsTheyWere) {
    using testsupport::SaveFault;
    TempDir dir;
    platform::IniFile ini(dir.path() / "settings.ini");
    TComPort saved;
    saved.StoredSettings = allGroups;
    saved.SaveToIni(ini);
    const std::string alt = fileBytes(ini.path());
    changeEverything(saved);
    {
        SaveFault fault(SaveFault::Write);
        EXPECT_THROW(saved.SaveToIni(ini), EInOutError);
        EXPECT_EQ(fileBytes(ini.path()), alt);
    }
    {
        // Values stored one by one would be half old, half new here.
        SaveFault fault(SaveFault::Write, 3);
        saved.SaveToIni(ini);
        TComPort loaded;
        loaded.StoredSettings = allGroups;
        loaded.LoadFromIni(ini);
        expectSameSettings(saved, loaded);
    }
    {
        saved.setPort("/dev/ttyS1");
        SaveFault counting;
        saved.SaveToIni(ini);
        EXPECT_EQ(counting.saves(), 1);
    }

    platform::IniRegistry reg(dir.path() / "registry.ini");
    ASSERT_TRUE(reg.openKey("Software\\Tavix", true));
    saved.SaveToRegistry(reg);
    const std::string regAlt = fileBytes(reg.file());
    saved.setPort("/dev/ttyS9");
    {
        SaveFault fault(SaveFault::Rename);
        EXPECT_THROW(saved.SaveToRegistry(reg), EInOutError);
        EXPECT_EQ(fileBytes(reg.file()), regAlt);
    }
    {
        SaveFault counting;
        saved.SaveToRegistry(reg);
        EXPECT_EQ(counting.saves(), 1);
    }

    for (const std::string port : {" ", "\"COM1\"", "\"\"COM1\"\"", " /dev/ttyS0 ", "'x"}) {
        TComPort p;
        p.setPort(port);
        p.SaveToIni(ini);
        p.SaveToRegistry(reg);
        TComPort fromIni, fromRegistry;
        fromIni.LoadFromIni(ini);
        fromRegistry.LoadFromRegistry(reg);
        EXPECT_EQ(fromIni.Port(), port);
        EXPECT_EQ(fromRegistry.Port(), port);
    }
}

TEST(ComStore, IniTextsThatMatchNothingAndLoadingIntoAnOpenPort) {
    TempDir dir;
    platform::IniFile ini(dir.path() / "settings.ini");
    ini.writeString("ComPort1", "Port", "/dev/ttyUSB7");
    ini.writeString("ComPort1", "BaudRate", "custom");
    ini.writeString("ComPort1", "StopBits", "1.50");
    ini.writeString("ComPort1", "Parity", "MARK");
    ini.writeString("ComPort1", "FlowControl", "RTS");
    ini.writeString("ComPort1", "FlowControl.ControlDTR", "Toggle");

    auto device = std::make_shared<platform::ScriptedSerialDevice>();
    platform::ScopedSerialOpener opener(platform::ScriptedSerialDevice::openerFor(device));
    TComPort port;
    port.Events = {};
    port.StoredSettings = {ssBasic, ssFlowControl};
    port.setStopBits(sbTwoStopBits);
    port.FlowControl().setControlDTR(dtrEnable);
    port.setConnected(true);
    device->clearCalls();
    port.LoadFromIni(ini);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.Parity().Bits(), prMark);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone); // fcCustom presets nothing
    EXPECT_EQ(port.FlowControl().ControlDTR(), dtrDisable);
    // The port reopens under its new name before the other values apply.
    const auto calls = device->calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "purge 3");
    EXPECT_EQ(calls[1], "open /dev/ttyUSB7");
    EXPECT_EQ(device->state().Parity, 3);
    EXPECT_EQ(device->state().BaudRate, 9600u);
    port.setConnected(false);
}

TEST(ComStore, RegistryKeyRoundTripAndMissingValues) {
    TempDir dir;
    platform::IniRegistry reg(dir.path() / "cfg" / "registry.ini");
    EXPECT_FALSE(reg.openKey("Software\\Tavix\\Port", false));
    ASSERT_TRUE(reg.openKey("\\Software\\Tavix\\Port\\", true));
    TComPort saved;
    saved.StoredSettings = {ssBasic, ssBuffer, ssOthers};
    changeEverything(saved);
    saved.SaveToRegistry(reg);
    EXPECT_EQ(fileBytes(reg.file()),
              "[Software\\Tavix\\Port]\r\n"
              "Port=sz:/dev/ttyUSB3\r\nBaudRate=sz:Custom\r\n"
              "CustomBaudRate=dword:00007A12\r\nStopBits=sz:2\r\nDataBits=sz:7\r\n"
              "Parity=sz:Mark\r\nFlowControl=sz:Custom\r\n"
              "EventChar=sz:#32\r\nDiscardNull=sz:Yes\r\n"
              "Buffer.OutputSize=dword:00000200\r\nBuffer.InputSize=dword:00001000\r\n");

    TComPort loaded;
    loaded.StoredSettings = saved.StoredSettings;
    platform::IniRegistry again(reg.file());
    ASSERT_TRUE(again.openKey("software\\tavix\\port", false));
    loaded.LoadFromRegistry(again);
    EXPECT_EQ(loaded.Port(), "/dev/ttyUSB3");
    EXPECT_EQ(loaded.CustomBaudRate(), 31250);
    EXPECT_EQ(loaded.StopBits(), sbTwoStopBits);
    EXPECT_EQ(loaded.Parity().Bits(), prMark);
    EXPECT_EQ(loaded.EventChar(), ' ');
    EXPECT_TRUE(loaded.DiscardNull());
    EXPECT_EQ(loaded.Buffer().InputSize(), 4096);
    EXPECT_EQ(loaded.Buffer().OutputSize(), 512);

    // No defaults: a missing text reads empty, a missing number raises and
    // ends the load there.
    ASSERT_TRUE(again.openKey("Software\\Tavix\\Empty", true));
    TComPort partial;
    partial.StoredSettings = {ssBasic, ssOthers, ssTimeouts};
    partial.setBaudRate(br19200);
    partial.setEventChar('A');
    EXPECT_THROW(partial.LoadFromRegistry(again), platform::ERegistryException);
    EXPECT_EQ(partial.Port(), "");
    EXPECT_EQ(partial.BaudRate(), br9600);
    EXPECT_EQ(partial.EventChar(), '\0');
    EXPECT_FALSE(partial.DiscardNull());
    EXPECT_EQ(partial.Timeouts().ReadInterval(), -1); // never reached

    // A value of the other type raises too.
    EXPECT_THROW(reg.readInteger("Port"), platform::ERegistryException);
    EXPECT_THROW(reg.readString("CustomBaudRate"), platform::ERegistryException);
    reg.writeInteger("Negative", -2);
    EXPECT_EQ(reg.readInteger("Negative"), -2);
    reg.writeString("Blanks", "  both ends  ");
    EXPECT_EQ(reg.readString("Blanks"), "  both ends  ");
    reg.closeKey();
    EXPECT_THROW(reg.readString("Port"), platform::ERegistryException);
}

TEST(ComStore, RegistryFileLivesInTheConfigurationFolder) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";

    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
    EXPECT_EQ(platform::IniRegistry::defaultFile(), "/tmp/xdg-test/tavix/registry.ini");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(platform::IniRegistry::defaultFile(), "/home/someone/.config/tavix/registry.ini");

    if (oldXdg)
        ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    if (oldHome) ::setenv("HOME", savedHome.c_str(), 1);
}
