#pragma once
// The host's system backend with the desktop's services: URL opener, beep and
// shutdown through the session's login manager.

#include "platform/System.h"

namespace platform {

class QtSystem final : public HostSystem {
public:
    bool openUrl(const std::string& url) override;
    void beep() override;
    bool shutdown() override;
};

} // namespace platform
