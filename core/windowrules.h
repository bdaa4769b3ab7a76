#pragma once

// What the windows do that needs no toolkit: the scheduler window's narrow/wide toggle,
// the About window's place beside it, and which windows a command closes. Every front end
// feeds these the geometry it reads and carries out what they return. Lengths are pixels
// of the front end's own coordinates.

#include <optional>
#include <string_view>

namespace quietwatch {

struct ScreenRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(const ScreenRect &, const ScreenRect &) = default;
};

struct ScreenPoint
{
    int x = 0;
    int y = 0;
    friend constexpr bool operator==(ScreenPoint, ScreenPoint) = default;
};

// The caption of comWide tells the layout: "<<" in the wide one (it offers to fold the
// settings panel away), ">>" in the narrow one.
inline constexpr std::string_view kWideLayoutCaption = "<<";
inline constexpr std::string_view kNarrowLayoutCaption = ">>";

struct LayoutChange
{
    std::string_view caption; // comWide's new caption
    int outerWidth = 0;       // the window's new width, frame included
    bool settingsVisible = false;
    friend constexpr bool operator==(const LayoutChange &, const LayoutChange &) = default;
};

// A click on comWide: ">>" exactly widens to twice the current outer width; any other
// caption ("<<" included) narrows to half of it, rounded down. Nothing earlier is kept.
LayoutChange toggleLayout(std::string_view caption, int outerWidth);

// Where the About window's outer top-left corner goes: its left edge on the scheduler
// window's right edge (left + outer width), its top on the scheduler window's top. Where
// that would leave the screen's available area it is moved back inside by the least
// amount (to the area's left or top edge if it is larger than the area), so it is never
// lost off screen; without a known area it stays where the design puts it.
ScreenPoint aboutPlacement(const ScreenRect &schedulerOuter, int aboutOuterWidth, int aboutOuterHeight,
                           const std::optional<ScreenRect> &available);

// The commands that close windows.
enum class CloseCommand
{
    ExitButton, // com1, or the scheduler window's close box: that window only
    FileExit,   // File > Exit: the scheduler window, then the About window if it is open
    AboutOk,    // cmdOK, Enter, Esc or the About window's close box
};

struct Closing
{
    bool scheduler = false;
    bool about = false;
};

Closing windowsClosedBy(CloseCommand command);

// The program ends when none of its windows is open any more: an About window left open
// keeps it running after the scheduler window has closed.
constexpr bool programEnds(bool schedulerOpen, bool aboutOpen)
{
    return !schedulerOpen && !aboutOpen;
}

} // namespace quietwatch
