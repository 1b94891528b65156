#pragma once
// Window geometry read from a file is brought within the screens before use:
// a damaged or foreign file must neither place a window where no screen is
// nor make the window system's arithmetic overflow.

#include <QMargins>
#include <QRect>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QObject;
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

// The available area (the work area, without panels) of the screen that
// shows most of `frame`; of the first screen when none shows any of it.
QRect workAreaAt(const QRect& frame);
// A window's outer frame pulled whole onto that area: no larger than it, and
// moved no further than it must.
QRect wholeOnWorkArea(const QRect& frame);

// The window manager's frame round a top-level window: none before the
// window is framed (and none without a window manager).
QMargins frameMargins(const QWidget& window);

// Calls `f` at each exposure, move and resize of a shown top-level window,
// where a frame the window manager put round it becomes known (a window
// framed where it already stood gets no move or resize event of its own),
// until `f` returns true. Nothing while it is not shown.
class FrameWatch {
public:
    FrameWatch(QWidget& window, std::function<bool()> f);
    ~FrameWatch();
    FrameWatch(const FrameWatch&) = delete;
    FrameWatch& operator=(const FrameWatch&) = delete;

private:
    std::unique_ptr<QObject> filter_;
};

// A top-level window's outer rectangle, its frame included, as settings
// store it. Before the window manager has framed the window the frame is not
// known: the position is then given as the frame's, and the window is put
// where it was asked for once the frame is known (the window calls catchUp()
// from its show, move and resize events, and a FrameWatch from then on).
// Until then the outer rectangle is the one asked for (unless the window is
// moved or resized otherwise), so a window stored before it was framed does
// not move.
class OuterFrame {
public:
    using Margins = std::function<QMargins(const QWidget&)>;
    explicit OuterFrame(QWidget& window, Margins margins = frameMargins);
    ~OuterFrame();
    OuterFrame(const OuterFrame&) = delete;
    OuterFrame& operator=(const OuterFrame&) = delete;

    QRect get() const;
    void set(const QRect& frame);
    void catchUp();

private:
    QWidget& window_;
    Margins margins_;
    std::optional<QRect> wanted_;
    QRect asked_; // the window's geometry as set for wanted_
    std::unique_ptr<FrameWatch> watch_;
};

} // namespace platform
