#include "clock.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace quietwatch {
namespace {

// A program left running across a change of time zone must show the new local time.
TEST(SystemClock, FollowsAChangeOfTimeZoneWhileRunning)
{
    const char *saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    const SystemClock clock;
    bool checked = false;
    for (int attempt = 0; attempt < 3 && !checked; ++attempt) {
        ::setenv("TZ", "UTC0", 1);
        const LocalDateTime utc = clock.now();
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
