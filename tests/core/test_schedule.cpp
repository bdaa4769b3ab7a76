#include "choicelists.h"
#include "fakes.h"
#include "schedule.h"

#include <gtest/gtest.h>

namespace quietwatch {
namespace {

using testing::at;
using testing::FakeClock;
using testing::RecordingRequests;
using Calls = std::vector<std::string>;

class ScheduleTest : public ::testing::Test
{
protected:
    // Two ticks in every second, as the window's 500 ms timer gives; each says whether it fired.
    void tickSecond(const LocalDateTime &moment, Action action = Action::ShutDown)
    {
        clock.current = moment;
        for (int tick = 0; tick < 2; ++tick) {
            const std::size_t before = power.calls.size();
            const bool fired = schedule.tick(action);
            EXPECT_EQ(fired, power.calls.size() > before);
        }
    }

    FakeClock clock;
    RecordingRequests power;
    Schedule schedule{clock, power};
};

TEST_F(ScheduleTest, StartsWithTheDesignTexts)
{
    EXPECT_EQ(schedule.targetDate(), "未設定");
    EXPECT_EQ(schedule.targetTime(), "未設定");
    EXPECT_EQ(schedule.actionLine(), "行動\u3000\uFF1A");
    EXPECT_EQ(schedule.clockTime(), "00:00:00");
    EXPECT_EQ(schedule.clockDate(), "時刻");
}

TEST_F(ScheduleTest, TheActionLineIsTheChoiceAtSet)
{
    schedule.Set("2026/12/07", "21", "30", "15", Action::ShutDown);
    EXPECT_EQ(schedule.actionLine(), "行動 : シャットダウン ");
    EXPECT_EQ(schedule.actionLine(), "\u884C\u52D5 : \u30B7\u30E3\u30C3\u30C8\u30C0\u30A6\u30F3 ");
    schedule.Set("2026/12/07", "21", "30", "15", Action::Restart);
    EXPECT_EQ(schedule.actionLine(), "\u884C\u52D5 \uFF1A \u518D\u8D77\u52D5");
}

TEST_F(ScheduleTest, SetComposesTheTimeWithNothingAddedOrValidated)
{
    schedule.Set("2026/12/07", "9", "05", "00", Action::ShutDown);
    EXPECT_EQ(schedule.targetDate(), "2026/12/07");
    EXPECT_EQ(schedule.targetTime(), "9:05:00");
    schedule.Set("", "x", "", "99", Action::ShutDown);
    EXPECT_EQ(schedule.targetDate(), "");
    EXPECT_EQ(schedule.targetTime(), "x::99");
}

TEST_F(ScheduleTest, NothingFiresBeforeSetOrAfterClear)
{
    tickSecond(at(2026, 12, 7, 0, 0, 0));
    schedule.Set("2026/12/07", "21", "30", "15", Action::ShutDown);
    schedule.Clear();
    EXPECT_EQ(schedule.targetDate(), "");
    EXPECT_EQ(schedule.targetTime(), "");
    EXPECT_EQ(schedule.actionLine(), "行動 : シャットダウン ") << "Clear keeps the action line";
    tickSecond(at(2026, 12, 7, 21, 30, 15));
    EXPECT_TRUE(power.calls.empty());
}

TEST_F(ScheduleTest, FiresOnBothTicksOfItsSecondAndNeverLater)
{
    schedule.Set("2026/12/07", "21", "30", "15", Action::ShutDown);
    tickSecond(at(2026, 12, 7, 21, 30, 14));
    EXPECT_TRUE(power.calls.empty());
    tickSecond(at(2026, 12, 7, 21, 30, 15));
    EXPECT_EQ(power.calls, (Calls{"ShutNow", "ShutNow"}));
    tickSecond(at(2026, 12, 7, 21, 30, 16));
    tickSecond(at(2026, 12, 8, 21, 30, 15));
    EXPECT_EQ(power.calls.size(), 2U) << "a passed target does not recur on another day";
    EXPECT_EQ(schedule.targetTime(), "21:30:15") << "nothing is reset after firing";
}

TEST_F(ScheduleTest, TheActionIsTheOneChosenAtTheMatch)
{
    schedule.Set("2026/12/07", "21", "30", "15", Action::ShutDown);
    tickSecond(at(2026, 12, 7, 21, 30, 15), Action::Restart);
    EXPECT_EQ(power.calls, (Calls{"RebootNow", "RebootNow"}));
    EXPECT_EQ(schedule.actionLine(), "行動 : シャットダウン ");
}

TEST_F(ScheduleTest, MidnightFiresWithTheNewDaysDate)
{
    schedule.Set("2026/12/08", "0", "00", "00", Action::ShutDown);
    tickSecond(at(2026, 12, 7, 23, 59, 59));
    EXPECT_TRUE(power.calls.empty());
    tickSecond(at(2026, 12, 8, 0, 0, 0));
    EXPECT_EQ(power.calls.size(), 2U);
    EXPECT_EQ(schedule.clockTime(), "0:00:00");
    EXPECT_EQ(schedule.clockDate(), "2026/12/08");
}

TEST_F(ScheduleTest, ATickReadsTheClockOnceSoMidnightCannotMixTwoDays)
{
    // A target for the new day's last second must not fire when a tick straddles midnight.
    schedule.Set("2026/12/08", "23", "59", "59", Action::ShutDown);
    clock.script = {at(2026, 12, 7, 23, 59, 59), at(2026, 12, 8, 0, 0, 0)};
    schedule.tick(Action::ShutDown);
    EXPECT_EQ(clock.reads, 1);
    EXPECT_EQ(schedule.clockDate(), "2026/12/07");
    EXPECT_EQ(schedule.clockTime(), "23:59:59");
    EXPECT_TRUE(power.calls.empty());
}

TEST_F(ScheduleTest, TheClockTextsAreRenewedOnlyWhenTheSecondMovesOn)
{
    clock.current = at(2026, 12, 7, 9, 0, 0);
    EXPECT_TRUE(schedule.readClock());
    EXPECT_FALSE(schedule.readClock());
    clock.current = at(2026, 12, 8, 9, 0, 0);
    EXPECT_TRUE(schedule.readClock());
    EXPECT_EQ(schedule.clockDate(), "2026/12/08");
}

TEST_F(ScheduleTest, SettingTheClockBackFiresAgain)
{
    schedule.Set("2026/12/07", "12", "00", "05", Action::Restart);
    tickSecond(at(2026, 12, 7, 12, 0, 5), Action::Restart);
    tickSecond(at(2026, 12, 7, 11, 0, 0), Action::Restart);
    tickSecond(at(2026, 12, 7, 12, 0, 5), Action::Restart);
    EXPECT_EQ(power.calls.size(), 4U);
}

TEST_F(ScheduleTest, APastTargetIsAcceptedAndNeverFires)
{
    clock.current = at(2026, 12, 7, 15, 0, 0);
    const std::vector<std::string> dates = dateEntries(clock);
    schedule.Set(dates.front(), hourEntries().front(), minuteSecondEntries().front(), minuteSecondEntries().front(),
                 Action::ShutDown);
    EXPECT_EQ(schedule.targetTime(), "0:00:00");
    for (int s = 0; s < 120; ++s) {
        tickSecond(at(2026, 12, 7, 15, s / 60, s % 60));
    }
    EXPECT_TRUE(power.calls.empty());
}

TEST_F(ScheduleTest, ATargetComposedFromTheListsMatchesTheClockEveryHour)
{
    // The lists and the clock come from one conversion, so every hour's target can fire.
    const std::vector<std::string> hours = hourEntries();
    for (int h = 0; h < 24; ++h) {
        power.calls.clear();
        schedule.Set("2026/12/07", hours[static_cast<std::size_t>(h)], "07", "09", Action::ShutDown);
        tickSecond(at(2026, 12, 7, h, 7, 9));
        EXPECT_EQ(power.calls.size(), 2U) << "hour " << h;
    }
}

struct CompareCase
{
    const char *a;
    const char *b;
    bool equal;
};

class TextComparison : public ::testing::TestWithParam<CompareCase>
{
};

TEST_P(TextComparison, IsWholeTextAndIgnoresCase)
{
    const CompareCase &c = GetParam();
    EXPECT_EQ(textsEqualIgnoringCase(c.a, c.b), c.equal);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextComparison,
                         ::testing::Values(CompareCase{"9:05:00", "9:05:00", true},
                                           CompareCase{"09:05:00", "9:05:00", false},
                                           CompareCase{"9:05:00", "9:05:0", false}, CompareCase{"", "", true},
                                           CompareCase{"未設定", "0:00:00", false}, CompareCase{"az:C", "AZ:c", true},
                                           CompareCase{"9:05:00 PM", "9:05:00 pm", true}));

} // namespace
} // namespace quietwatch
