#pragma once

// Keeping the machine from suspending itself on idle while a target is armed. The target
// fires only within its own second, and a machine asleep through that second never fires
// it. Only idle sleep is held off: a suspend the user asks for, and the screen's blanking
// and locking, go ahead.

#include "datetext.h"
#include "wakeplan.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

namespace quietwatch {

class Schedule;

// The system's idle-sleep inhibition, and its wake for the target. hold() and release() come
// in turns from the window's thread; every call must return at once, and failures stay silent.
class KeepAwake
{
public:
    virtual ~KeepAwake() = default;
    virtual void hold() = 0;    // ask the system not to suspend on idle
    virtual void release() = 0; // let it again
    // Ask the system to wake the machine at this moment of UTC, in place of any wake asked
    // before; none cancels it. Only while held.
    virtual void wakeAt(std::optional<std::chrono::sys_seconds> /*moment*/) {}
    // Keep a machine just woken up through what would suspend it again (a closed lid, the
    // short stay after a wake by a timer), or let go of that. true comes again after every
    // resume within the lead; false once, before release() or with it.
    virtual void stayUp(bool /*up*/) {}
    // Called on any thread when the system has resumed from sleep, while held. An empty
    // handler stops the calls; once this returns, the last handler is not called any more.
    // A system whose window hears of resumes itself leaves it alone.
    virtual void onResume(std::function<void()> /*handler*/) {} // NOLINT(performance-unnecessary-value-param)
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

// Holds the inhibition while armed and asks for the wake. It asks the system only when the
// state changes, so a tick costs nothing more, and lets go of everything when destroyed.
class KeepAwakeSwitch
{
public:
    explicit KeepAwakeSwitch(KeepAwake &keepAwake) : m_keepAwake(keepAwake) {}
    ~KeepAwakeSwitch() { follow(WakePlan{}); }
    KeepAwakeSwitch(const KeepAwakeSwitch &) = delete;
    KeepAwakeSwitch &operator=(const KeepAwakeSwitch &) = delete;

    // The idle hold alone.
    void follow(bool armed);
    // The idle hold and the wake (asked when the target's wake moment changes and is still
    // ahead, cancelled when the target is no longer armed); the stay-up let go with the target.
    void follow(const WakePlan &plan);
    // After the system set its clock: the wake asked again, for a system that keeps it as a
    // count of time.
    void clockChanged(const WakePlan &plan);
    // After a resume, with the plan of the first reading after it: a target slept through
    // lets go of everything; otherwise the wake is asked again, and within the lead the
    // machine is kept up.
    void resumed(const WakePlan &plan);

    bool holding() const { return m_holding; }

private:
    bool followAll(const WakePlan &plan); // whether it asked for a wake

    KeepAwake &m_keepAwake;
    bool m_holding = false;
    std::optional<std::chrono::sys_seconds> m_wake; // the armed target's wake moment
    bool m_wakeAsked = false;
    bool m_stayingUp = false;
};

} // namespace quietwatch
