// The serial component's settings store: settings read from any section are
// stored and read back the same.
#include "PortStore.h"
#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::portStoreRoundTrip(
        std::string_view(reinterpret_cast<const char*>(data), size),
        [](CPort::TComPort& p, const std::filesystem::path& file) {
            platform::IniFile ini(file);
            p.LoadFromIni(ini);
            return true;
        },
        [](CPort::TComPort& p, const std::filesystem::path& file) {
            platform::IniFile ini(file);
            p.SaveToIni(ini);
        });
    return 0;
}
