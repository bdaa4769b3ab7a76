// The three windows as drawn, control by control, in creation order.

#include "schedule.h"
#include "windowdesign.h"
#include "windowrules.h"

namespace quietwatch::design {

namespace {

constexpr Font kLargerPGothic{kPGothic, 9.75}; // the clock date and the About window's name and version
constexpr Font kClockFont{kGothic, 11.25};
constexpr Font kDialogFont{kPGothic, 9}; // one line is 180 twips (12 pixels) high

// A box or list that a screen reader names by the caption heading it.
constexpr Control spoken(Control control, std::string_view name)
{
    control.accessibleName = name;
    return control;
}

constexpr Control selected(Control control)
{
    control.checked = true;
    return control;
}

constexpr Control timer(std::string_view name, int milliseconds)
{
    Control control{name, Kind::Timer};
    control.interval = milliseconds;
    return control;
}

// A solid line from x1 to x2 at y, some pixels thick.
constexpr Control line(std::string_view name, int x1, int y, int x2, Rgb colour, int pixels)
{
    Control control{name, Kind::Line, "", "", x1, y, x2 - x1, 0};
    control.colour = colour;
    control.lineWidth = pixels;
    return control;
}

// The scheduler window. Tab indexes run 0 to 23; only buttons, boxes, lists and option
// buttons take the focus, and com1 holds it when the window opens.
constexpr Control kForm1Controls[] = {
    // name, kind, caption or text, container, left, top, width, height, tab
    {"f2", Kind::Frame, "設定", "", 2640, 120, 3015, 2895, 10}, // hidden in the narrow layout
    {"comWide", Kind::CommandButton, kWideLayoutCaption, "", 2160, 240, 375, 375, 9},
    {"comC", Kind::CommandButton, "クリア(&C)", "", 120, 2640, 1095, 375, 8},
    {"Frame1", Kind::Frame, "日時指定", "", 120, 720, 2415, 1815, 3},
    {"com1", Kind::CommandButton, "終了(&X)", "", 1320, 2640, 1215, 375, 2},
    timer("Timer1", 500),
    {"Label6", Kind::Label, "時刻：", "", 240, 390, 450, 180, 23},
    {"Label5", Kind::Label, "日時：", "", 240, 140, 480, 180, 22},
    {"l2", Kind::Label, texts::kInitialClockDate, "", 720, 120, 390, 195, 1, Role::None, kLargerPGothic},
    {"l1", Kind::Label, texts::kInitialClockTime, "", 720, 360, 960, 225, 0, Role::None, kClockFont},

    spoken({"txt2", Kind::TextBox, texts::kNotSet, "Frame1", 720, 840, 1455, 270, 7}, "時刻"),
    spoken({"txt1", Kind::TextBox, texts::kNotSet, "Frame1", 720, 240, 1455, 270, 5}, "日時"),
    {"l3", Kind::Label, texts::kInitialActionLine, "Frame1", 240, 1440, 570, 180, 21},
    {"Label2", Kind::Label, "時刻", "Frame1", 240, 915, 345, 180, 6},
    {"Label1", Kind::Label, "日時", "Frame1", 240, 315, 360, 180, 4},

    {"op1(1)", Kind::OptionButton, "再起動", "f2", 1560, 960, 855, 180, 20},
    selected({"op1(0)", Kind::OptionButton, "シャットダウン", "f2", 1560, 720, 1360, 180, 19}),
    spoken({"cmTime(2)", Kind::DropDownList, "", "f2", 1920, 1800, 975, 300, 18}, "時間指定　秒"),
    spoken({"cmTime(1)", Kind::DropDownList, "", "f2", 960, 1800, 855, 300, 17}, "時間指定　分"),
    spoken({"cmTime(0)", Kind::DropDownList, "", "f2", 120, 1800, 735, 300, 16}, "時間指定　時"),
    {"comRe", Kind::CommandButton, "元に戻す(D)", "f2", 1680, 2400, 1215, 375, 14}, // "(D)" is plain text
    {"comD", Kind::CommandButton, "決定(&H)", "f2", 120, 2400, 1455, 375, 13},
    spoken({"cmDate", Kind::DropDownList, "", "f2", 120, 720, 1335, 300, 11}, "日時指定"),
    {"Label4", Kind::Label, "時間指定", "f2", 120, 1440, 720, 180, 15},
    {"Label3", Kind::Label, "日時指定", "f2", 120, 360, 720, 180, 12},
};

constexpr MenuItem kFileItems[] = {
    {"mnuFileShutNow", "今すぐシャットダウンする(&S)"},
    {"mnuFileRebootNow", "今すぐ再起動する(&R)"},
    {"mnuLine1", "-"},
    {"mnuFileExit", "終了(&X)"},
};
constexpr MenuItem kInformationItems[] = {
    {"mnuInfomationVersion", "バージョン情報(&V)"},
};
constexpr Menu kForm1Menus[] = {
    {"mnuFile", "ファイル(&F)", kFileItems},
    {"mnuInfomation", "情報(&I)", kInformationItems},
};

// The About window. cmdOK is its default and its cancel button and holds the focus; the
// picture takes the focus too, so a screen reader gets a name for it.
constexpr Control kFrmAboutControls[] = {
    spoken({"pic1", Kind::PictureBox, "", "", 0, 120, 780, 1560, 3}, "Quietwatch"),
    {"Label1", Kind::Label, "Quietwatch", "", 960, 120, 1095, 195, 1, Role::None, kLargerPGothic},
    {"Label2", Kind::Label, "Ver.1.00(First Release)", "", 960, 480, 1935, 195, 2, Role::None, kLargerPGothic},
    {"Label3", Kind::Label, "サポートHP：", "", 840, 1920, 960, 180, 4},
    // Looks like a link but reacts to no click.
    {"Label4", Kind::Label, kSupportAddress, "", 840, 2160, 3195, 180, 5, Role::None, Font{kPGothic, 9, true},
     Rgb{0, 0, 255}},
    // The etched rule: grey, then white one pixel lower and further right; both run past
    // the right edge of the client area.
    line("Line1(1)", 90, 2445, 5654, Rgb{128, 128, 128}, 1),
    line("Line1(0)", 105, 2460, 5654, Rgb{255, 255, 255}, 2),
    {"cmdOK", Kind::CommandButton, "OK", "", 2640, 2640, 1380, 345, 0, Role::DefaultAndCancel},
};

// The time query window. The server's label and box are placed by the front end in the
// band above the log, as wide as the log; the box comes last in tab order.
constexpr Control kForm2Controls[] = {
    {"cmdGetTime", Kind::CommandButton, "時刻合わせ(&G)", "", 120, 3000, 1815, 495, 0, Role::Default},
    spoken({"txtlog", Kind::LogBox, "", "", 120, 1680, 3975, 1215, 1}, "時刻合わせのログ"), // no caption of its own
    {"cmdCancel", Kind::CommandButton, "キャンセル(&C)", "", 2160, 3000, 1935, 495, 2, Role::Cancel},
    {"lblServer", Kind::Label, "サーバー：", "", 0, 0, 0, 0},
    spoken({"txtServer", Kind::EditBox, kDefaultTimeServer, "", 0, 0, 0, 0, 3}, "サーバー："), // as its label
    {"wSock", Kind::Socket, "", "", 3600, 1200, 0, 0},
};

} // namespace

const Window kForm1{
    .name = "Form1",
    .title = "Quietwatch",
    .border = Border::FixedSingle,
    .minimizeButton = true,
    .taskBarButton = true,
    .icon = true,
    .clientWidth = 5670, // below the menu bar
    .clientHeight = 3105,
    .placement = Placement::Fixed,
    .clientLeft = 3720,
    .clientTop = 4275,
    .font = kDialogFont,
    .controls = kForm1Controls,
    .menus = kForm1Menus,
};

const Window kFrmAbout{
    .name = "frmAbout",
    .title = "ﾊﾞｰｼﾞｮﾝ情報", // half-width katakana
    .border = Border::FixedDialog,
    .minimizeButton = false,
    .taskBarButton = false,
    .icon = false,
    .clientWidth = 4095,
    .clientHeight = 3060,
    .placement = Placement::SetByCommand, // against the scheduler window's right edge
    .font = kDialogFont,
    .controls = kFrmAboutControls,
};

const Window kForm2{
    .name = "Form2",
    .title = "時刻合わせ",
    .border = Border::FixedSingle,
    .minimizeButton = false,
    .taskBarButton = true,
    .icon = false,
    .clientWidth = 4155,
    .clientHeight = 3555,
    .placement = Placement::SystemDefault,
    .controls = kForm2Controls,
};

} // namespace quietwatch::design
