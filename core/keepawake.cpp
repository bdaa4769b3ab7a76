#include "keepawake.h"

#include "schedule.h"

#include <charconv>
#include <tuple>

namespace quietwatch {

namespace {

std::optional<int> number(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

auto ordered(const LocalDateTime &moment)
{
    return std::tuple(std::chrono::sys_days{moment.date}, moment.hour, moment.minute, moment.second);
}

} // namespace

std::optional<LocalDateTime> momentOf(std::string_view date, std::string_view time)
{
    using namespace std::chrono;
    const std::size_t firstColon = time.find(':');
    if (date.size() != 10 || firstColon == std::string_view::npos || time.size() != firstColon + 6) {
        return std::nullopt;
    }
    const auto y = number(date.substr(0, 4));
    const auto mo = number(date.substr(5, 2));
    const auto d = number(date.substr(8, 2));
    const auto h = number(time.substr(0, firstColon));
    const auto mi = number(time.substr(firstColon + 1, 2));
    const auto s = number(time.substr(firstColon + 4, 2));
    if (!y || !mo || !d || !h || !mi || !s || *mo < 1 || *d < 1 || *h < 0 || *h > 23 || *mi < 0 || *mi > 59 || *s < 0 ||
        *s > 59) {
        return std::nullopt;
    }
    const LocalDateTime moment{
        year_month_day{year{*y}, month{static_cast<unsigned>(*mo)}, day{static_cast<unsigned>(*d)}}, hours{*h},
        minutes{*mi}, seconds{*s}};
    // Read back only what the fixed forms write: signs, missing zeros and impossible dates fail here.
    if (!moment.date.ok() || dateText(moment.date) != date || timeText(moment) != time) {
        return std::nullopt;
    }
    return moment;
}

bool targetArmed(std::string_view targetDate, std::string_view targetTime, std::string_view clockDate,
                 std::string_view clockTime)
{
    // The clock is read back only for a target that names a moment: an idle window's tick,
    // with no target, costs no more than a glance at the target texts.
    const auto target = momentOf(targetDate, targetTime);
    if (!target) {
        return false;
    }
    const auto clock = momentOf(clockDate, clockTime);
    return clock && ordered(*target) >= ordered(*clock);
}

bool targetArmed(const Schedule &schedule)
{
    return targetArmed(schedule.targetDate(), schedule.targetTime(), schedule.clockDate(), schedule.clockTime());
}

void KeepAwakeSwitch::follow(const WakePlan &plan)
{
    followAll(plan);
}

bool KeepAwakeSwitch::followAll(const WakePlan &plan)
{
    if (plan.armed) {
        follow(true); // held before a wake is asked
    } else if (m_stayingUp) {
        m_stayingUp = false;
        m_keepAwake.stayUp(false);
    }
    bool asked = false;
    if (plan.wakeAt != m_wake) { // the same target's wake moment passing changes nothing
        m_wake = plan.wakeAt;
        if (m_wake && plan.wakeAhead) {
            m_keepAwake.wakeAt(m_wake);
            m_wakeAsked = asked = true;
        } else if (m_wakeAsked) { // a wake left from another target, or none wanted any more
            m_keepAwake.wakeAt(std::nullopt);
            m_wakeAsked = false;
        }
    }
    if (!plan.armed) {
        follow(false);
    }
    return asked;
}

void KeepAwakeSwitch::clockChanged(const WakePlan &plan)
{
    if (!followAll(plan) && m_wake && plan.wakeAhead) {
        m_keepAwake.wakeAt(m_wake);
        m_wakeAsked = true;
    }
}

void KeepAwakeSwitch::resumed(const WakePlan &plan)
{
    clockChanged(plan); // a target slept through is no longer armed: every hold let go
    if (plan.withinLead) {
        m_stayingUp = true;
        m_keepAwake.stayUp(true);
    }
}

void KeepAwakeSwitch::follow(bool armed)
{
    if (armed == m_holding) {
        return;
    }
    m_holding = armed;
    if (armed) {
        m_keepAwake.hold();
    } else {
        m_keepAwake.release();
    }
}

} // namespace quietwatch
