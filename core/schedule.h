#pragma once

// The one scheduled target: a date text, a time text and, at the moment of the
// match, an action. Target and clock are compared as whole texts, never as times,
// so a target fires only on a tick that falls within its very second, and on every
// such tick.

#include "clock.h"
#include "powercontrol.h"

#include <optional>
#include <string>
#include <string_view>

namespace quietwatch {

enum class Action
{
    ShutDown, // op1(0)
    Restart,  // op1(1)
};

// The texts the schedule starts with and writes.
namespace texts {
inline constexpr std::string_view kNotSet = "未設定";
inline constexpr std::string_view kInitialActionLine = "行動　："; // ideographic space, full-width colon
inline constexpr std::string_view kShutDownActionLine = "行動 : シャットダウン ";
inline constexpr std::string_view kRestartActionLine = "行動 ： 再起動";
inline constexpr std::string_view kInitialClockTime = "00:00:00";
inline constexpr std::string_view kInitialClockDate = "時刻";
} // namespace texts

// Case-insensitive equality of whole texts (ASCII letters fold; every other byte must match).
bool textsEqualIgnoringCase(std::string_view a, std::string_view b);

class Schedule
{
public:
    Schedule(const Clock &clock, PowerRequests &power) : m_clock(clock), m_power(power) {}

    // Set: the date entry unchanged, the time composed as hour ":" minute ":" second with
    // nothing added or validated, and the action line of the choice at this moment.
    void Set(std::string_view date, std::string_view hour, std::string_view minute, std::string_view second,
             Action action);
    // Clear: both target texts become empty; the action line stays.
    void Clear();
    // One timer tick: reads the clock once, renews the clock texts and, when both target
    // texts equal them, asks for the action chosen now. Returns whether it fired.
    bool tick(Action choiceNow)
    {
        readClock();
        return fireIfDue(choiceNow);
    }
    // The tick's two halves, for a window that shows the new clock texts before a request
    // goes out, so the clock never shows the previous second while the machine shuts down.
    // readClock says whether the clock texts changed: the second moved on, or the first reading.
    bool readClock();
    bool fireIfDue(Action choiceNow);

    const std::string &targetDate() const { return m_targetDate; }
    const std::string &targetTime() const { return m_targetTime; }
    const std::string &actionLine() const { return m_actionLine; }
    const std::string &clockDate() const { return m_clockDate; }
    const std::string &clockTime() const { return m_clockTime; }

private:
    const Clock &m_clock;
    PowerRequests &m_power;
    std::string m_targetDate{texts::kNotSet};
    std::string m_targetTime{texts::kNotSet};
    std::string m_actionLine{texts::kInitialActionLine};
    std::string m_clockTime{texts::kInitialClockTime};
    std::string m_clockDate{texts::kInitialClockDate};
    std::optional<LocalDateTime> m_lastReading; // the texts above were made from it
};

} // namespace quietwatch
