#include "platform/ModalRunner_qt.h"

#include "platform/WindowTracker_qt.h"

#include <QPointer>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace platform {

namespace {
std::deque<ModalScript>& scripts() {
    static std::deque<ModalScript> q;
    return q;
}

std::vector<QPointer<QWidget>>& keptUsable() {
    static std::vector<QPointer<QWidget>> v;
    return v;
}

// For one modal run, the windows kept usable are transient children of the
// dialog, which Qt's modality does not block; the previous parents return.
// Qt decides whether a window is blocked when its parent changes and when a
// modal window shows up, so they move under the dialog once it is shown.
class UsableUnder {
public:
    explicit UsableUnder(QDialog& dialog) : dialog_(&dialog) {
        auto& kept = keptUsable();
        kept.erase(std::remove(kept.begin(), kept.end(), nullptr), kept.end());
        if (kept.empty()) return;
        // As exec() would make it, for this run only.
        madeModal_ = !dialog.testAttribute(Qt::WA_SetWindowModality);
        if (madeModal_) dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show(); // exec() then finds it shown and runs its loop
        QWindow* parent = dialog.windowHandle();
        for (QWidget* w : kept) {
            QWindow* h = w->windowHandle();
            if (!h || !parent || h == parent) continue;
            saved_.push_back({h, h->transientParent()});
            h->setTransientParent(parent);
        }
    }
    ~UsableUnder() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            if (it->window) it->window->setTransientParent(it->previous);
        if (madeModal_ && dialog_ && !dialog_->isVisible()) {
            dialog_->setWindowModality(Qt::NonModal);
            dialog_->setAttribute(Qt::WA_SetWindowModality, false);
        }
    }
    UsableUnder(const UsableUnder&) = delete;
    UsableUnder& operator=(const UsableUnder&) = delete;

private:
    struct Saved {
        QPointer<QWindow> window;
        QPointer<QWindow> previous;
    };
    QPointer<QDialog> dialog_;
    bool madeModal_ = false;
    std::vector<Saved> saved_;
};
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
    UsableUnder usable(dialog);
    return dialog.exec();
}

void keepUsableUnderModals(QWidget& window) {
    keptUsable().emplace_back(&window);
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
