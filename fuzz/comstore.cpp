// The serial component's settings store: settings read from any section are
// stored and read back the same.
#include "FuzzSupport.h"
#include "comport/CPort.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"

namespace {

std::string stored(CPort::TComPort& p, const std::filesystem::path& path) {
    fuzz::put(path, "");
    platform::IniFile ini(path);
    p.SaveToIni(ini);
    return fuzz::get(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = fuzz::scratch("comstore.ini");
    fuzz::put(path, std::string_view(reinterpret_cast<const char*>(data), size));
    platform::IniFile ini(path);
    CPort::TComPort p;
    p.StoredSettings = {CPort::ssBasic,    CPort::ssFlowControl, CPort::ssBuffer,
                        CPort::ssTimeouts, CPort::ssParity,      CPort::ssOthers};
    try {
        p.LoadFromIni(ini);
    } catch (const std::exception&) {
        return 0; // a value the port refuses
    }
    std::string once;
    try {
        once = stored(p, fuzz::scratch("once.ini"));
    } catch (const ERangeError&) {
        return 0; // a text with a line break is refused, not written
    }
    CPort::TComPort q;
    q.StoredSettings = p.StoredSettings;
    platform::IniFile first(fuzz::scratch("once.ini"));
    q.LoadFromIni(first);
    fuzz::check(stored(q, fuzz::scratch("twice.ini")) == once, "load, save, load");
    return 0;
}
