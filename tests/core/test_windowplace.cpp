#include "windowplace.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace quietwatch {
namespace {

struct PlaceCase
{
    const char *name;
    ScreenRect mainOuter;
    std::vector<ScreenRect> areas;
    ScreenPoint expected;
    std::vector<std::pair<int, int>> sizes{}; // the About window's size on each area; none: 275 x 230 on all
};

class AboutPlace : public ::testing::TestWithParam<PlaceCase>
{
};

// The About window's outer size in these cases: 275 x 230.
TEST_P(AboutPlace, BesideTheMainWindowAndInsideTheScreen)
{
    const PlaceCase &c = GetParam();
    if (c.sizes.empty()) {
        EXPECT_EQ(aboutWindowPlace(c.mainOuter, 275, 230, c.areas), c.expected);
        return;
    }
    std::vector<PlaceArea> areas;
    for (std::size_t i = 0; i < c.areas.size(); ++i) {
        areas.push_back({c.areas[i], c.sizes[i].first, c.sizes[i].second});
    }
    EXPECT_EQ(aboutWindowPlace(c.mainOuter, areas), c.expected);
}

const ScreenRect kScreen{0, 0, 1280, 1024};
const ScreenRect kBelowPanel{0, 30, 1280, 994}; // a panel along the top

INSTANTIATE_TEST_SUITE_P(
    Places, AboutPlace,
    ::testing::Values(PlaceCase{"fits", {248, 260, 384, 285}, {kScreen}, {632, 260}},
                      PlaceCase{"fitsExactlyAtTheRightEdge", {621, 0, 384, 285}, {kScreen}, {1005, 0}},
                      // The main window at the screen's right edge: moved left by the least amount.
                      PlaceCase{"mainAtTheRightEdge", {896, 400, 384, 285}, {kScreen}, {1005, 400}},
                      PlaceCase{"bottomEdge", {100, 900, 384, 285}, {kScreen}, {484, 794}},
                      PlaceCase{"aboveTheAvailableArea", {100, 10, 384, 285}, {kBelowPanel}, {484, 30}},
                      // A second screen to the right takes the window as placed.
                      PlaceCase{"onTheNextScreen", {896, 400, 384, 285}, {kScreen, {1280, 0, 1024, 768}}, {1280, 400}},
                      // Of two screens, the nearer inside position wins.
                      PlaceCase{"nearerScreen", {896, 900, 384, 285}, {kScreen, {1280, 0, 1024, 768}}, {1280, 538}},
                      // Jutting past the first screen below the shorter second: 79 px back onto the first,
                      // not 196 px across and 162 px up (the nearer one listed first).
                      PlaceCase{"backOntoTheFirst", {700, 700, 384, 285}, {kScreen, {1280, 0, 1024, 768}}, {1005, 700}},
                      // 115 px up onto the first or 115 px down onto the second: the first listed wins.
                      PlaceCase{"tieToTheFirst", {100, 909, 384, 285}, {kScreen, {0, 1024, 1280, 1024}}, {484, 794}},
                      PlaceCase{"largerThanTheArea", {100, 100, 384, 285}, {{0, 0, 200, 150}}, {0, 0}},
                      // The second screen at 144 dpi: 413 x 345 there would jut out below at 500,
                      // where the 96-dpi size fits; moved up by 77 px.
                      PlaceCase{"largerOnTheNextScreen",
                                {896, 500, 384, 285},
                                {kScreen, {1280, 0, 1024, 768}},
                                {1280, 423},
                                {{275, 230}, {413, 345}}},
                      // Made at 144 dpi beside a 96-dpi screen: there it fits as placed.
                      PlaceCase{"smallerOnTheNextScreen",
                                {896, 500, 384, 285},
                                {kScreen, {1280, 0, 1024, 768}},
                                {1280, 500},
                                {{413, 345}, {275, 230}}}),
    [](const ::testing::TestParamInfo<PlaceCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace quietwatch
