#include "platform/ScreenFit_qt.h"

#include <QGuiApplication>
#include <QScreen>

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

} // namespace platform
