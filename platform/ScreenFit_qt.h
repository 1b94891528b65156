#pragma once
// Window geometry read from a file is brought within the screens before use:
// a damaged or foreign file must neither place a window where no screen is
// nor make the window system's arithmetic overflow.

#include <QMargins>
#include <QRect>

#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace platform {

// The bounding rectangle of the available areas of all screens.
QRect availableScreenArea();

// Sizes at least 1 and at most the area's extent; the position such that the
// top left corner lies within the area with at least 100 pixels of the window
// (or all of a smaller one) to the right of and below it.
QRect fitToScreens(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height);

// A single size (a key's width or height, a window's): at least 1, at most
// the area's width (horizontal) or height.
int fitWidthToScreens(std::int64_t width);
int fitHeightToScreens(std::int64_t height);

// The window manager's frame round a top-level window: none before the
// window is framed (and none without a window manager).
QMargins frameMargins(const QWidget& window);

// A top-level window's outer rectangle, its frame included, as settings
// store it. Before the window manager has framed the window the frame is not
// known: the position is then given as the frame's, which the window manager
// honours, and the size is made smaller by the frame once it is known (the
// window calls catchUp() from its move and resize events). Until then the
// outer rectangle is the one asked for, so a window stored before it was
// framed does not move.
class OuterFrame {
public:
    using Margins = std::function<QMargins(const QWidget&)>;
    explicit OuterFrame(QWidget& window, Margins margins = frameMargins);

    QRect get() const;
    void set(const QRect& frame);
    void catchUp();

private:
    QWidget& window_;
    Margins margins_;
    std::optional<QRect> wanted_;
};

} // namespace platform
