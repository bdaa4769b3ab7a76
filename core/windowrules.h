#pragma once

// What the windows do that needs no toolkit: the scheduler window's narrow/wide toggle and
// which windows a command closes (the About window's place is in windowplace.h). Every front
// end feeds these what it reads and carries out what they return.

#include <string_view>

namespace quietwatch {

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
