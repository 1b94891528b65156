// Settings as texts, and storing them in an INI section or a registry key.
#include "comport/CPort.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"

#include <array>
#include <cstddef>
#include <functional>

namespace CPort {

namespace {

bool sameText(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return i == a.size() && !b[i];
}

template <class E, std::size_t N>
E fromText(const std::array<const char*, N>& texts, const std::string& s, E noMatch) {
    for (std::size_t i = 0; i < N; ++i)
        if (sameText(s, texts[i])) return static_cast<E>(i);
    return noMatch;
}

template <std::size_t N> std::string toText(const std::array<const char*, N>& texts, int v) {
    if (v < 0 || static_cast<std::size_t>(v) >= N) return {};
    return texts[static_cast<std::size_t>(v)];
}

const std::array<const char*, 16> baudTexts = {
    "Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
    "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
const std::array<const char*, 3> stopTexts = {"1", "1.5", "2"};
const std::array<const char*, 4> dataTexts = {"5", "6", "7", "8"};
const std::array<const char*, 5> parityTexts = {"None", "Odd", "Even", "Mark", "Space"};
const std::array<const char*, 4> flowTexts = {"Hardware", "Software", "None", "Custom"};
const std::array<const char*, 3> dtrTexts = {"Disable", "Enable", "Handshake"};
const std::array<const char*, 4> rtsTexts = {"Disable", "Enable", "Handshake", "Toggle"};

// Where values are written, and where they are read from (with the current
// value's form as default where the target has defaults).
class Target {
public:
    virtual ~Target() = default;
    virtual void writeText(const char* key, const std::string& value) = 0;
    virtual void writeNumber(const char* key, std::int32_t value) = 0;
    virtual std::string readText(const char* key, const std::string& def) = 0;
    virtual std::int32_t readNumber(const char* key, std::int32_t def) = 0;
    // Runs the writes of one save so that they reach the store together.
    virtual void writeTogether(const std::function<void()>& writes) = 0;
};

class IniTarget final : public Target {
public:
    IniTarget(platform::IniFile& ini, const std::string& section) : ini_(ini), section_(section) {}
    void writeText(const char* key, const std::string& value) override {
        batch_->writeString(section_, key, value);
    }
    void writeNumber(const char* key, std::int32_t value) override {
        batch_->writeInteger(section_, key, value);
    }
    void writeTogether(const std::function<void()>& writes) override {
        platform::IniBatch batch(ini_);
        batch_ = &batch;
        struct Reset {
            platform::IniBatch*& b;
            ~Reset() { b = nullptr; }
        } reset{batch_};
        writes();
        batch.commit();
    }
    std::string readText(const char* key, const std::string& def) override {
        return ini_.readString(section_, key, def);
    }
    std::int32_t readNumber(const char* key, std::int32_t def) override {
        return ini_.readInteger(section_, key, def);
    }

private:
    platform::IniFile& ini_;
    const std::string& section_;
    platform::IniBatch* batch_ = nullptr;
};

class RegistryTarget final : public Target {
public:
    explicit RegistryTarget(platform::RegistryAccessor& r) : r_(r) {}
    void writeText(const char* key, const std::string& value) override {
        r_.writeString(key, value);
    }
    void writeNumber(const char* key, std::int32_t value) override { r_.writeInteger(key, value); }
    // The registry has no defaults: a missing text reads as the accessor
    // gives it, a missing number raises.
    std::string readText(const char* key, const std::string&) override {
        return r_.readString(key);
    }
    std::int32_t readNumber(const char* key, std::int32_t) override { return r_.readInteger(key); }
    void writeTogether(const std::function<void()>& writes) override { r_.writeTogether(writes); }

private:
    platform::RegistryAccessor& r_;
};

void saveValues(TCustomComPort& p, Target& t) {
    const TStoredSettings s = p.StoredSettings;
    if (s.contains(ssBasic)) {
        t.writeText("Port", p.Port());
        t.writeText("BaudRate", BaudRateToText(p.BaudRate()));
        if (p.BaudRate() == brCustom) t.writeNumber("CustomBaudRate", p.CustomBaudRate());
        t.writeText("StopBits", StopBitsToText(p.StopBits()));
        t.writeText("DataBits", DataBitsToText(p.DataBits()));
        t.writeText("Parity", ParityToText(p.Parity().Bits()));
        t.writeText("FlowControl", FlowControlToText(p.FlowControl().FlowControl()));
    }
    if (s.contains(ssOthers)) {
        t.writeText("EventChar", CharToText(p.EventChar()));
        t.writeText("DiscardNull", BoolToText(p.DiscardNull()));
    }
    if (s.contains(ssParity)) {
        t.writeText("Parity.Check", BoolToText(p.Parity().Check()));
        t.writeText("Parity.Replace", BoolToText(p.Parity().Replace()));
        t.writeText("Parity.ReplaceChar", CharToText(p.Parity().ReplaceChar()));
    }
    if (s.contains(ssBuffer)) {
        t.writeNumber("Buffer.OutputSize", p.Buffer().OutputSize());
        t.writeNumber("Buffer.InputSize", p.Buffer().InputSize());
    }
    if (s.contains(ssTimeouts)) {
        const TComTimeouts& to = p.Timeouts();
        t.writeNumber("Timeouts.ReadInterval", to.ReadInterval());
        t.writeNumber("Timeouts.ReadTotalConstant", to.ReadTotalConstant());
        t.writeNumber("Timeouts.ReadTotalMultiplier", to.ReadTotalMultiplier());
        t.writeNumber("Timeouts.WriteTotalConstant", to.WriteTotalConstant());
        t.writeNumber("Timeouts.WriteTotalMultiplier", to.WriteTotalMultiplier());
    }
    if (s.contains(ssFlowControl)) {
        const TComFlowControl& f = p.FlowControl();
        t.writeText("FlowControl.ControlRTS", RTSToText(f.ControlRTS()));
        t.writeText("FlowControl.ControlDTR", DTRToText(f.ControlDTR()));
        t.writeText("FlowControl.DSRSensitivity", BoolToText(f.DSRSensitivity()));
        t.writeText("FlowControl.OutCTSFlow", BoolToText(f.OutCTSFlow()));
        t.writeText("FlowControl.OutDSRFlow", BoolToText(f.OutDSRFlow()));
        t.writeText("FlowControl.TxContinueOnXoff", BoolToText(f.TxContinueOnXoff()));
        t.writeText("FlowControl.XonXoffIn", BoolToText(f.XonXoffIn()));
        t.writeText("FlowControl.XonXoffOut", BoolToText(f.XonXoffOut()));
        t.writeText("FlowControl.XoffChar", CharToText(f.XoffChar()));
        t.writeText("FlowControl.XonChar", CharToText(f.XonChar()));
    }
}

void save(TCustomComPort& p, Target& t) {
    t.writeTogether([&] { saveValues(p, t); });
}

void load(TCustomComPort& p, Target& t) {
    const TStoredSettings s = p.StoredSettings;
    if (s.contains(ssBasic)) {
        // The port first, so an open port reopens before the rest applies.
        p.setPort(t.readText("Port", p.Port()));
        p.setBaudRate(TextToBaudRate(t.readText("BaudRate", BaudRateToText(p.BaudRate()))));
        if (p.BaudRate() == brCustom) p.setCustomBaudRate(t.readNumber("CustomBaudRate", 9600));
        p.setStopBits(TextToStopBits(t.readText("StopBits", StopBitsToText(p.StopBits()))));
        p.setDataBits(TextToDataBits(t.readText("DataBits", DataBitsToText(p.DataBits()))));
        p.Parity().setBits(TextToParity(t.readText("Parity", ParityToText(p.Parity().Bits()))));
        p.FlowControl().setFlowControl(TextToFlowControl(
            t.readText("FlowControl", FlowControlToText(p.FlowControl().FlowControl()))));
    }
    if (s.contains(ssOthers)) {
        p.setEventChar(TextToChar(t.readText("EventChar", CharToText(p.EventChar()))));
        p.setDiscardNull(TextToBool(t.readText("DiscardNull", BoolToText(p.DiscardNull()))));
    }
    if (s.contains(ssParity)) {
        TComParity& par = p.Parity();
        par.setCheck(TextToBool(t.readText("Parity.Check", BoolToText(par.Check()))));
        par.setReplace(TextToBool(t.readText("Parity.Replace", BoolToText(par.Replace()))));
        par.setReplaceChar(
            TextToChar(t.readText("Parity.ReplaceChar", CharToText(par.ReplaceChar()))));
    }
    if (s.contains(ssBuffer)) {
        TComBuffer& b = p.Buffer();
        b.setOutputSize(t.readNumber("Buffer.OutputSize", b.OutputSize()));
        b.setInputSize(t.readNumber("Buffer.InputSize", b.InputSize()));
    }
    if (s.contains(ssTimeouts)) {
        TComTimeouts& to = p.Timeouts();
        to.setReadInterval(t.readNumber("Timeouts.ReadInterval", to.ReadInterval()));
        to.setReadTotalConstant(t.readNumber("Timeouts.ReadTotalConstant", to.ReadTotalConstant()));
        to.setReadTotalMultiplier(
            t.readNumber("Timeouts.ReadTotalMultiplier", to.ReadTotalMultiplier()));
        to.setWriteTotalConstant(
            t.readNumber("Timeouts.WriteTotalConstant", to.WriteTotalConstant()));
        to.setWriteTotalMultiplier(
            t.readNumber("Timeouts.WriteTotalMultiplier", to.WriteTotalMultiplier()));
    }
    if (s.contains(ssFlowControl)) {
        TComFlowControl& f = p.FlowControl();
        f.setControlRTS(TextToRTS(t.readText("FlowControl.ControlRTS", RTSToText(f.ControlRTS()))));
        f.setControlDTR(TextToDTR(t.readText("FlowControl.ControlDTR", DTRToText(f.ControlDTR()))));
        f.setDSRSensitivity(
            TextToBool(t.readText("FlowControl.DSRSensitivity", BoolToText(f.DSRSensitivity()))));
        f.setOutCTSFlow(
            TextToBool(t.readText("FlowControl.OutCTSFlow", BoolToText(f.OutCTSFlow()))));
        f.setOutDSRFlow(
            TextToBool(t.readText("FlowControl.OutDSRFlow", BoolToText(f.OutDSRFlow()))));
        f.setTxContinueOnXoff(TextToBool(
            t.readText("FlowControl.TxContinueOnXoff", BoolToText(f.TxContinueOnXoff()))));
        f.setXonXoffIn(TextToBool(t.readText("FlowControl.XonXoffIn", BoolToText(f.XonXoffIn()))));
        f.setXonXoffOut(
            TextToBool(t.readText("FlowControl.XonXoffOut", BoolToText(f.XonXoffOut()))));
        f.setXoffChar(TextToChar(t.readText("FlowControl.XoffChar", CharToText(f.XoffChar()))));
        f.setXonChar(TextToChar(t.readText("FlowControl.XonChar", CharToText(f.XonChar()))));
    }
}

} // namespace

// ---- converters ----

std::string BaudRateToText(TBaudRate v) {
    return toText(baudTexts, v);
}
TBaudRate TextToBaudRate(const std::string& s) {
    return fromText(baudTexts, s, br9600);
}
std::string StopBitsToText(TStopBits v) {
    return toText(stopTexts, v);
}
TStopBits TextToStopBits(const std::string& s) {
    return fromText(stopTexts, s, sbOneStopBit);
}
std::string DataBitsToText(TDataBits v) {
    return toText(dataTexts, v);
}
TDataBits TextToDataBits(const std::string& s) {
    return fromText(dataTexts, s, dbEight);
}
std::string ParityToText(TParityBits v) {
    return toText(parityTexts, v);
}
TParityBits TextToParity(const std::string& s) {
    return fromText(parityTexts, s, prNone);
}
std::string FlowControlToText(TFlowControl v) {
    return toText(flowTexts, v);
}
TFlowControl TextToFlowControl(const std::string& s) {
    return fromText(flowTexts, s, fcCustom);
}
std::string DTRToText(TDTRFlowControl v) {
    return toText(dtrTexts, v);
}
TDTRFlowControl TextToDTR(const std::string& s) {
    return fromText(dtrTexts, s, dtrDisable);
}
std::string RTSToText(TRTSFlowControl v) {
    return toText(rtsTexts, v);
}
TRTSFlowControl TextToRTS(const std::string& s) {
    return fromText(rtsTexts, s, rtsDisable);
}

std::string BoolToText(bool v) {
    return v ? "Yes" : "No";
}
bool TextToBool(const std::string& s) {
    return sameText(s, "YES");
}

std::string CharToText(char c) {
    const int code = static_cast<unsigned char>(c);
    if (code >= 33 && code <= 127) return std::string(1, c);
    return std::string("#").append(std::to_string(code));
}

char TextToChar(const std::string& s) {
    if (s.empty()) return 0;
    if (s[0] != '#' || s.size() == 1) return s[0];
    // The rest as a whole number; its low 8 bits are the character.
    std::size_t i = 1;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
    if (i == s.size()) return 0;
    long long n = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return 0;
        n = n * 10 + (s[i] - '0');
        if (n > 2147483648LL) return 0;
    }
    if (negative) n = -n;
    if (n > 2147483647LL) return 0;
    return static_cast<char>(static_cast<unsigned char>(n & 0xFF));
}

// ---- store and load ----

void TCustomComPort::SaveToRegistry(platform::RegistryAccessor& registry) {
    RegistryTarget t(registry);
    save(*this, t);
}

void TCustomComPort::SaveToIni(platform::IniFile& ini) {
    IniTarget t(ini, Name);
    save(*this, t);
}

void TCustomComPort::LoadFromRegistry(platform::RegistryAccessor& registry) {
    RegistryTarget t(registry);
    load(*this, t);
}

void TCustomComPort::LoadFromIni(platform::IniFile& ini) {
    IniTarget t(ini, Name);
    load(*this, t);
}

} // namespace CPort
