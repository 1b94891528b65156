#include "desk/IrSendLink.h"

#include "engine/IrSend.h"

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

} // namespace desk
