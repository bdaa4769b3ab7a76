#include "choicelists.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace quietwatch {
namespace {

using testing::at;
using testing::FakeClock;

struct ListCase
{
    LocalDateTime start;
    const char *first;
    const char *last;
    const char *mustContain;
};

class DateList : public ::testing::TestWithParam<ListCase>
{
};

TEST_P(DateList, RunsSixteenDaysFromTheStart)
{
    const ListCase &c = GetParam();
    const FakeClock clock(c.start);
    const std::vector<std::string> entries = dateEntries(clock);
    ASSERT_EQ(entries.size(), 16U);
    EXPECT_EQ(entries.front(), c.first);
    EXPECT_EQ(entries.back(), c.last);
    EXPECT_NE(std::find(entries.begin(), entries.end(), c.mustContain), entries.end());
    for (std::size_t i = 1; i < entries.size(); ++i) {
        EXPECT_LT(entries[i - 1], entries[i]) << "entries stay in calendar order";
    }
}

INSTANTIATE_TEST_SUITE_P(Starts, DateList,
                         ::testing::Values(ListCase{at(2026, 12, 20), "2026/12/20", "2027/01/04", "2027/01/01"},
                                           ListCase{at(2024, 2, 20), "2024/02/20", "2024/03/06", "2024/02/29"},
                                           ListCase{at(2025, 2, 20), "2025/02/20", "2025/03/07", "2025/03/01"}));

TEST(DateList, CountsFromTheNewDayWhenMidnightPassesWhileFilling)
{
    FakeClock clock;
    for (int i = 0; i < 3; ++i) {
        clock.script.push_back(at(2026, 12, 7, 23, 59, 59));
    }
    clock.current = at(2026, 12, 8); // every later reading
    const std::vector<std::string> entries = dateEntries(clock);
    EXPECT_EQ(clock.reads, 16);
    EXPECT_EQ(entries[2], "2026/12/09");
    EXPECT_EQ(entries[3], "2026/12/11") << "one date is left out";
    EXPECT_EQ(entries[15], "2026/12/23");
}

TEST(TimeLists, HoursHaveNoLeadingZeroMinutesAndSecondsHaveTwoDigits)
{
    const std::vector<std::string> hours = hourEntries();
    ASSERT_EQ(hours.size(), 24U);
    const std::vector<std::string> minutes = minuteSecondEntries();
    ASSERT_EQ(minutes.size(), 60U);
    for (int i = 0; i < 60; ++i) {
        char two[3] = {static_cast<char>('0' + i / 10), static_cast<char>('0' + i % 10), '\0'};
        EXPECT_EQ(minutes[static_cast<std::size_t>(i)], two);
        if (i < 24) {
            EXPECT_EQ(hours[static_cast<std::size_t>(i)], std::to_string(i));
        }
    }
}

} // namespace
} // namespace quietwatch
