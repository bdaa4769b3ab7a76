#include "clock.h"

#include <ctime>

namespace quietwatch {

LocalDateTime SystemClock::now() const
{
    const std::time_t epochSeconds = std::time(nullptr);
    std::tm local{};
    // localtime_r alone keeps the zone it first read; tzset notices a new TZ or /etc/localtime,
    // so a program left running across a change of time zone shows the new local time.
    tzset();
    localtime_r(&epochSeconds, &local);
    return localDateTime(local);
}

} // namespace quietwatch
