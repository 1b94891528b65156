#include "platform/WindowTracker_qt.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace platform {

WindowTracker& WindowTracker::instance() {
    static WindowTracker tracker;
    return tracker;
}

void WindowTracker::registerWindow(const void* id, std::function<void()> onActivate,
                                   std::function<void()> onDeactivate) {
    windows_[id] = Entry{std::move(onActivate), std::move(onDeactivate)};
}

void WindowTracker::unregisterWindow(const void* id) {
    windows_.erase(id);
    if (active_ == id) active_ = nullptr;
}

void WindowTracker::activate(const void* id) {
    if (id == nullptr || id == active_) return;
    const void* old = active_;
    active_ = id;
    // Copies: a handler may register or unregister windows.
    if (old != nullptr) {
        auto it = windows_.find(old);
        if (it != windows_.end()) {
            ++deactivations_[old];
            auto f = it->second.onDeactivate;
            if (f) f();
        }
    }
    // A handler of the old window may already have moved the activation on.
    if (active_ != id) return;
    auto it = windows_.find(id);
    if (it != windows_.end()) {
        ++activations_[id];
        auto f = it->second.onActivate;
        if (f) f();
    }
}

void WindowTracker::setFollowFocus(bool on) {
    QObject::disconnect(focusConnection_);
    if (on && qGuiApp)
        focusConnection_ = QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
                                            [this](QWindow* w) { focusChanged(w); });
}

void WindowTracker::focusChanged(QWindow* w) {
    if (w == nullptr) return; // another program: nothing to report
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() == w) {
            activate(top);
            return;
        }
    }
}

WindowTracker::ModalScope::ModalScope(const void* box) : previous_(instance().active()) {
    instance().activate(box);
}

WindowTracker::ModalScope::~ModalScope() {
    if (previous_ != nullptr) instance().activate(previous_);
}

int WindowTracker::activations(const void* id) const {
    auto it = activations_.find(id);
    return it == activations_.end() ? 0 : it->second;
}

int WindowTracker::deactivations(const void* id) const {
    auto it = deactivations_.find(id);
    return it == deactivations_.end() ? 0 : it->second;
}

void WindowTracker::resetCounts() {
    activations_.clear();
    deactivations_.clear();
}

} // namespace platform
