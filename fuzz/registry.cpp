// The serial component's settings as values of a registry key: settings
// read from any store are stored and read back the same.
#include "FuzzSupport.h"
#include "comport/CPort.h"
#include "platform/Errors.h"
#include "platform/Registry.h"

namespace {

constexpr const char* kKey = "Software\\Tavix\\Port";

std::string stored(CPort::TComPort& p, const std::filesystem::path& path) {
    fuzz::put(path, "");
    platform::IniRegistry reg(path);
    if (!reg.openKey(kKey, true)) fuzz::fail("key not created");
    p.SaveToRegistry(reg);
    return fuzz::get(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = fuzz::scratch("registry.ini");
    fuzz::put(path, std::string_view(reinterpret_cast<const char*>(data), size));
    platform::IniRegistry reg(path);
    if (!reg.openKey(kKey, false)) return 0;
    CPort::TComPort p;
    p.StoredSettings = {CPort::ssBasic,    CPort::ssFlowControl, CPort::ssBuffer,
                        CPort::ssTimeouts, CPort::ssParity,      CPort::ssOthers};
    try {
        p.LoadFromRegistry(reg);
    } catch (const std::exception&) {
        return 0; // a missing value, one of the other type, or one the port refuses
    }
    std::string once;
    try {
        once = stored(p, fuzz::scratch("once.ini"));
    } catch (const ERangeError&) {
        return 0; // a text with a line break is refused, not written
    }
    CPort::TComPort q;
    q.StoredSettings = p.StoredSettings;
    platform::IniRegistry first(fuzz::scratch("once.ini"));
    if (!first.openKey(kKey, false)) fuzz::fail("stored key missing");
    q.LoadFromRegistry(first);
    fuzz::check(stored(q, fuzz::scratch("twice.ini")) == once, "load, save, load");
    return 0;
}
