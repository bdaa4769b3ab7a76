#include "windowrules.h"

#include <algorithm>

namespace quietwatch {

namespace {

// The start that keeps a run of the given length inside [low, low + room), moved as little
// as possible; the low edge wins when the run is longer than the room.
int keepInside(int start, int length, int low, int room)
{
    return std::max(low, std::min(start, low + room - length));
}

} // namespace

LayoutChange toggleLayout(std::string_view caption, int outerWidth)
{
    if (caption == kNarrowLayoutCaption) {
        return {kWideLayoutCaption, outerWidth * 2, true};
    }
    return {kNarrowLayoutCaption, outerWidth / 2, false};
}

ScreenPoint aboutPlacement(const ScreenRect &schedulerOuter, int aboutOuterWidth, int aboutOuterHeight,
                           const std::optional<ScreenRect> &available)
{
    ScreenPoint place{schedulerOuter.left + schedulerOuter.width, schedulerOuter.top};
    if (available && available->width > 0 && available->height > 0) {
        place.x = keepInside(place.x, aboutOuterWidth, available->left, available->width);
        place.y = keepInside(place.y, aboutOuterHeight, available->top, available->height);
    }
    return place;
}

Closing windowsClosedBy(CloseCommand command)
{
    switch (command) {
    case CloseCommand::ExitButton:
        return {true, false};
    case CloseCommand::FileExit:
        return {true, true};
    case CloseCommand::AboutOk:
        return {false, true};
    }
    return {};
}

} // namespace quietwatch
