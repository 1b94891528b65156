#include "platform/ScreenFit_qt.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace platform {

QRect availableScreenArea() {
    QRect area;
    for (const QScreen* s : QGuiApplication::screens())
        area |= s->availableGeometry();
    // Without a screen, a common desktop size.
    if (area.isEmpty()) area = QRect(0, 0, 1920, 1080);
    return area;
}

namespace {
constexpr int kGriff = 100;

int fit(std::int64_t v, std::int64_t lo, std::int64_t hi) {
    return static_cast<int>(std::clamp(v, lo, std::max(lo, hi)));
}
} // namespace

QRect fitToScreens(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height) {
    const QRect a = availableScreenArea();
    const int w = fit(width, 1, a.width());
    const int h = fit(height, 1, a.height());
    // The top left corner on a screen, and enough of the window with it to
    // take hold of.
    const int x = fit(left, a.left(), std::int64_t{a.left()} + a.width() - std::min(w, kGriff));
    const int y = fit(top, a.top(), std::int64_t{a.top()} + a.height() - std::min(h, kGriff));
    return QRect(x, y, w, h);
}

int fitWidthToScreens(std::int64_t width) {
    return fit(width, 1, availableScreenArea().width());
}

int fitHeightToScreens(std::int64_t height) {
    return fit(height, 1, availableScreenArea().height());
}

QRect workAreaAt(const QRect& frame) {
    QRect a;
    std::int64_t most = -1;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect shown = s->availableGeometry() & frame;
        const std::int64_t n = std::int64_t{shown.width()} * shown.height();
        if (n > most) {
            most = n;
            a = s->availableGeometry();
        }
    }
    return a.isEmpty() ? availableScreenArea() : a;
}

QRect wholeOnWorkArea(const QRect& frame) {
    const QRect a = workAreaAt(frame);
    QRect r = frame;
    r.setSize(r.size().boundedTo(a.size()));
    if (r.right() > a.right()) r.moveRight(a.right());
    if (r.bottom() > a.bottom()) r.moveBottom(a.bottom());
    if (r.left() < a.left()) r.moveLeft(a.left());
    if (r.top() < a.top()) r.moveTop(a.top());
    return r;
}

QMargins frameMargins(const QWidget& window) {
    const QRect f = window.frameGeometry(), g = window.geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                    f.bottom() - g.bottom());
}

namespace {

class FrameFilter : public QObject {
public:
    explicit FrameFilter(std::function<bool()> f) : f_(std::move(f)) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        const auto t = e->type();
        if ((t == QEvent::Expose || t == QEvent::Move || t == QEvent::Resize) && f_())
            o->removeEventFilter(this);
        return QObject::eventFilter(o, e);
    }

private:
    std::function<bool()> f_;
};

} // namespace

FrameWatch::FrameWatch(QWidget& window, std::function<bool()> f) {
    if (QWindow* w = window.windowHandle()) {
        filter_ = std::make_unique<FrameFilter>(std::move(f));
        w->installEventFilter(filter_.get());
    }
}

FrameWatch::~FrameWatch() = default;

OuterFrame::OuterFrame(QWidget& window, Margins margins)
    : window_(window), margins_(std::move(margins)) {}

OuterFrame::~OuterFrame() = default;

QRect OuterFrame::get() const {
    // Unless the window was moved or resized since without this class.
    if (wanted_ && window_.geometry() == asked_) return *wanted_;
    return window_.geometry().marginsAdded(margins_(window_));
}

void OuterFrame::set(const QRect& frame) {
    // A copy: `frame` may be the wanted rectangle itself, and the events of
    // the changes below come back here.
    const QRect f = frame;
    const QMargins m = margins_(window_);
    if (m.isNull()) {
        // move() places the frame: before the window is framed the window
        // manager is asked to put its frame there.
        wanted_ = f;
        window_.move(f.topLeft());
        window_.resize(f.size());
        asked_ = window_.geometry();
    } else {
        wanted_.reset();
        window_.setGeometry(f.marginsRemoved(m));
    }
}

void OuterFrame::catchUp() {
    if (!wanted_ || !window_.isVisible()) return;
    if (!margins_(window_).isNull()) {
        set(*wanted_);
    } else if (!watch_) {
        watch_ = std::make_unique<FrameWatch>(window_, [this] {
            catchUp();
            return !wanted_;
        });
    }
}

} // namespace platform
