#pragma once

// The power request: enable the shutdown privilege where the platform has one, then
// ask the system to end the session. Every step that fails stops the request
// silently; the caller is never told.

#include <cstdint>
#include <optional>
#include <string_view>

namespace quietwatch {

using ExitFlags = std::uint32_t;

inline constexpr ExitFlags kExitPowerOff = 8; // EWX_POWEROFF
inline constexpr ExitFlags kExitReboot = 2;   // EWX_REBOOT
inline constexpr int kPlatformNt = 2;         // the only platform with a privilege step
inline constexpr std::uint32_t kTokenAdjustPrivileges = 0x20;
inline constexpr std::uint32_t kTokenQuery = 0x08;
inline constexpr std::uint32_t kPrivilegeEnabled = 2; // SE_PRIVILEGE_ENABLED
inline constexpr std::string_view kShutdownPrivilege = "SeShutdownPrivilege";

// The system's LUID and a TOKEN_PRIVILEGES record with exactly one entry.
struct Luid
{
    std::uint32_t lowPart = 0;
    std::int32_t highPart = 0;
};

struct TokenPrivileges
{
    std::uint32_t privilegeCount = 0;
    Luid luid;
    std::uint32_t attributes = 0;
};
static_assert(sizeof(TokenPrivileges) == 16, "the record handed to the system is 16 bytes");

// An opaque handle owned by the platform (a Win32 HANDLE on Windows).
using TokenHandle = std::uintptr_t;

// The system calls the power request is made of. Each returns what the system
// returned: false or an empty optional is a zero result, that is, a failure.
class PowerPlatform
{
public:
    virtual ~PowerPlatform() = default;

    // 2 for the NT family; anything else has no privilege step.
    virtual int platformCode() = 0;
    // OpenProcessToken(GetCurrentProcess(), desiredAccess, &token).
    virtual std::optional<TokenHandle> openProcessToken(std::uint32_t desiredAccess) = 0;
    // LookupPrivilegeValueA(nullptr, name, &luid) on the local system.
    virtual std::optional<Luid> lookupPrivilegeValue(std::string_view name) = 0;
    // AdjustTokenPrivileges(token, FALSE, &state, 16, &previous, &returnLength).
    virtual bool adjustTokenPrivileges(TokenHandle token, const TokenPrivileges &state, TokenPrivileges &previous,
                                       std::uint32_t &returnLength) = 0;
    virtual void closeHandle(TokenHandle token) = 0;
    // ExitWindowsEx(flags, reason); its result is not looked at.
    virtual void exitWindows(ExitFlags flags, std::uint32_t reason) = 0;
};

// The two requests the schedule and the menu make.
class PowerRequests
{
public:
    virtual ~PowerRequests() = default;
    virtual void ShutNow() = 0;
    virtual void RebootNow() = 0;
};

class PowerControl final : public PowerRequests
{
public:
    explicit PowerControl(PowerPlatform &platform) : m_platform(platform) {}

    void PowerAction(ExitFlags flags);
    void ShutNow() override { PowerAction(kExitPowerOff); }
    void RebootNow() override { PowerAction(kExitReboot); }

private:
    PowerPlatform &m_platform;
};

} // namespace quietwatch
