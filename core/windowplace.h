#pragma once

// Where the About window goes on the screen, in pixels of the screen's coordinates.

#include <span>

namespace quietwatch {

struct ScreenRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ScreenRect &) const = default;
};

struct ScreenPoint
{
    int x = 0;
    int y = 0;

    bool operator==(const ScreenPoint &) const = default;
};

// A screen's available area, and the About window's outer size on that screen (a screen of
// another DPI gives the window another size).
struct PlaceArea
{
    ScreenRect area;
    int aboutWidth = 0;
    int aboutHeight = 0;
};

// The top-left corner of the About window's outer frame: against the main window's outer
// right edge, tops aligned. Where that would leave every screen's available area, it is
// moved back inside the nearest one by the least amount, at the size the window has on that
// screen: having no task-bar button, a window off screen would keep the program running with
// nothing to see. A window larger than an area keeps its top-left corner inside it. With no
// areas, the placement stands. Of two equally near areas the one listed first wins: the front
// ends list the main window's screen first.
ScreenPoint aboutWindowPlace(const ScreenRect &mainOuter, std::span<const PlaceArea> areas);

// The same, for a window of one size on every screen.
ScreenPoint aboutWindowPlace(const ScreenRect &mainOuter, int aboutWidth, int aboutHeight,
                             std::span<const ScreenRect> availableAreas);

} // namespace quietwatch
