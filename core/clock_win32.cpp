#include "clock.h"

#include <ctime>

namespace quietwatch {

LocalDateTime SystemClock::now() const
{
    const std::time_t epochSeconds = std::time(nullptr);
    std::tm local{};
    // The zone is read again on each call, so a change of time zone shows at the next tick.
    _tzset();
    localtime_s(&local, &epochSeconds);
    return localDateTime(local);
}

} // namespace quietwatch
