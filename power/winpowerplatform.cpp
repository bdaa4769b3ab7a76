#include "winpowerplatform.h"

#include "powerplatform.h"

#include <string>

namespace quietwatch {

static_assert(sizeof(TOKEN_PRIVILEGES) == sizeof(TokenPrivileges), "one-entry TOKEN_PRIVILEGES is 16 bytes");
static_assert(sizeof(LUID) == sizeof(Luid));

namespace {

HANDLE toHandle(TokenHandle token)
{
    return reinterpret_cast<HANDLE>(token); // NOLINT(performance-no-int-to-ptr): the handle round-trips
}

TOKEN_PRIVILEGES toWin32(const TokenPrivileges &record)
{
    TOKEN_PRIVILEGES result{};
    result.PrivilegeCount = record.privilegeCount;
    result.Privileges[0].Luid.LowPart = record.luid.lowPart;
    result.Privileges[0].Luid.HighPart = record.luid.highPart;
    result.Privileges[0].Attributes = record.attributes;
    return result;
}

} // namespace

int WinPowerPlatform::platformCode()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#ifdef _MSC_VER
#pragma warning(suppress : 4996) // the platform id is all we read, and it is stable
#endif
    if (GetVersionExW(&info) == 0) {
        return 0;
    }
    return static_cast<int>(info.dwPlatformId);
}

std::optional<TokenHandle> WinPowerPlatform::openProcessToken(std::uint32_t desiredAccess)
{
    HANDLE token = nullptr;
    if (m_calls.openProcessToken(GetCurrentProcess(), desiredAccess, &token) == 0) {
        return std::nullopt;
    }
    return reinterpret_cast<TokenHandle>(token);
}

std::optional<Luid> WinPowerPlatform::lookupPrivilegeValue(std::string_view name)
{
    const std::string name8(name); // the 8-bit privilege name, NUL-terminated
    LUID luid{};
    if (m_calls.lookupPrivilegeValueA(nullptr, name8.c_str(), &luid) == 0) {
        return std::nullopt;
    }
    return Luid{luid.LowPart, luid.HighPart};
}

bool WinPowerPlatform::adjustTokenPrivileges(TokenHandle token, const TokenPrivileges &state, TokenPrivileges &previous,
                                             std::uint32_t &returnLength)
{
    TOKEN_PRIVILEGES newState = toWin32(state);
    TOKEN_PRIVILEGES previousState{};
    DWORD length = returnLength;
    const BOOL ok = m_calls.adjustTokenPrivileges(toHandle(token), FALSE, &newState, sizeof(TOKEN_PRIVILEGES),
                                                  &previousState, &length);
    previous =
        TokenPrivileges{previousState.PrivilegeCount,
                        Luid{previousState.Privileges[0].Luid.LowPart, previousState.Privileges[0].Luid.HighPart},
                        previousState.Privileges[0].Attributes};
    returnLength = length;
    return ok != 0;
}

void WinPowerPlatform::closeHandle(TokenHandle token)
{
    CloseHandle(toHandle(token));
}

void WinPowerPlatform::exitWindows(ExitFlags flags, std::uint32_t reason)
{
    m_calls.exitWindowsEx(flags, reason);
}

std::unique_ptr<PowerPlatform> createPowerPlatform()
{
    return std::make_unique<WinPowerPlatform>();
}

} // namespace quietwatch
