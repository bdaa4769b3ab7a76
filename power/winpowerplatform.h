#pragma once

// Windows: the Win32 privilege and session-end calls. The calls are taken from a table
// so that a test can replace one of them (the final ExitWindowsEx, or a step forced to
// fail) and run the rest for real.

#include "powercontrol.h"

#include <windows.h>

namespace quietwatch {

struct Win32PowerCalls
{
    BOOL(WINAPI *openProcessToken)(HANDLE, DWORD, PHANDLE) = &::OpenProcessToken;
    BOOL(WINAPI *lookupPrivilegeValueA)(LPCSTR, LPCSTR, PLUID) = &::LookupPrivilegeValueA;
    BOOL(WINAPI *adjustTokenPrivileges)
    (HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD) = &::AdjustTokenPrivileges;
    BOOL(WINAPI *exitWindowsEx)(UINT, DWORD) = &::ExitWindowsEx;
};

class WinPowerPlatform final : public PowerPlatform
{
public:
    explicit WinPowerPlatform(Win32PowerCalls calls = {}) : m_calls(calls) {}

    // The platform id of the OS version API: 2 (VER_PLATFORM_WIN32_NT) on every current Windows.
    int platformCode() override;
    std::optional<TokenHandle> openProcessToken(std::uint32_t desiredAccess) override;
    std::optional<Luid> lookupPrivilegeValue(std::string_view name) override;
    bool adjustTokenPrivileges(TokenHandle token, const TokenPrivileges &state, TokenPrivileges &previous,
                               std::uint32_t &returnLength) override;
    void closeHandle(TokenHandle token) override;
    void exitWindows(ExitFlags flags, std::uint32_t reason) override;

private:
    Win32PowerCalls m_calls;
};

} // namespace quietwatch
