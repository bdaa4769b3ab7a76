// The Windows idle-sleep inhibition, driven by the core's armed state at the window's
// moments. SetThreadExecutionState is wrapped: the wrapper records its argument and calls
// the real function, whose answer shows the state the system holds.

#include "fakes.h"
#include "keepawake.h"
#include "schedule.h"
#include "winkeepawake.h"

#include <gtest/gtest.h>
#include <vector>
#include <windows.h>

namespace quietwatch {
namespace {

std::vector<EXECUTION_STATE> calls;

EXECUTION_STATE WINAPI recordSetThreadExecutionState(EXECUTION_STATE flags)
{
    calls.push_back(flags);
    return ::SetThreadExecutionState(flags);
}

constexpr EXECUTION_STATE kHeld = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;

// The state in force now; a call without ES_CONTINUOUS leaves it as it is.
EXECUTION_STATE stateNow()
{
    return ::SetThreadExecutionState(0);
}

TEST(WinKeepAwake, FollowsTheArmedTargetAtTheWindowsMoments)
{
    calls.clear();
    testing::FakeClock clock(testing::at(2026, 12, 7, 23, 59, 58));
    testing::RecordingRequests power;
    Schedule schedule(clock, power);
    WinKeepAwake system(Win32KeepAwakeCalls{&recordSetThreadExecutionState});
    {
        KeepAwakeSwitch keepAwake(system);
        const auto follow = [&] { keepAwake.follow(targetArmed(schedule)); };
        const auto tickAt = [&](const LocalDateTime &moment) {
            clock.current = moment;
            schedule.tick(Action::ShutDown);
            follow();
        };
        tickAt(testing::at(2026, 12, 7, 23, 59, 58));
        schedule.Set("2026/12/07", "23", "59", "58", Action::ShutDown); // its second, already ticked: still armed
        follow();
        EXPECT_EQ(calls, std::vector<EXECUTION_STATE>{kHeld});
        EXPECT_EQ(stateNow(), kHeld);
        tickAt(testing::at(2026, 12, 7, 23, 59, 59)); // passed, not fired
        EXPECT_EQ(calls, (std::vector<EXECUTION_STATE>{kHeld, ES_CONTINUOUS}));
        EXPECT_EQ(stateNow(), static_cast<EXECUTION_STATE>(ES_CONTINUOUS));

        schedule.Set("2026/12/07", "23", "59", "50", Action::ShutDown); // past: nothing asked
        follow();
        schedule.Set("2026/12/08", "0", "00", "00", Action::Restart);
        follow();
        tickAt(testing::at(2026, 12, 8, 0, 0, 0));                   // fires while held
        EXPECT_EQ(power.calls, std::vector<std::string>{"ShutNow"}); // the choice at the tick
        schedule.Clear();
        follow();
        EXPECT_EQ(calls, (std::vector<EXECUTION_STATE>{kHeld, ES_CONTINUOUS, kHeld, ES_CONTINUOUS}));

        schedule.Set("2026/12/09", "0", "00", "00", Action::ShutDown);
        follow();
        EXPECT_EQ(stateNow(), kHeld);
    } // the window closes
    EXPECT_EQ(calls, (std::vector<EXECUTION_STATE>{kHeld, ES_CONTINUOUS, kHeld, ES_CONTINUOUS, kHeld, ES_CONTINUOUS}));
    EXPECT_EQ(stateNow(), static_cast<EXECUTION_STATE>(ES_CONTINUOUS));
}

} // namespace
} // namespace quietwatch
