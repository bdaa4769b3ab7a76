#include "clock.h"

#include <ctime>

namespace quietwatch {

namespace {

LocalDateTime localTime(std::time_t epochSeconds)
{
    std::tm local{};
    // localtime_r alone keeps the zone it first read; tzset notices a new TZ or /etc/localtime,
    // so a program left running across a change of time zone shows the new local time.
    tzset();
    localtime_r(&epochSeconds, &local);
    using namespace std::chrono;
    return LocalDateTime{
        year_month_day{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                       day{static_cast<unsigned>(local.tm_mday)}},
        hours{local.tm_hour},
        minutes{local.tm_min},
        seconds{local.tm_sec},
    };
}

} // namespace

LocalDateTime SystemClock::now() const
{
    return localTime(std::time(nullptr));
}

LocalDateTime SystemClock::localAt(std::chrono::sys_seconds moment) const
{
    return localTime(static_cast<std::time_t>(moment.time_since_epoch().count()));
}

} // namespace quietwatch
