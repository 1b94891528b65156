#include "desk/IrSendLink.h"

#if __has_include("engine/IrSend.h")
#include "engine/IrSend.h"
#define TAVIX_HAVE_IR_SEND 1
#endif

namespace desk {

std::int32_t sendIr(const Sio::TBefehl& befehl) {
#ifdef TAVIX_HAVE_IR_SEND
    return Sio::IR_Senden(befehl);
#else
    (void)befehl;
    return 0;
#endif
}

} // namespace desk
