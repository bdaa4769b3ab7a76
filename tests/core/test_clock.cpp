#include "clock.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace quietwatch {
namespace {

// A program left running across a change of time zone must show the new local time,
// and in UTC it shows the system's own date.
TEST(SystemClock, FollowsAChangeOfTimeZoneWhileRunning)
{
    const char *saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    using namespace std::chrono;
    const SystemClock clock;
    const auto today = [] { return year_month_day{floor<days>(system_clock::now())}; };
    bool checked = false;
    for (int attempt = 0; attempt < 3 && !checked; ++attempt) {
        ::setenv("TZ", "UTC0", 1);
        const year_month_day before = today();
        const LocalDateTime utc = clock.now();
        EXPECT_TRUE(utc.date == before || utc.date == today()) << dateText(utc.date);
        ::setenv("TZ", "JST-9", 1);
        const LocalDateTime japan = clock.now();
        if (utc.minute != japan.minute) {
            continue; // the readings straddled a minute; read again
        }
        EXPECT_EQ((japan.hour.count() - utc.hour.count() + 24) % 24, 9);
        checked = true;
    }
    EXPECT_TRUE(checked);
    if (saved) {
        ::setenv("TZ", previous.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
}

} // namespace
} // namespace quietwatch
