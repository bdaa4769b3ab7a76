#pragma once

// Test doubles for the core's seams: a clock that tests move by hand, and recorders
// for the power requests and for the platform calls behind them.

#include "clock.h"
#include "powercontrol.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace quietwatch::testing {

inline LocalDateTime at(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0)
{
    using namespace std::chrono;
    return {year_month_day{year{y}, month{mo}, day{d}}, hours{h}, minutes{mi}, seconds{s}};
}

// Answers `current`, or, while `script` holds readings, the next one of those; its zone is
// `utcOffset` ahead of UTC all year (Japan's, unless a test changes it).
class FakeClock final : public Clock
{
public:
    explicit FakeClock(LocalDateTime start = at(2026, 12, 7, 12, 0, 0)) : current(start) {}
    LocalDateTime now() const override
    {
        ++reads;
        if (script.empty()) {
            return current;
        }
        const LocalDateTime next = script.front();
        script.pop_front();
        return next;
    }
    LocalDateTime localAt(std::chrono::sys_seconds moment) const override
    {
        using namespace std::chrono;
        const sys_seconds wall = moment + utcOffset;
        const sys_days day = floor<days>(wall);
        const hh_mm_ss time(wall - day);
        return {year_month_day{day}, time.hours(), time.minutes(), time.seconds()};
    }

    std::chrono::seconds utcOffset{std::chrono::hours{9}};
    mutable LocalDateTime current;
    mutable std::deque<LocalDateTime> script;
    mutable int reads = 0;
};

class RecordingRequests final : public PowerRequests
{
public:
    void ShutNow() override { record("ShutNow"); }
    void RebootNow() override { record("RebootNow"); }
    std::vector<std::string> calls;
    std::function<void()> onRequest; // called as each request goes out, to look at the window then

private:
    void record(const char *call)
    {
        calls.emplace_back(call);
        if (onRequest) {
            onRequest();
        }
    }
};

// Records each platform call by name; each step answers as the test sets it.
class RecordingPlatform final : public PowerPlatform
{
public:
    int platformCode() override
    {
        calls.emplace_back("platformCode");
        return code;
    }
    std::optional<TokenHandle> openProcessToken(std::uint32_t desiredAccess) override
    {
        calls.emplace_back("openProcessToken");
        access = desiredAccess;
        return openSucceeds ? std::optional<TokenHandle>(kToken) : std::nullopt;
    }
    std::optional<Luid> lookupPrivilegeValue(std::string_view name) override
    {
        calls.emplace_back("lookupPrivilegeValue");
        privilegeName = name;
        return lookupSucceeds ? std::optional<Luid>(luid) : std::nullopt;
    }
    bool adjustTokenPrivileges(TokenHandle token, const TokenPrivileges &state, TokenPrivileges &,
                               std::uint32_t &returnLength) override
    {
        calls.emplace_back("adjustTokenPrivileges");
        adjustedToken = token;
        record = state;
        returnLengthBefore = returnLength;
        return adjustSucceeds;
    }
    void closeHandle(TokenHandle token) override
    {
        calls.emplace_back("closeHandle");
        closedToken = token;
    }
    void exitWindows(ExitFlags flags, std::uint32_t reason) override
    {
        calls.emplace_back("exitWindows");
        exitFlags.push_back(flags);
        exitReason = reason;
    }

    static constexpr TokenHandle kToken = 0x1234;
    int code = kPlatformNt;
    bool openSucceeds = true;
    bool lookupSucceeds = true;
    bool adjustSucceeds = true;
    Luid luid{0x1a2b3c4d, -7};

    std::vector<std::string> calls;
    std::uint32_t access = 0;
    std::string privilegeName;
    TokenHandle adjustedToken = 0;
    TokenHandle closedToken = 0;
    TokenPrivileges record{};
    std::uint32_t returnLengthBefore = 99;
    std::vector<ExitFlags> exitFlags;
    std::uint32_t exitReason = 99;
};

} // namespace quietwatch::testing
