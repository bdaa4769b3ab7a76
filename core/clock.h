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
};

// The system's local time zone, as the C library sees it (TZ, /etc/localtime).
class SystemClock final : public Clock
{
public:
    LocalDateTime now() const override;
};

} // namespace quietwatch
