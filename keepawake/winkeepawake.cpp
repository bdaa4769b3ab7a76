#include "winkeepawake.h"

#include "keepawakeplatform.h"

#include <array>

namespace quietwatch {

namespace {

// The text the Linux inhibition shows as well; the context keeps a pointer to it.
std::array<wchar_t, 19> g_reason{L"設定した時刻の電源操作を待っています"};

REASON_CONTEXT reasonContext()
{
    REASON_CONTEXT context{};
    context.Version = POWER_REQUEST_CONTEXT_VERSION;
    context.Flags = POWER_REQUEST_CONTEXT_SIMPLE_STRING;
    context.Reason.SimpleReasonString = g_reason.data();
    return context;
}

} // namespace

WinKeepAwake::~WinKeepAwake()
{
    if (m_timer != nullptr) {
        CloseHandle(m_timer); // its last handle: the timer goes, and no wake with it
    }
    if (m_request != nullptr && m_request != INVALID_HANDLE_VALUE) {
        CloseHandle(m_request); // ends whatever it still holds
    }
}

bool WinKeepAwake::hasRequest()
{
    if (m_request == nullptr) {
        REASON_CONTEXT context = reasonContext();
        m_request = m_calls.powerCreateRequest(&context);
        if (m_request == nullptr) {
            m_request = INVALID_HANDLE_VALUE;
        }
    }
    return m_request != INVALID_HANDLE_VALUE;
}

void WinKeepAwake::hold()
{
    m_held = true;
    if (hasRequest()) {
        m_calls.powerSetRequest(m_request, PowerRequestSystemRequired);
    } else {
        m_calls.setThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    }
}

void WinKeepAwake::release()
{
    m_held = false;
    if (hasRequest()) {
        m_calls.powerClearRequest(m_request, PowerRequestSystemRequired);
    } else {
        m_calls.setThreadExecutionState(ES_CONTINUOUS);
    }
}

void WinKeepAwake::stayUp(bool up)
{
    if (!up || !m_held) {
        return; // let go with the idle hold
    }
    if (hasRequest()) {
        // Set and cleared in pairs: the request counts its sets.
        m_calls.powerClearRequest(m_request, PowerRequestSystemRequired);
        m_calls.powerSetRequest(m_request, PowerRequestSystemRequired);
    } else {
        m_calls.setThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    }
}

void WinKeepAwake::wakeAt(std::optional<std::chrono::sys_seconds> moment)
{
    if (!moment) {
        if (m_timer != nullptr) {
            m_calls.cancelWaitableTimer(m_timer);
        }
        return;
    }
    if (m_timer == nullptr) {
        m_timer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
        if (m_timer == nullptr) {
            return;
        }
    }
    // Positive: an absolute time, 100 ns since 1601-01-01 UTC (11644473600 s before 1970).
    LARGE_INTEGER due{};
    due.QuadPart = (moment->time_since_epoch().count() + 11644473600LL) * 10000000LL;
    REASON_CONTEXT context = reasonContext(); // a wake context: the timer resumes the system
    if (!m_calls.setWaitableTimerEx(m_timer, &due, 0, nullptr, nullptr, &context, 0)) {
        m_calls.setWaitableTimer(m_timer, &due, 0, nullptr, nullptr, TRUE);
    }
}

std::unique_ptr<KeepAwake> createKeepAwake()
{
    return std::make_unique<WinKeepAwake>();
}

} // namespace quietwatch
