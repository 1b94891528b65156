// The key file: a file that parses is written and read back to the same
// content.
#include "desk/KeyFile.h"
#include "FuzzSupport.h"
#include "platform/Errors.h"

#include <memory>
#include <vector>

namespace {

std::string write(const desk::KeyFileContent& c, std::vector<std::unique_ptr<Sio::TBefehl>>& keep) {
    std::vector<desk::KeyFileKey> keys;
    for (const auto& e : c.entries) {
        auto b = std::make_unique<Sio::TBefehl>();
        b->fill(0);
        std::copy(e.values.begin(), e.values.end(), b->begin());
        keys.push_back({e.knopfnummer, e.tastenTyp, e.caption, e.code, b.get()});
        keep.push_back(std::move(b));
    }
    return desk::formatKeyFile(c.head, keys);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    desk::KeyFileContent c;
    try {
        c = desk::parseKeyFile(bytes, "f");
    } catch (const EInOutError&) {
        return 0;
    }
    std::vector<std::unique_ptr<Sio::TBefehl>> keep;
    const std::string once = write(c, keep);
    const desk::KeyFileContent again = desk::parseKeyFile(once, "f");
    fuzz::check(again.entries.size() == c.entries.size(), "entry count");
    fuzz::check(write(again, keep) == once, "load, save, load");
    return 0;
}
