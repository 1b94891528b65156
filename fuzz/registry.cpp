// The serial component's settings as values of a registry key: settings
// read from any store are stored and read back the same.
#include "PortStore.h"
#include "platform/Registry.h"

namespace {
constexpr const char* kKey = "Software\\Tavix\\Port";
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::portStoreRoundTrip(
        std::string_view(reinterpret_cast<const char*>(data), size),
        [](CPort::TComPort& p, const std::filesystem::path& file) {
            platform::IniRegistry reg(file);
            if (!reg.openKey(kKey, false)) return false;
            p.LoadFromRegistry(reg);
            return true;
        },
        [](CPort::TComPort& p, const std::filesystem::path& file) {
            platform::IniRegistry reg(file);
            fuzz::check(reg.openKey(kKey, true), "key not created");
            p.SaveToRegistry(reg);
        });
    return 0;
}
