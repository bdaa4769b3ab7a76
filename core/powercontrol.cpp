#include "powercontrol.h"

namespace quietwatch {

namespace {

// Closes the token on every way out of the privilege step.
class TokenGuard
{
public:
    TokenGuard(PowerPlatform &platform, TokenHandle token) : m_platform(platform), m_token(token) {}
    ~TokenGuard() { m_platform.closeHandle(m_token); }
    TokenGuard(const TokenGuard &) = delete;
    TokenGuard &operator=(const TokenGuard &) = delete;

private:
    PowerPlatform &m_platform;
    TokenHandle m_token;
};

// Enables the shutdown privilege in the process's own token; false at the first refusal.
bool enableShutdownPrivilege(PowerPlatform &platform)
{
    const std::optional<TokenHandle> token = platform.openProcessToken(kTokenAdjustPrivileges | kTokenQuery);
    if (!token) {
        return false;
    }
    const TokenGuard guard(platform, *token);

    const std::optional<Luid> luid = platform.lookupPrivilegeValue(kShutdownPrivilege);
    if (!luid) {
        return false;
    }

    const TokenPrivileges state{1, *luid, kPrivilegeEnabled};
    TokenPrivileges previous{};
    std::uint32_t returnLength = 0;
    // A non-zero result with "not all assigned" still counts as success: only zero stops.
    return platform.adjustTokenPrivileges(*token, state, previous, returnLength);
}

} // namespace

void PowerControl::PowerAction(ExitFlags flags)
{
    if (m_platform.platformCode() == kPlatformNt && !enableShutdownPrivilege(m_platform)) {
        return;
    }
    m_platform.exitWindows(flags, 0);
}

} // namespace quietwatch
