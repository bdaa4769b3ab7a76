#pragma once

// Windows: the thread's execution state. ES_SYSTEM_REQUIRED with ES_CONTINUOUS keeps the
// system from sleeping on idle until ES_CONTINUOUS alone is set again; the display may
// still turn off, and a sleep the user asks for is not blocked. The call is local and
// immediate, so it is made on the window's thread (the state belongs to that thread).

#include "keepawake.h"

#include <windows.h>

namespace quietwatch {

struct Win32KeepAwakeCalls
{
    EXECUTION_STATE(WINAPI *setThreadExecutionState)(EXECUTION_STATE) = &::SetThreadExecutionState;
};

class WinKeepAwake final : public KeepAwake
{
public:
    explicit WinKeepAwake(Win32KeepAwakeCalls calls = {}) : m_calls(calls) {}

    void hold() override { m_calls.setThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED); }
    void release() override { m_calls.setThreadExecutionState(ES_CONTINUOUS); }

private:
    Win32KeepAwakeCalls m_calls;
};

} // namespace quietwatch
