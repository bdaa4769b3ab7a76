// The Windows idle-sleep inhibition and wake, driven by the core's armed state at the window's
// moments. SetThreadExecutionState and the waitable timer's calls are wrapped: the wrappers
// record their arguments and call the real functions, whose answers show the state held.

#include "designedcontrols.h"
#include "fakes.h"
#include "form1_win32.h"
#include "keepawake.h"
#include "schedule.h"
#include "winkeepawake.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
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

HANDLE WINAPI noPowerRequest(PREASON_CONTEXT)
{
    return INVALID_HANDLE_VALUE; // as Wine 8's stub answers
}

TEST(WinKeepAwake, FollowsTheArmedTargetAtTheWindowsMoments)
{
    calls.clear();
    testing::FakeClock clock(testing::at(2026, 12, 7, 23, 59, 58));
    testing::RecordingRequests power;
    Schedule schedule(clock, power);
    Win32KeepAwakeCalls recorded{&recordSetThreadExecutionState};
    recorded.powerCreateRequest = &noPowerRequest; // the execution state in its place
    WinKeepAwake system(recorded);
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

// What the real window asks of the system, each call a word: the power request (a stand-in
// object where the row has one) or the execution state, and the real waitable timer.
std::string g_trace;
bool g_hasRequest = false;
std::wstring g_reason;
const HANDLE kRequest = reinterpret_cast<HANDLE>(0x5150);

void trace(const std::string &word)
{
    g_trace += word + ' ';
}

HANDLE WINAPI recordCreate(PREASON_CONTEXT context)
{
    trace("create");
    if (context->Version == POWER_REQUEST_CONTEXT_VERSION && context->Flags == POWER_REQUEST_CONTEXT_SIMPLE_STRING) {
        g_reason = context->Reason.SimpleReasonString;
    }
    return g_hasRequest ? kRequest : INVALID_HANDLE_VALUE; // as Wine 8's stub answers
}

template <bool set> BOOL WINAPI recordRequest(HANDLE request, POWER_REQUEST_TYPE type)
{
    trace(std::string(set ? "set" : "clear") + (request == kRequest && type == PowerRequestSystemRequired ? "" : "?"));
    return TRUE;
}

EXECUTION_STATE WINAPI recordState(EXECUTION_STATE flags)
{
    trace(flags == kHeld ? "state-held" : flags == ES_CONTINUOUS ? "state-let-go" : "state?");
    return ::SetThreadExecutionState(flags);
}

// The due time as UTC "hh:mm:ss" of its day, and whether it has a wake context.
BOOL WINAPI recordTimer(HANDLE timer, const LARGE_INTEGER *due, LONG period, PTIMERAPCROUTINE routine, LPVOID arg,
                        PREASON_CONTEXT wake, ULONG delay)
{
    const long long second = due->QuadPart / 10000000LL % 86400;
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "wake%02d:%02d:%02d%s", static_cast<int>(second / 3600),
                  static_cast<int>(second / 60 % 60), static_cast<int>(second % 60),
                  wake != nullptr ? "" : "-no-context");
    trace(text.data());
    return ::SetWaitableTimerEx(timer, due, period, routine, arg, wake, delay);
}

BOOL WINAPI recordCancel(HANDLE timer)
{
    trace("cancel");
    return ::CancelWaitableTimer(timer);
}

class WinWake : public ::testing::TestWithParam<bool>
{
};

// The real scheduler window on a faked clock (UTC+9): Set, the system's resume and time-change
// messages posted to it, the target's second passing, a target slept through and the end.
TEST_P(WinWake, TheWindowWakesForTheTargetAndStaysUpWithinTheLead)
{
    g_hasRequest = GetParam();
    g_trace.clear();
    const std::string held = g_hasRequest ? "set " : "state-held ";
    const std::string letGo = g_hasRequest ? "clear " : "state-let-go ";
    const std::string again = g_hasRequest ? "clear set " : "state-held ";
    testing::FakeClock clock(testing::at(2026, 12, 7, 12, 0, 0));
    testing::RecordingRequests power;
    Win32KeepAwakeCalls recorded{&recordState, &recordCreate,       &recordRequest<true>, &recordRequest<false>,
                                 &recordTimer, &::SetWaitableTimer, &recordCancel};
    WinKeepAwake system(recorded);
    {
        Form1 window(clock, power, system);
        ASSERT_TRUE(window.show(SW_SHOWNOACTIVATE));
        const auto control = [&](const char *name) {
            return GetDlgItem(window.hwnd(), win32::controlId(design::kForm1, *design::kForm1.control(name)));
        };
        const auto at = [&](int minute, int second) { clock.current = testing::at(2026, 12, 7, 12, minute, second); };
        const auto post = [&](UINT message, WPARAM wParam, LPARAM lParam = 0) {
            PostMessageW(window.hwnd(), message, wParam, lParam);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
            return std::exchange(g_trace, {});
        };
        const auto set = [&](int minute) {
            SendMessageW(control("cmTime(0)"), CB_SETCURSEL, 12, 0);
            SendMessageW(control("cmTime(1)"), CB_SETCURSEL, static_cast<WPARAM>(minute), 0);
            SendMessageW(control("cmTime(2)"), CB_SETCURSEL, 0, 0);
            return post(WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control("comD")), BN_CLICKED),
                        reinterpret_cast<LPARAM>(control("comD")));
        };
        post(WM_TIMER, 1); // the clock's first reading

        EXPECT_EQ(set(5), "create " + held + "wake03:03:00 "); // two minutes before 03:05:00 UTC
        EXPECT_EQ(g_reason, L"設定した時刻の電源操作を待っています");
        EXPECT_EQ(post(WM_TIMECHANGE, 0), "wake03:03:00 ");
        at(1, 0);
        EXPECT_EQ(post(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC), "wake03:03:00 "); // before the lead
        at(3, 10);
        EXPECT_EQ(post(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC), again); // woken for the target
        EXPECT_EQ(post(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND), again);
        at(5, 0);
        EXPECT_EQ(post(WM_TIMER, 1), "");
        EXPECT_EQ(power.calls, std::vector<std::string>{"ShutNow"});
        at(5, 1);
        EXPECT_EQ(post(WM_TIMER, 1), "cancel " + letGo);

        EXPECT_EQ(set(10), held + "wake03:08:00 ");
        at(10, 1); // slept through: nothing taken, nothing fired late
        EXPECT_EQ(post(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC), "cancel " + letGo);
        EXPECT_EQ(power.calls.size(), 1U);

        EXPECT_EQ(set(20), held + "wake03:18:00 ");
        DestroyWindow(window.hwnd());
        EXPECT_EQ(std::exchange(g_trace, {}), "cancel " + letGo);
    }
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutPowerRequests, WinWake, ::testing::Values(true, false));

} // namespace
} // namespace quietwatch
