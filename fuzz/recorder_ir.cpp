// The recorder's IR file: a file that reads is written and read back to the
// same table.
#include "FuzzSupport.h"
#include "platform/Errors.h"
#include "video/SchnittIR.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    video::Schnitt_IRTabelle t{};
    try {
        video::Lies_Schnitt_IRText(t, std::string_view(reinterpret_cast<const char*>(data), size),
                                   "f");
    } catch (const std::exception&) {
        // A damaged file: what was read until then stays; it is still written.
    }
    const std::string once = video::Datei_Text(t);
    video::Schnitt_IRTabelle b{};
    video::Lies_Schnitt_IRText(b, once, "f");
    fuzz::check(video::Datei_Text(b) == once, "load, save, load");
    return 0;
}
