#include "clock.h"

#include <windows.h>

namespace quietwatch {

namespace {

LocalDateTime fromSystemTime(const SYSTEMTIME &local)
{
    using namespace std::chrono;
    return LocalDateTime{
        year_month_day{year{local.wYear}, month{local.wMonth}, day{local.wDay}},
        hours{local.wHour},
        minutes{local.wMinute},
        seconds{local.wSecond},
    };
}

} // namespace

LocalDateTime SystemClock::now() const
{
    // Windows keeps the local time itself and follows a change of time zone at once; the C
    // library's _tzset and localtime_s would ask for the zone again on every tick.
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return fromSystemTime(local);
}

LocalDateTime SystemClock::localAt(std::chrono::sys_seconds moment) const
{
    // FILETIME counts 100 ns from 1601-01-01, 11644473600 s before the Unix epoch.
    const auto ticks = static_cast<ULONGLONG>(moment.time_since_epoch().count() + 11644473600LL) * 10000000ULL;
    const FILETIME utc{static_cast<DWORD>(ticks & 0xFFFFFFFFULL), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utcTime{};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&utc, &utcTime) || !SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local)) {
        return fromSystemTime(utcTime);
    }
    return fromSystemTime(local);
}

} // namespace quietwatch
