#include "fakes.h"
#include "keepawake.h"
#include "schedule.h"

#include <gtest/gtest.h>

namespace quietwatch {
namespace {

struct ArmedCase
{
    const char *date;
    const char *time;
    bool armed; // against the clock at 2026/12/07 12:00:00
};

class TargetArmed : public ::testing::TestWithParam<ArmedCase>
{
};

TEST_P(TargetArmed, OnlyAMomentInTheFixedFormsNotYetPast)
{
    const ArmedCase c = GetParam();
    EXPECT_EQ(targetArmed(c.date, c.time, "2026/12/07", "12:00:00"), c.armed) << c.date << " " << c.time;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetArmed,
    ::testing::Values(ArmedCase{"2026/12/07", "12:00:01", true},
                      ArmedCase{"2026/12/07", "12:00:00", true}, // its own second
                      ArmedCase{"2026/12/07", "11:59:59", false}, ArmedCase{"2026/12/08", "0:00:00", true},
                      ArmedCase{"2026/12/06", "23:59:59", false}, ArmedCase{"2027/01/01", "9:05:00", true},
                      ArmedCase{"未設定", "未設定", false}, ArmedCase{"", "", false},
                      ArmedCase{"2026/12/08", "09:00:00", false}, // never equals the clock
                      ArmedCase{"2026/12/8", "9:00:00", false}, ArmedCase{"2026/02/30", "9:00:00", false},
                      ArmedCase{"2026/12/08", "24:00:00", false}, ArmedCase{"2026/12/08", "-1:00:00", false},
                      ArmedCase{"2026/12/08", "9:-1:00", false}, ArmedCase{"2026-12-08", "9:00:00", false},
                      ArmedCase{"2026/12/08", "9:00:00 ", false}));

TEST(TargetArmedClock, NotArmedBeforeTheClockHasTicked)
{
    EXPECT_FALSE(targetArmed("2099/01/01", "0:00:00", "時刻", "00:00:00"));
}

class RecordingKeepAwake final : public KeepAwake
{
public:
    void hold() override { calls.emplace_back("hold"); }
    void release() override { calls.emplace_back("release"); }
    std::vector<std::string> calls;
};

// The window's order: the tick, then the armed state from the schedule.
TEST(KeepAwakeSwitch, AsksOnlyWhenTheArmedStateChangesAndLetsGoWhenDestroyed)
{
    testing::FakeClock clock(testing::at(2026, 12, 7, 23, 59, 58));
    testing::RecordingRequests power;
    Schedule schedule(clock, power);
    RecordingKeepAwake system;
    {
        KeepAwakeSwitch keepAwake(system);
        const auto tickAt = [&](int second) {
            clock.current = second < 60 ? testing::at(2026, 12, 7, 23, 59, second) : testing::at(2026, 12, 8, 0, 0, 0);
            for (int half = 0; half < 2; ++half) {
                schedule.tick(Action::ShutDown);
                keepAwake.follow(targetArmed(schedule));
            }
        };
        tickAt(58);
        schedule.Set("2026/12/07", "23", "59", "57", Action::ShutDown); // already past
        keepAwake.follow(targetArmed(schedule));
        EXPECT_TRUE(system.calls.empty());
        schedule.Set("2026/12/07", "23", "59", "59", Action::ShutDown);
        keepAwake.follow(targetArmed(schedule));
        tickAt(58);
        EXPECT_EQ(system.calls, std::vector<std::string>{"hold"});
        tickAt(59); // fires, still held
        EXPECT_EQ(power.calls.size(), 2U);
        EXPECT_EQ(system.calls, std::vector<std::string>{"hold"});
        tickAt(60);
        EXPECT_EQ(system.calls, (std::vector<std::string>{"hold", "release"}));
        schedule.Set("2026/12/09", "0", "00", "00", Action::Restart);
        keepAwake.follow(targetArmed(schedule));
        EXPECT_TRUE(keepAwake.holding());
    }
    EXPECT_EQ(system.calls, (std::vector<std::string>{"hold", "release", "hold", "release"}));
}

} // namespace
} // namespace quietwatch
