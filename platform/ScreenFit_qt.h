#pragma once
// Window geometry read from a file is brought within the screens before use:
// a damaged or foreign file must neither place a window where no screen is
// nor make the window system's arithmetic overflow.

#include <QRect>

#include <cstdint>

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

} // namespace platform
