#include "datetext.h"

#include <array>
#include <cstdio>

namespace quietwatch {

std::string dateText(std::chrono::year_month_day date)
{
    // snprintf's %d never groups digits or uses the locale's numerals.
    std::array<char, 32> buffer{};
    const int length = std::snprintf(buffer.data(), buffer.size(), "%04d/%02u/%02u", static_cast<int>(date.year()),
                                     static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return {buffer.data(), static_cast<std::size_t>(length)};
}

std::string timeText(std::chrono::hours hour, std::chrono::minutes minute, std::chrono::seconds second)
{
    std::array<char, 32> buffer{};
    const int length = std::snprintf(buffer.data(), buffer.size(), "%d:%02d:%02d", static_cast<int>(hour.count()),
                                     static_cast<int>(minute.count()), static_cast<int>(second.count()));
    return {buffer.data(), static_cast<std::size_t>(length)};
}

std::string timeText(const LocalDateTime &moment)
{
    return timeText(moment.hour, moment.minute, moment.second);
}

std::chrono::year_month_day addDays(std::chrono::year_month_day date, int days)
{
    return std::chrono::year_month_day{std::chrono::sys_days{date} + std::chrono::days{days}};
}

} // namespace quietwatch
