#include "datetext.h"

#include <array>
#include <cstdio>

namespace quietwatch {

namespace {

// The clock's texts are made once a second, so they are put together digit by digit;
// snprintf, which costs ten times as much, is kept for values outside the usual ranges.
// Its %d never groups digits or uses the locale's numerals.
void appendDigits(std::string &text, int value, int width)
{
    char digits[4];
    for (int i = width - 1; i >= 0; --i, value /= 10) {
        digits[i] = static_cast<char>('0' + value % 10);
    }
    text.append(digits, static_cast<std::size_t>(width));
}

template <typename... Values> std::string printed(const char *format, Values... values)
{
    std::array<char, 48> buffer{};
    const int length = std::snprintf(buffer.data(), buffer.size(), format, values...);
    return {buffer.data(), static_cast<std::size_t>(length)};
}

} // namespace

std::string dateText(std::chrono::year_month_day date)
{
    const int year = static_cast<int>(date.year());
    const auto month = static_cast<unsigned>(date.month());
    const auto day = static_cast<unsigned>(date.day());
    if (year < 0 || year > 9999 || month > 99 || day > 99) {
        return printed("%04d/%02u/%02u", year, month, day);
    }
    std::string text;
    text.reserve(10);
    appendDigits(text, year, 4);
    text += '/';
    appendDigits(text, static_cast<int>(month), 2);
    text += '/';
    appendDigits(text, static_cast<int>(day), 2);
    return text;
}

std::string timeText(std::chrono::hours hour, std::chrono::minutes minute, std::chrono::seconds second)
{
    const auto h = hour.count();
    const auto m = minute.count();
    const auto s = second.count();
    if (h < 0 || h > 99 || m < 0 || m > 99 || s < 0 || s > 99) {
        return printed("%d:%02d:%02d", static_cast<int>(h), static_cast<int>(m), static_cast<int>(s));
    }
    std::string text;
    text.reserve(8);
    appendDigits(text, static_cast<int>(h), h < 10 ? 1 : 2);
    text += ':';
    appendDigits(text, static_cast<int>(m), 2);
    text += ':';
    appendDigits(text, static_cast<int>(s), 2);
    return text;
}

std::string timeText(const LocalDateTime &moment)
{
    return timeText(moment.hour, moment.minute, moment.second);
}

bool differOnlyInDigits(std::string_view a, std::string_view b)
{
    // Byte by byte: digits are single bytes in UTF-8, and no other character contains one.
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (digit(a[i]) != digit(b[i]) || (!digit(a[i]) && a[i] != b[i])) {
            return false;
        }
    }
    return true;
}

std::chrono::year_month_day addDays(std::chrono::year_month_day date, int days)
{
    return std::chrono::year_month_day{std::chrono::sys_days{date} + std::chrono::days{days}};
}

} // namespace quietwatch
