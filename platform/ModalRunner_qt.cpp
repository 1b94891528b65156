#include "platform/ModalRunner_qt.h"

#include "platform/WindowTracker_qt.h"

namespace platform {

namespace {
std::deque<ModalScript>& scripts() {
    static std::deque<ModalScript> q;
    return q;
}
} // namespace

int runModal(QDialog& dialog) {
    WindowTracker::ModalScope scope(static_cast<QWidget*>(&dialog));
    if (!scripts().empty()) {
        ModalScript s = std::move(scripts().front());
        scripts().pop_front();
        const int r = s(dialog);
        dialog.setResult(r);
        return r;
    }
    return dialog.exec();
}

void queueModalScript(ModalScript script) {
    scripts().push_back(std::move(script));
}
void clearModalScripts() {
    scripts().clear();
}
std::size_t pendingModalScripts() {
    return scripts().size();
}

} // namespace platform
