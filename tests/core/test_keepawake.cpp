#include "keepawake.h"

#include <gtest/gtest.h>
#include <string>

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
                      ArmedCase{"2026/12/08", "9:00:00 ", false}, ArmedCase{"2026/12/31", "23:59:59", true},
                      ArmedCase{"2026/12/08", "9:60:00", false}, ArmedCase{"2026/12/08", "9:00:60", false}));

TEST(TargetArmedClock, NotArmedBeforeTheClockHasTicked)
{
    EXPECT_FALSE(targetArmed("2099/01/01", "0:00:00", "時刻", "00:00:00"));
}

// The system is asked only when the state changes, and let go when the switch goes.
TEST(KeepAwakeSwitch, AsksOnlyWhenTheStateChanges)
{
    struct : KeepAwake
    {
        void hold() override { calls += 'h'; }
        void release() override { calls += 'r'; }
        std::string calls;
    } system;
    {
        KeepAwakeSwitch keepAwake(system);
        for (const bool armed : {false, true, true, false, false, true, true}) {
            keepAwake.follow(armed);
            EXPECT_EQ(keepAwake.holding(), armed);
        }
    }
    EXPECT_EQ(system.calls, "hrhr");
}

} // namespace
} // namespace quietwatch
