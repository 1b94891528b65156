#pragma once
// The program's active window. Activation and deactivation are reported only
// when the active window changes between windows of this program (forms,
// message boxes, dialogs); a switch to another program and back reports
// nothing, so a form's activation handlers run only for moves between the
// program's own windows.

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>

class QWidget;
class QWindow;

namespace platform {

class WindowTracker : public QObject {
    Q_OBJECT
public:
    static WindowTracker& instance();

    // A window whose changes are reported. Its handlers run as GUI handlers:
    // they guard themselves.
    void registerWindow(const void* id, std::function<void()> onActivate,
                        std::function<void()> onDeactivate);
    void unregisterWindow(const void* id);

    // id becomes the program's active window (a registered form, a box, a
    // dialog). Null is ignored: another program took the focus.
    void activate(const void* id);
    const void* active() const { return active_; }

    // Follow Qt's focus window (the programs); tests drive activation alone.
    void setFollowFocus(bool on);

    // A box or modal dialog over the active window, for its lifetime: the
    // window under it is deactivated and activated again afterwards.
    class ModalScope {
    public:
        explicit ModalScope(const void* box);
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;

    private:
        const void* previous_;
    };

    // Counts of reports, for tests.
    int activations(const void* id) const;
    int deactivations(const void* id) const;
    void resetCounts();

private:
    WindowTracker() = default;
    void focusChanged(QWindow* w);

    struct Entry {
        std::function<void()> onActivate;
        std::function<void()> onDeactivate;
    };
    std::map<const void*, Entry> windows_;
    std::map<const void*, int> activations_;
    std::map<const void*, int> deactivations_;
    const void* active_ = nullptr;
    QMetaObject::Connection focusConnection_;
};

} // namespace platform
