#include "datetext.h"
#include "fakes.h"

#include <clocale>
#include <gtest/gtest.h>
#include <locale>
#include <stdexcept>

namespace quietwatch {
namespace {

using testing::at;

struct TextCase
{
    LocalDateTime moment;
    const char *date;
    const char *time;
};

class DateTimeText : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(DateTimeText, HasTheHomeForms)
{
    // The program runs under whatever locale the user has; the texts must not follow it.
    std::setlocale(LC_ALL, "");
    try {
        std::locale::global(std::locale(""));
    } catch (const std::runtime_error &) {
        // A C++ library that knows only the "C" locale (MinGW's) still has the C library's.
    }
    const TextCase &c = GetParam();
    EXPECT_EQ(dateText(c.moment.date), c.date);
    EXPECT_EQ(timeText(c.moment), c.time);
}

INSTANTIATE_TEST_SUITE_P(Forms, DateTimeText,
                         ::testing::Values(TextCase{at(2003, 3, 12, 9, 5, 0), "2003/03/12", "9:05:00"},
                                           TextCase{at(2026, 1, 1, 0, 0, 0), "2026/01/01", "0:00:00"},
                                           TextCase{at(2026, 12, 31, 21, 30, 15), "2026/12/31", "21:30:15"},
                                           TextCase{at(2024, 2, 29, 12, 0, 9), "2024/02/29", "12:00:09"},
                                           TextCase{at(999, 7, 4, 23, 59, 59), "0999/07/04", "23:59:59"},
                                           // Values past the usual widths are written in full, each alone.
                                           TextCase{at(10000, 1, 2, 100, 7, 8), "10000/01/02", "100:07:08"},
                                           TextCase{at(2026, 100, 1, 1, 100, 0), "2026/100/01", "1:100:00"},
                                           TextCase{at(2026, 1, 100, 1, 0, 100), "2026/01/100", "1:00:100"}));

TEST(ClockText, DiffersOnlyInDigitsWhereEachCharacterElseStays)
{
    EXPECT_TRUE(differOnlyInDigits("9:05:09", "9:05:10"));
    EXPECT_FALSE(differOnlyInDigits("9:59:59", "10:00:00"));
    EXPECT_FALSE(differOnlyInDigits("2026/12/07", "2026-12-07"));
    EXPECT_FALSE(differOnlyInDigits(" 9:00:00", "19:00:00"));
    EXPECT_FALSE(differOnlyInDigits("未設定", "9:00:00"));
}

struct DayCase
{
    LocalDateTime start;
    int days;
    const char *expected;
};

class AddDays : public ::testing::TestWithParam<DayCase>
{
};

TEST_P(AddDays, RollsOverMonthsYearsAndLeapDays)
{
    const DayCase &c = GetParam();
    EXPECT_EQ(dateText(addDays(c.start.date, c.days)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, AddDays,
    ::testing::Values(DayCase{at(2026, 12, 31), 1, "2027/01/01"}, DayCase{at(2024, 2, 28), 1, "2024/02/29"},
                      DayCase{at(2023, 2, 28), 1, "2023/03/01"}, DayCase{at(2100, 2, 28), 1, "2100/03/01"},
                      DayCase{at(2000, 2, 28), 1, "2000/02/29"}, DayCase{at(2026, 4, 30), 15, "2026/05/15"}));

} // namespace
} // namespace quietwatch
