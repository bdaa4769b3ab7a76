#include "clock.h"

namespace quietwatch {

LocalDateTime localDateTime(const std::tm &local)
{
    using namespace std::chrono;
    return LocalDateTime{
        year_month_day{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                       day{static_cast<unsigned>(local.tm_mday)}},
        hours{local.tm_hour},
        minutes{local.tm_min},
        seconds{local.tm_sec},
    };
}

} // namespace quietwatch
