// Time texts of the cut list: any text reads as a count or none, and the long
// text of a count reads back as the same count.
#include "FuzzSupport.h"
#include "engine/Bandposition.h"
#include "engine/Sio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Sio::Halbbilder_pro_Sekunde = 50;
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)Sio::Zeit_naechstes_Bild(text);
    (void)Sio::Zeit_voriges_Bild(text);
    (void)Sio::Zeitwort_normieren(text, 1);
    (void)Sio::Zahl_Nr(text, 2);
    const std::int32_t count = Sio::Zeitwort_nach_Zaehler(text, 1);
    // The long text shows one digit of hours.
    const std::int32_t zehnStunden = 10 * 3600 * Sio::Halbbilder_pro_Sekunde;
    if (count > -zehnStunden && count < zehnStunden) {
        const std::string lang = Sio::Zaehler_nach_Text(count);
        fuzz::check(Sio::Zeitwort_nach_Zaehler(lang, 1) == count, "count, text, count");
    }
    return 0;
}
