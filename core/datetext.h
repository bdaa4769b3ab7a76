#pragma once

// The date text and time text of the program: one fixed conversion, used by the
// clock, the date list and the target alike, whatever the system locale says.
// A target is composed from the lists and compared with the clock as text, so both
// sides must come from these two functions or it would never fire.

#include <chrono>
#include <string>
#include <string_view>

namespace quietwatch {

// A local calendar date and time of day, as read once from the clock.
struct LocalDateTime
{
    std::chrono::year_month_day date;
    std::chrono::hours hour{0};
    std::chrono::minutes minute{0};
    std::chrono::seconds second{0};

    friend bool operator==(const LocalDateTime &, const LocalDateTime &) = default;
};

// "yyyy/MM/dd": four-digit year, two-digit month and day (2003/03/12).
std::string dateText(std::chrono::year_month_day date);

// "H:mm:ss" on a 24-hour clock, the hour without a leading zero (9:05:00, 0:00:00).
std::string timeText(std::chrono::hours hour, std::chrono::minutes minute, std::chrono::seconds second);
std::string timeText(const LocalDateTime &moment);

// Whether two texts are the same but for the digits in them (the clock's next second): in a face
// whose digits are equally wide such a text keeps its size, and a label need not be measured.
bool differOnlyInDigits(std::string_view a, std::string_view b);

// Whole-day calendar arithmetic: months and years roll over, 29 February counts in leap years.
std::chrono::year_month_day addDays(std::chrono::year_month_day date, int days);

} // namespace quietwatch
