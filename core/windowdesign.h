#pragma once

// Each window as drawn: its frame, size and place, its controls with their captions, twips,
// containers, tab indexes and roles, and its menus. Every front end builds its windows from
// these tables, so the captions and the layout exist once. Lengths are twips (1440 to the
// inch; 15 make one pixel at 96 dots per inch) unless a field says otherwise.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quietwatch::design {

// The Japanese Windows faces the layout was measured in.
inline constexpr std::string_view kPGothic = "ＭＳ Ｐゴシック"; // proportional
inline constexpr std::string_view kGothic = "ＭＳ ゴシック";    // fixed pitch

enum class Kind
{
    Frame,         // a titled group box; hiding it hides what it holds
    CommandButton, // '&' in the caption marks its access key
    Label,         // sizes itself to its text; the width and height are the design text's
    TextBox,       // single line, read-only for the user
    LogBox,        // multi-line, both scroll bars, read-only for the user
    EditBox,       // single line the user types into
    DropDownList,  // the user picks an entry and cannot type
    OptionButton,  // the option buttons of one container form one group
    PictureBox,    // the picture with a sunken border of 2 pixels each side
    Line,          // from left,top to left+width,top; lineWidth pixels thick
    Timer,         // no visible part
    Socket,        // no visible part
};

// What Enter and Esc press.
enum class Role
{
    None,
    Default,          // Enter
    Cancel,           // Esc
    DefaultAndCancel, // both
};

struct Font
{
    std::string_view face{};
    double points = 9;
    bool underline = false;
};

struct Rgb
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

struct Control
{
    std::string_view name{}; // also the object's name, as tests and accessibility tools see it
    Kind kind = Kind::Label;
    std::string_view text{};      // caption or initial text
    std::string_view container{}; // the frame that holds it; empty for the client area
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int tab = -1; // tab index; -1 where the control has none
    Role role = Role::None;
    std::optional<Font> font{};  // none: the window's font
    std::optional<Rgb> colour{}; // text colour, or a line's colour
    int lineWidth = 0;           // pixels, for a line
    int interval = 0;            // milliseconds, for a timer
    bool checked = false;        // an option button selected at start
    // What a screen reader calls a control that takes the focus, where its caption does not
    // say it (a box or a list is named by the caption that heads it).
    std::string_view accessibleName{};
};

struct MenuItem
{
    std::string_view name;
    std::string_view caption; // "-" is a separator line
};

struct Menu
{
    std::string_view name;
    std::string_view caption;
    std::span<const MenuItem> items;
};

enum class Border
{
    FixedSingle, // title, system menu, close box; minimize where the window allows it
    FixedDialog, // a dialog frame: close box only
};

enum class Placement
{
    Fixed,         // the client area's top-left corner at clientLeft, clientTop on the screen
    SystemDefault, // where the window system puts a new window
    SetByCommand,  // the command that shows the window places it first
};

struct Window
{
    std::string_view name;
    std::string_view title;
    Border border = Border::FixedSingle;
    bool minimizeButton = false;
    bool taskBarButton = true;
    bool icon = false; // the program's icon in the title bar
    int clientWidth = 0;
    int clientHeight = 0;
    Placement placement = Placement::SystemDefault;
    int clientLeft = 0;
    int clientTop = 0;
    std::optional<Font> font{}; // for controls without a font of their own; none: the toolkit's
    std::span<const Control> controls{};
    std::span<const Menu> menus{};

    // The control of that name, or nullptr.
    const Control *control(std::string_view controlName) const;
};

// The support page shown in the About window: text only, not a link.
inline constexpr std::string_view kSupportAddress = "https://quietwatch.example.org/";
// The time server the time query window starts with.
inline constexpr std::string_view kDefaultTimeServer = "ntp.nict.jp";

// The three windows.
extern const Window kForm1;
extern const Window kFrmAbout;
extern const Window kForm2;

// Whether the kind can hold the keyboard focus (labels, frames, lines and the invisible
// controls cannot).
bool takesFocus(Kind kind);

// The controls that take the focus, in tab order: what Tab walks through.
std::vector<const Control *> tabChain(const Window &window);

// The access key of a caption: the character after a single '&', lower-cased if ASCII;
// 0 where there is none (a "(D)" written without the ampersand is plain text).
char accessKey(std::string_view caption);

// Twips to pixels at a number of dots per inch, rounded to the nearest pixel (15 twips
// a pixel at 96).
constexpr int pixels(int twips, int dpi = 96)
{
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

} // namespace quietwatch::design
