#include "desk/IrSendLink.h"

#include "engine/IrSend.h"
#include "engine/SioText.h"
#include "platform/Errors.h"

#include <climits>

namespace desk {

namespace {
IrSender& current() {
    static IrSender s;
    return s;
}
} // namespace

std::int32_t sendIr(const Sio::TBefehl& befehl) {
    if (current()) return current()(befehl);
    return Sio::IR_Senden(befehl);
}

void setIrSender(IrSender sender) {
    current() = std::move(sender);
}

bool analytischerPuffer(const std::string& code, const Sio::TBefehl& analytisch,
                        Sio::TBefehl& puffer) {
    Sio::IR_Liste_Loeschen(puffer);
    const std::string bits = Sio::Hex_nach_Bin(code + "0");
    char current = '1';
    long long slot = 1;
    for (const char ch : bits) {
        if (ch != current) {
            current = ch;
            ++slot;
        }
        std::int32_t& d = tabelle(puffer, slot, "Befehlspuffer");
        const std::int64_t sum = static_cast<std::int64_t>(d) + analytisch[1];
        if (sum > INT32_MAX || sum < INT32_MIN)
            throw ERangeError("Bereichsfehler: Befehlspuffer[" + std::to_string(slot) + "]");
        d = static_cast<std::int32_t>(sum);
    }
    tabelle(puffer, slot, "Befehlspuffer") = analytisch[2];
    puffer[0] = analytisch[0];
    return slot % 2 == 0;
}

} // namespace desk
