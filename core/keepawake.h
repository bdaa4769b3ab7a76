#pragma once

// Keeping the machine from suspending itself on idle while a target is armed. The target
// fires only within its own second, and a machine asleep through that second never fires
// it. Only idle sleep is held off: a suspend the user asks for, and the screen's blanking
// and locking, go ahead.

#include "datetext.h"

#include <optional>
#include <string_view>

namespace quietwatch {

class Schedule;

// The system's idle-sleep inhibition. hold() and release() come in turns from the
// window's thread and must return at once; failures stay silent.
class KeepAwake
{
public:
    virtual ~KeepAwake() = default;
    virtual void hold() = 0;    // ask the system not to suspend on idle
    virtual void release() = 0; // let it again
};

// For tests and systems without an inhibition.
class NoKeepAwake final : public KeepAwake
{
public:
    void hold() override {}
    void release() override {}
};

// The moment a date text and a time text name when both are exactly in the program's fixed
// forms; nothing for any other text ("未設定", empty, an hour with a leading zero), since
// such a target can never equal the clock.
std::optional<LocalDateTime> momentOf(std::string_view date, std::string_view time);

// Armed: the target names a moment that the clock has not yet passed (its own second counts,
// so the machine stays awake while it fires).
bool targetArmed(std::string_view targetDate, std::string_view targetTime, std::string_view clockDate,
                 std::string_view clockTime);
bool targetArmed(const Schedule &schedule);

// Holds the inhibition while armed. It asks the system only when the state changes, so a
// tick costs nothing more, and lets go when destroyed.
class KeepAwakeSwitch
{
public:
    explicit KeepAwakeSwitch(KeepAwake &keepAwake) : m_keepAwake(keepAwake) {}
    ~KeepAwakeSwitch() { follow(false); }
    KeepAwakeSwitch(const KeepAwakeSwitch &) = delete;
    KeepAwakeSwitch &operator=(const KeepAwakeSwitch &) = delete;

    void follow(bool armed);
    bool holding() const { return m_holding; }

private:
    KeepAwake &m_keepAwake;
    bool m_holding = false;
};

} // namespace quietwatch
