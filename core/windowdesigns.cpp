// The three windows as drawn, control by control, in creation order.

#include "schedule.h"
#include "windowdesign.h"

namespace quietwatch::design {

namespace {

constexpr Font kLargerPGothic{kPGothic, 9.75}; // the clock date and the About window's name and version
constexpr Font kClockFont{kGothic, 11.25};
constexpr Font kDialogFont{kPGothic, 9}; // one line is 180 twips (12 pixels) high

// The scheduler window. Tab indexes run 0 to 23; only buttons, boxes, lists and option
// buttons take the focus, and com1 holds it when the window opens.
constexpr Control kForm1Controls[] = {
    // name, kind, caption or text, container, left, top, width, height, tab
    {"f2", Kind::Frame, "設定", "", 2640, 120, 3015, 2895, 10}, // hidden in the narrow layout
    {"comWide", Kind::CommandButton, "<<", "", 2160, 240, 375, 375, 9},
    {"comC", Kind::CommandButton, "クリア(&C)", "", 120, 2640, 1095, 375, 8},
    {"Frame1", Kind::Frame, "日時指定", "", 120, 720, 2415, 1815, 3},
    {"com1", Kind::CommandButton, "終了(&X)", "", 1320, 2640, 1215, 375, 2},
    {.name = "Timer1", .kind = Kind::Timer, .interval = 500},
    {"Label6", Kind::Label, "時刻：", "", 240, 390, 450, 180, 23},
    {"Label5", Kind::Label, "日時：", "", 240, 140, 480, 180, 22},
    {"l2", Kind::Label, texts::kInitialClockDate, "", 720, 120, 390, 195, 1, Role::None, kLargerPGothic},
    {"l1", Kind::Label, texts::kInitialClockTime, "", 720, 360, 960, 225, 0, Role::None, kClockFont},

    {"txt2", Kind::TextBox, texts::kNotSet, "Frame1", 720, 840, 1455, 270, 7},
    {"txt1", Kind::TextBox, texts::kNotSet, "Frame1", 720, 240, 1455, 270, 5},
    {"l3", Kind::Label, texts::kInitialActionLine, "Frame1", 240, 1440, 570, 180, 21},
    {"Label2", Kind::Label, "時刻", "Frame1", 240, 915, 345, 180, 6},
    {"Label1", Kind::Label, "日時", "Frame1", 240, 315, 360, 180, 4},

    {"op1(1)", Kind::OptionButton, "再起動", "f2", 1560, 960, 855, 180, 20},
    {.name = "op1(0)",
     .kind = Kind::OptionButton,
     .text = "シャットダウン",
     .container = "f2",
     .left = 1560,
     .top = 720,
     .width = 1360,
     .height = 180,
     .tab = 19,
     .checked = true},
    {"cmTime(2)", Kind::DropDownList, "", "f2", 1920, 1800, 975, 300, 18},          // second
    {"cmTime(1)", Kind::DropDownList, "", "f2", 960, 1800, 855, 300, 17},           // minute
    {"cmTime(0)", Kind::DropDownList, "", "f2", 120, 1800, 735, 300, 16},           // hour
    {"comRe", Kind::CommandButton, "元に戻す(D)", "f2", 1680, 2400, 1215, 375, 14}, // "(D)" is plain text
    {"comD", Kind::CommandButton, "決定(&H)", "f2", 120, 2400, 1455, 375, 13},
    {"cmDate", Kind::DropDownList, "", "f2", 120, 720, 1335, 300, 11},
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

// The About window. cmdOK is its default and its cancel button and holds the focus.
constexpr Control kFrmAboutControls[] = {
    {"pic1", Kind::PictureBox, "", "", 0, 120, 780, 1560, 3},
    {"Label1", Kind::Label, "Quietwatch", "", 960, 120, 1095, 195, 1, Role::None, kLargerPGothic},
    {"Label2", Kind::Label, "Ver.1.00(First Release)", "", 960, 480, 1935, 195, 2, Role::None, kLargerPGothic},
    {"Label3", Kind::Label, "サポートHP：", "", 840, 1920, 960, 180, 4},
    // Looks like a link but reacts to no click.
    {"Label4", Kind::Label, kSupportAddress, "", 840, 2160, 3195, 180, 5, Role::None, Font{kPGothic, 9, true},
     Rgb{0, 0, 255}},
    // The etched rule: grey, then white one pixel lower and further right; both run past
    // the right edge of the client area.
    {.name = "Line1(1)",
     .kind = Kind::Line,
     .left = 90,
     .top = 2445,
     .width = 5654 - 90,
     .colour = Rgb{128, 128, 128},
     .lineWidth = 1},
    {.name = "Line1(0)",
     .kind = Kind::Line,
     .left = 105,
     .top = 2460,
     .width = 5654 - 105,
     .colour = Rgb{255, 255, 255},
     .lineWidth = 2},
    {"cmdOK", Kind::CommandButton, "OK", "", 2640, 2640, 1380, 345, 0, Role::DefaultAndCancel},
};

// The time query window. The server's label and box are placed by the front end in the
// band above the log, as wide as the log; the box comes last in tab order.
constexpr Control kForm2Controls[] = {
    {"cmdGetTime", Kind::CommandButton, "時刻合わせ(&G)", "", 120, 3000, 1815, 495, 0, Role::Default},
    {"txtlog", Kind::LogBox, "", "", 120, 1680, 3975, 1215, 1},
    {"cmdCancel", Kind::CommandButton, "キャンセル(&C)", "", 2160, 3000, 1935, 495, 2, Role::Cancel},
    {"lblServer", Kind::Label, "サーバー：", "", 0, 0, 0, 0},
    {"txtServer", Kind::EditBox, kDefaultTimeServer, "", 0, 0, 0, 0, 3},
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
