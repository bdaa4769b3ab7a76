#include "wakeplan.h"

#include "keepawake.h"
#include "schedule.h"

namespace quietwatch {

namespace {

// The wall time read as if it were UTC: what the zone's offset is subtracted from.
std::chrono::sys_seconds asIfUtc(const LocalDateTime &local)
{
    return std::chrono::sys_days{local.date} + local.hour + local.minute + local.second;
}

} // namespace

std::optional<std::chrono::sys_seconds> utcOf(const LocalDateTime &local, const Clock &clock)
{
    using namespace std::chrono;
    // A zone changes its offset at most once within two days, so the offsets a day either
    // side are the only ones the wall time can be under; a candidate counts only where the
    // clock really shows the wall time.
    const sys_seconds wall = asIfUtc(local);
    std::optional<sys_seconds> earliest;
    for (const sys_seconds probe : {wall - days{1}, wall + days{1}}) {
        const sys_seconds candidate = wall - (asIfUtc(clock.localAt(probe)) - probe);
        if (clock.localAt(candidate) == local && (!earliest || candidate < *earliest)) {
            earliest = candidate;
        }
    }
    return earliest;
}

WakePlan planWake(std::string_view targetDate, std::string_view targetTime, std::string_view clockDate,
                  std::string_view clockTime, const Clock &clock, std::chrono::seconds lead)
{
    WakePlan plan;
    plan.armed = targetArmed(targetDate, targetTime, clockDate, clockTime);
    if (!plan.armed) {
        return plan;
    }
    const auto targetMoment = momentOf(targetDate, targetTime);
    const auto target = targetMoment ? utcOf(*targetMoment, clock) : std::nullopt;
    if (!target) {
        return plan; // a second the clock skips: it never fires, nothing to wake for
    }
    const std::chrono::sys_seconds wakeAt = *target - lead;
    plan.wakeAt = wakeAt;
    // The clock's reading is a second the clock showed; in a repeated hour its first pass is
    // taken, as for the target, so the two compare in the same pass.
    const auto shown = momentOf(clockDate, clockTime);
    const auto now = shown ? utcOf(*shown, clock) : std::nullopt;
    plan.wakeAhead = !now || *now < wakeAt;
    plan.withinLead = now && *now >= wakeAt;
    return plan;
}

WakePlan planWake(const Schedule &schedule, const Clock &clock, std::chrono::seconds lead)
{
    return planWake(schedule.targetDate(), schedule.targetTime(), schedule.clockDate(), schedule.clockTime(), clock,
                    lead);
}

} // namespace quietwatch
