#include "clock.h"

#include <windows.h>

namespace quietwatch {

LocalDateTime SystemClock::now() const
{
    // Windows keeps the local time itself and follows a change of time zone at once; the C
    // library's _tzset and localtime_s would ask for the zone again on every tick.
    SYSTEMTIME local{};
    GetLocalTime(&local);
    using namespace std::chrono;
    return LocalDateTime{
        year_month_day{year{local.wYear}, month{local.wMonth}, day{local.wDay}},
        hours{local.wHour},
        minutes{local.wMinute},
        seconds{local.wSecond},
    };
}

} // namespace quietwatch
