#include "fakes.h"
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

std::chrono::sys_seconds utc(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0)
{
    using namespace std::chrono;
    return sys_days{year_month_day{year{y}, month{mo}, day{d}}} + hours{h} + minutes{mi} + seconds{s};
}

// A zone with daylight saving time as central Europe keeps it in 2026: UTC+1, and UTC+2 from
// 29 March 1:00 UTC (2:00 local skips to 3:00) to 25 October 1:00 UTC (3:00 local repeats 2:00).
class CentralEuropeClock final : public Clock
{
public:
    LocalDateTime now() const override { return testing::at(2026, 1, 1); }
    LocalDateTime localAt(std::chrono::sys_seconds moment) const override
    {
        testing::FakeClock zone;
        const bool summer = moment >= utc(2026, 3, 29, 1) && moment < utc(2026, 10, 25, 1);
        zone.utcOffset = std::chrono::hours{summer ? 2 : 1};
        return zone.localAt(moment);
    }
};

struct PlanCase
{
    const char *what;
    const char *target; // date and time texts, a blank between them
    const char *clock;
    WakePlan plan;
    friend void PrintTo(const PlanCase &c, std::ostream *out) { *out << c.what; }
};

class PlanWake : public ::testing::TestWithParam<PlanCase>
{
};

TEST_P(PlanWake, WakesTheLeadBeforeTheTargetInUtc)
{
    const PlanCase c = GetParam();
    const std::string_view target = c.target;
    const std::string_view clock = c.clock;
    const std::size_t t = target.find(' ');
    const std::size_t k = clock.find(' ');
    const WakePlan plan = planWake(target.substr(0, t), target.substr(t + 1), clock.substr(0, k), clock.substr(k + 1),
                                   CentralEuropeClock(), kWakeLead);
    EXPECT_EQ(plan.armed, c.plan.armed);
    EXPECT_EQ(plan.wakeAt, c.plan.wakeAt);
    EXPECT_EQ(plan.wakeAhead, c.plan.wakeAhead);
    EXPECT_EQ(plan.withinLead, c.plan.withinLead);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, PlanWake, ::testing::Values(
    PlanCase{"ahead, winter", "2026/12/07 12:05:00", "2026/12/07 12:00:00",
             {true, utc(2026, 12, 7, 11, 3), true, false}},
    PlanCase{"a second before the wake", "2026/12/07 12:05:00", "2026/12/07 12:02:59",
             {true, utc(2026, 12, 7, 11, 3), true, false}},
    PlanCase{"at the wake", "2026/12/07 12:05:00", "2026/12/07 12:03:00", {true, utc(2026, 12, 7, 11, 3), false, true}},
    PlanCase{"its own second", "2026/12/07 12:05:00", "2026/12/07 12:05:00",
             {true, utc(2026, 12, 7, 11, 3), false, true}},
    PlanCase{"slept through", "2026/12/07 12:05:00", "2026/12/07 12:05:01", {}},
    PlanCase{"summer", "2026/07/01 0:00:30", "2026/06/30 23:00:00", {true, utc(2026, 6, 30, 21, 58, 30), true, false}},
    PlanCase{"the new year", "2027/01/01 0:01:00", "2026/12/31 23:00:00",
             {true, utc(2026, 12, 31, 22, 59), true, false}},
    // 3:01 summer time is 1:01 UTC; the wake two minutes before is still winter's 1:59.
    PlanCase{"just after the skipped hour", "2026/03/29 3:01:00", "2026/03/29 1:00:00",
             {true, utc(2026, 3, 29, 0, 59), true, false}},
    PlanCase{"within the lead across it", "2026/03/29 3:01:00", "2026/03/29 1:59:00",
             {true, utc(2026, 3, 29, 0, 59), false, true}},
    PlanCase{"in the skipped hour: never shown", "2026/03/29 2:30:00", "2026/03/29 1:00:00",
             {true, std::nullopt, false, false}},
    PlanCase{"in the repeated hour: its first pass", "2026/10/25 2:30:00", "2026/10/25 1:00:00",
             {true, utc(2026, 10, 25, 0, 28), true, false}},
    PlanCase{"just after the repeated hour", "2026/10/25 3:00:30", "2026/10/24 23:00:00",
             {true, utc(2026, 10, 25, 1, 58, 30), true, false}},
    PlanCase{"not set", "未設定 未設定", "2026/12/07 12:00:00", {}},
    PlanCase{"before the first tick", "2026/12/07 12:05:00", "時刻 00:00:00", {}}));
// clang-format on

// The system is asked for a wake when the target's wake moment changes while still ahead,
// asked again after a clock change or a resume, kept up only on a resume within the lead,
// and everything is let go once the target is no longer armed.
TEST(KeepAwakeSwitch, WakesForTheTargetAndStaysUpOnlyWithinTheLead)
{
    struct : KeepAwake
    {
        void hold() override { calls += "hold "; }
        void release() override { calls += "release "; }
        void wakeAt(std::optional<std::chrono::sys_seconds> moment) override
        {
            calls += moment ? "wake" + std::to_string(moment->time_since_epoch().count() % 1000) + " " : "cancel ";
        }
        void stayUp(bool up) override { calls += up ? "up " : "down "; }
        std::string take() { return std::exchange(calls, {}); }
        std::string calls;
    } system;
    const std::chrono::sys_seconds x{std::chrono::seconds{1100}};
    const std::chrono::sys_seconds y{std::chrono::seconds{1200}};
    const WakePlan ahead{true, x, true, false};
    const WakePlan within{true, x, false, true};
    const WakePlan past{};
    {
        KeepAwakeSwitch keepAwake(system);
        keepAwake.follow(ahead);
        EXPECT_EQ(system.take(), "hold wake100 ");
        keepAwake.follow(ahead);
        keepAwake.follow(within); // the wake moment passes: the same target
        EXPECT_EQ(system.take(), "");
        keepAwake.resumed(within);
        keepAwake.resumed(within);
        EXPECT_EQ(system.take(), "up up ");
        keepAwake.follow(past);
        EXPECT_EQ(system.take(), "down cancel release ");

        keepAwake.follow(ahead); // the clock set back before the target
        keepAwake.clockChanged(ahead);
        keepAwake.resumed(ahead); // woken early, or by the user: no stay-up
        EXPECT_EQ(system.take(), "hold wake100 wake100 wake100 ");
        keepAwake.clockChanged({true, y, true, false}); // the change moved a local target
        EXPECT_EQ(system.take(), "wake200 ");
        keepAwake.follow({true, x, false, true}); // a new target already within the lead
        EXPECT_EQ(system.take(), "cancel ");
        keepAwake.follow({true, std::nullopt, false, false}); // one the clock never shows
        keepAwake.resumed(past);                              // slept through: no stay-up
        EXPECT_EQ(system.take(), "release ");

        keepAwake.follow(ahead);
        keepAwake.resumed(within);
        EXPECT_EQ(system.take(), "hold wake100 up ");
    } // the window closes
    EXPECT_EQ(system.calls, "down cancel release ");
}

} // namespace
} // namespace quietwatch
