#pragma once

// Waking the machine for the target. Idle sleep is held off while a target is armed, but a
// closed lid, the power button or a sleep chosen from a menu still suspend the machine, and
// a target whose second passes while it sleeps never fires. So the system is asked to wake
// the machine a lead before the target, and after such a wake to keep it up until the
// target's second has passed. The target itself stays exact: it fires only on a tick within
// its own second, and a wake never fires it.

#include "clock.h"

#include <chrono>
#include <optional>
#include <string_view>

namespace quietwatch {

class Schedule;

// How long before the target's second the machine is woken: time for a resume (a disk to
// spin up, a session to unlock its devices) and for the window's first ticks, and short
// enough that a machine woken in the night stays up only briefly. Windows lets a machine
// woken by a timer sleep again after about two minutes unless something asks it to stay up,
// and logind suspends a machine woken with its lid closed after 30 s: both are asked to keep
// it up at the resume, which falls within these two minutes.
inline constexpr std::chrono::seconds kWakeLead{120};

// The earliest moment of UTC at which the clock shows `local`: the first pass where the clock
// repeats an hour, none where it skips the hour (that second never comes).
std::optional<std::chrono::sys_seconds> utcOf(const LocalDateTime &local, const Clock &clock);

// What the system is asked for, from the target and the clock's last reading.
struct WakePlan
{
    bool armed = false; // the target is ahead, its own second included (targetArmed)
    // While armed: wake the machine at this moment of UTC, the lead before the target; none
    // for a target in an hour the clock skips.
    std::optional<std::chrono::sys_seconds> wakeAt;
    bool wakeAhead = false;  // the wake moment has not come yet: worth asking for
    bool withinLead = false; // armed and the wake moment reached: a resume now is the wake for it

    friend bool operator==(const WakePlan &, const WakePlan &) = default;
};

// A target that names no moment ("未設定", empty, a text the clock never shows), a clock that
// has not ticked yet, or a target already past (slept through, or set in the past) plan
// nothing at all.
WakePlan planWake(std::string_view targetDate, std::string_view targetTime, std::string_view clockDate,
                  std::string_view clockTime, const Clock &clock, std::chrono::seconds lead = kWakeLead);
WakePlan planWake(const Schedule &schedule, const Clock &clock, std::chrono::seconds lead = kWakeLead);

} // namespace quietwatch
