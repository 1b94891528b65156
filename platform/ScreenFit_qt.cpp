#include "platform/ScreenFit_qt.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

QMargins frameMargins(const QWidget& window) {
    const QRect f = window.frameGeometry(), g = window.geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                    f.bottom() - g.bottom());
}

OuterFrame::OuterFrame(QWidget& window, Margins margins)
    : window_(window), margins_(std::move(margins)) {}

QRect OuterFrame::get() const {
    if (wanted_) return *wanted_;
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
    } else {
        wanted_.reset();
        window_.setGeometry(f.marginsRemoved(m));
    }
}

void OuterFrame::catchUp() {
    if (wanted_ && window_.isVisible() && !margins_(window_).isNull()) set(*wanted_);
}

} // namespace platform
