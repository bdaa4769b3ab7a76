#include "schedule.h"

#include <algorithm>

namespace quietwatch {

namespace {

constexpr char foldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool textsEqualIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return foldCase(x) == foldCase(y); });
}

void Schedule::Set(std::string_view date, std::string_view hour, std::string_view minute, std::string_view second,
                   Action action)
{
    m_targetDate = date;
    m_targetTime.assign(hour).append(":").append(minute).append(":").append(second);
    m_actionLine = action == Action::ShutDown ? texts::kShutDownActionLine : texts::kRestartActionLine;
}

void Schedule::Clear()
{
    m_targetDate.clear();
    m_targetTime.clear();
}

bool Schedule::readClock()
{
    // One reading for both texts: two readings could straddle midnight and pair the new
    // day's date with the old day's 23:59:59.
    const LocalDateTime now = m_clock.now();
    if (m_lastReading == now) {
        return false; // the second tick of a second: the same texts
    }
    m_lastReading = now;
    m_clockTime = timeText(now);
    m_clockDate = dateText(now.date);
    return true;
}

bool Schedule::fireIfDue(Action choiceNow)
{
    // Both comparisons are always made.
    const bool dateMatches = textsEqualIgnoringCase(m_targetDate, m_clockDate);
    const bool timeMatches = textsEqualIgnoringCase(m_targetTime, m_clockTime);
    if (!(dateMatches && timeMatches)) {
        return false;
    }
    if (choiceNow == Action::ShutDown) {
        m_power.ShutNow();
    } else {
        m_power.RebootNow();
    }
    return true;
}

} // namespace quietwatch
