#pragma once

// Linux: the wake for the target, through the user's own service manager. An unprivileged
// program cannot set the machine's wake alarm, but since systemd 254 the user's manager can,
// for a timer with WakeSystem=yes. The timer is transient, under one fixed name per user, so
// one left behind by a program that ended without stopping it is recognised and replaced at
// the next start. It starts a service that does nothing: the wake is all it is for.

#include <chrono>
#include <dbus/dbus.h>
#include <string>

namespace quietwatch::userwake {

inline constexpr const char *kTimerUnit = "quietwatch-wake.timer";
inline constexpr const char *kServiceUnit = "quietwatch-wake.service";

// The calendar event of a moment, in UTC: "2026-12-07 03:03:00 UTC".
std::string onCalendar(std::chrono::sys_seconds moment);

// Replaces any timer of ours with one that elapses, and wakes the machine, at `moment`.
// Whether the manager took it; a session without a user manager, or one that refuses
// WakeSystem=, says no.
bool start(DBusConnection *bus, std::chrono::sys_seconds moment);

// Stops the timer of ours, if there is one.
void stop(DBusConnection *bus);

} // namespace quietwatch::userwake
