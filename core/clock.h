#pragma once

#include "datetext.h"

namespace quietwatch {

// The source of the current local date and time. The window's timer asks it once per
// tick; tests hand in their own.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
    // What the clock shows at a moment of UTC, by its time zone's rules: how a local target
    // becomes the moment a system timer is set to.
    virtual LocalDateTime localAt(std::chrono::sys_seconds moment) const = 0;
};

// The system's local time: on POSIX as the C library sees it (TZ, /etc/localtime), on Windows
// as the system keeps it. One file per system: clock_posix.cpp, clock_win32.cpp.
class SystemClock final : public Clock
{
public:
    LocalDateTime now() const override;
    LocalDateTime localAt(std::chrono::sys_seconds moment) const override;
};

} // namespace quietwatch
