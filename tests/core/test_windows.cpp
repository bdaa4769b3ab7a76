// The window tables and the window rules every front end shares.

#include "windowdesign.h"
#include "windowrules.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace quietwatch {
namespace {

using design::Kind;

std::vector<std::string> tabNames(const design::Window &window)
{
    std::vector<std::string> names;
    for (const design::Control *control : design::tabChain(window)) {
        names.emplace_back(control->name);
    }
    return names;
}

TEST(WindowDesign, TabWalksTheControlsThatTakeTheFocusInTabIndexOrder)
{
    using Names = std::vector<std::string>;
    EXPECT_EQ(tabNames(design::kForm1), (Names{"com1", "txt1", "txt2", "comC", "comWide", "cmDate", "comD", "comRe",
                                               "cmTime(0)", "cmTime(1)", "cmTime(2)", "op1(0)", "op1(1)"}));
    EXPECT_EQ(tabNames(design::kFrmAbout), (Names{"cmdOK", "pic1"}));
    EXPECT_EQ(tabNames(design::kForm2), (Names{"cmdGetTime", "txtlog", "cmdCancel", "txtServer"}));
}

TEST(WindowDesign, EveryTableHoldsTogether)
{
    for (const design::Window *window : {&design::kForm1, &design::kFrmAbout, &design::kForm2}) {
        SCOPED_TRACE(std::string(window->name));
        std::set<int> tabs;
        std::set<std::string_view> names;
        for (const design::Control &control : window->controls) {
            SCOPED_TRACE(std::string(control.name));
            EXPECT_TRUE(names.insert(control.name).second) << "a name used twice";
            EXPECT_TRUE(control.tab < 0 || tabs.insert(control.tab).second) << "a tab index used twice";
            if (!control.container.empty()) {
                const design::Control *frame = window->control(control.container);
                ASSERT_NE(frame, nullptr);
                EXPECT_EQ(frame->kind, Kind::Frame);
            }
        }
    }
}

// Halving the window keeps the whole left column: nothing on the client area but f2 reaches
// past 2535 twips, and f2 begins at 2640.
TEST(WindowDesign, TheNarrowLayoutKeepsTheLeftColumnWhole)
{
    for (const design::Control &control : design::kForm1.controls) {
        if (!control.container.empty() || control.kind == Kind::Timer) {
            continue;
        }
        SCOPED_TRACE(std::string(control.name));
        if (control.name == "f2") {
            EXPECT_GE(control.left, design::kForm1.clientWidth / 2 - 200);
        } else {
            EXPECT_LE(control.left + control.width, 2535);
        }
    }
}

TEST(WindowDesign, AccessKeysAndPixels)
{
    // The last caption ends at its '&' inside a longer text: what follows is not its key.
    const std::pair<std::string_view, char> keys[] = {
        {"クリア(&C)", 'c'}, {"元に戻す(D)", 0}, {"OK", 0},
        {"A&&B", 0},         {"&&&X", 'x'},      {"&A", 'a'},
        {"&Z", 'z'},         {"&z", 'z'},        {std::string_view("終了(&X)").substr(0, 8), 0}};
    for (const auto &[caption, key] : keys) {
        EXPECT_EQ(design::accessKey(caption), key) << caption;
    }
    EXPECT_EQ(design::pixels(design::kForm1.clientWidth), 378);
    EXPECT_EQ(design::pixels(design::kForm1.clientHeight), 207);
    EXPECT_EQ(design::pixels(7), 0);
    EXPECT_EQ(design::pixels(8), 1);
    EXPECT_EQ(design::pixels(15, 144), 2); // 1.5 rounds up
    EXPECT_EQ(design::pixels(1440, 144), 144);
    EXPECT_EQ(design::pixels(-8), -1);
}

TEST(WindowRules, TheToggleWorksOnTheOuterWidthAndTheCaptionAlone)
{
    const struct
    {
        std::string_view caption;
        int width;
        LayoutChange expected;
    } rows[] = {
        {"<<", 384, {">>", 192, false}},   // wide to narrow
        {">>", 192, {"<<", 384, true}},    // and back
        {"<<", 385, {">>", 192, false}},   // an odd width rounds down
        {"", 400, {">>", 200, false}},     // any caption but ">>" narrows
        {">> ", 400, {">>", 200, false}},  // ">>" exactly
        {"＞＞", 400, {">>", 200, false}}, // full-width is another caption
    };
    for (const auto &row : rows) {
        EXPECT_EQ(toggleLayout(row.caption, row.width), row.expected) << row.caption << ' ' << row.width;
    }
}

TEST(WindowRules, FileExitClosesBothWindowsAndTheProgramEndsWithTheLast)
{
    EXPECT_TRUE(windowsClosedBy(CloseCommand::ExitButton).scheduler);
    EXPECT_FALSE(windowsClosedBy(CloseCommand::ExitButton).about);
    EXPECT_TRUE(windowsClosedBy(CloseCommand::FileExit).scheduler && windowsClosedBy(CloseCommand::FileExit).about);
    EXPECT_FALSE(windowsClosedBy(CloseCommand::AboutOk).scheduler);
    EXPECT_TRUE(windowsClosedBy(CloseCommand::AboutOk).about);
    EXPECT_FALSE(programEnds(false, true)); // an About window left open keeps the program
    EXPECT_TRUE(programEnds(false, false));
}

} // namespace
} // namespace quietwatch
