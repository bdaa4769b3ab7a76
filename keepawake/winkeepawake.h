#pragma once

// Windows: a power request, named by its reason (powercfg /requests shows it), set to
// system-required while held: the system does not sleep on idle, the display may still turn
// off, and a sleep the user asks for is not blocked. Where the system makes no power request
// (Wine's PowerCreateRequest is a stub), the thread's execution state does the same at the
// same moments. The wake is a waitable timer that resumes the system at an absolute UTC
// time, named by the same reason (powercfg /waketimers). Every call is local and immediate,
// so it is made on the window's thread.

#include "keepawake.h"

#include <windows.h>

namespace quietwatch {

struct Win32KeepAwakeCalls
{
    EXECUTION_STATE(WINAPI *setThreadExecutionState)(EXECUTION_STATE) = &::SetThreadExecutionState;
    HANDLE(WINAPI *powerCreateRequest)(PREASON_CONTEXT) = &::PowerCreateRequest;
    BOOL(WINAPI *powerSetRequest)(HANDLE, POWER_REQUEST_TYPE) = &::PowerSetRequest;
    BOOL(WINAPI *powerClearRequest)(HANDLE, POWER_REQUEST_TYPE) = &::PowerClearRequest;
    BOOL(WINAPI *setWaitableTimerEx)
    (HANDLE, const LARGE_INTEGER *, LONG, PTIMERAPCROUTINE, LPVOID, PREASON_CONTEXT, ULONG) = &::SetWaitableTimerEx;
    BOOL(WINAPI *setWaitableTimer)
    (HANDLE, const LARGE_INTEGER *, LONG, PTIMERAPCROUTINE, LPVOID, BOOL) = &::SetWaitableTimer;
    BOOL(WINAPI *cancelWaitableTimer)(HANDLE) = &::CancelWaitableTimer;
};

class WinKeepAwake final : public KeepAwake
{
public:
    explicit WinKeepAwake(Win32KeepAwakeCalls calls = {}) : m_calls(calls) {}
    ~WinKeepAwake() override;
    WinKeepAwake(const WinKeepAwake &) = delete;
    WinKeepAwake &operator=(const WinKeepAwake &) = delete;

    void hold() override;
    void release() override;
    void wakeAt(std::optional<std::chrono::sys_seconds> moment) override;
    // Power requests end when the user puts the machine to sleep: taken again after a resume.
    void stayUp(bool up) override;

private:
    bool hasRequest(); // made at the first hold; false where the system makes none

    Win32KeepAwakeCalls m_calls;
    HANDLE m_request = nullptr; // INVALID_HANDLE_VALUE where none could be made
    HANDLE m_timer = nullptr;
    bool m_held = false;
};

} // namespace quietwatch
