#include "desk/IrSendLink.h"

#if __has_include("engine/IrSend.h")
#include "engine/IrSend.h"
#define TAVIX_HAVE_IR_SEND 1
#endif

namespace desk {

namespace {
IrSender& current() {
    static IrSender s;
    return s;
}
} // namespace

std::int32_t sendIr(const Sio::TBefehl& befehl) {
    if (current()) return current()(befehl);
#ifdef TAVIX_HAVE_IR_SEND
    return Sio::IR_Senden(befehl);
#else
    (void)befehl;
    return 0;
#endif
}

void setIrSender(IrSender sender) {
    current() = std::move(sender);
}

} // namespace desk
