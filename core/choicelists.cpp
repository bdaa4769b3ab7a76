#include "choicelists.h"

namespace quietwatch {

namespace {

std::vector<std::string> numberEntries(int count, bool twoDigits)
{
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        entries.push_back((twoDigits && i < 10 ? "0" : "") + std::to_string(i));
    }
    return entries;
}

} // namespace

std::vector<std::string> dateEntries(const Clock &clock)
{
    std::vector<std::string> entries;
    entries.reserve(kDateEntryCount);
    for (int i = 0; i < kDateEntryCount; ++i) {
        entries.push_back(dateText(addDays(clock.now().date, i)));
    }
    return entries;
}

std::vector<std::string> hourEntries()
{
    return numberEntries(24, false);
}

std::vector<std::string> minuteSecondEntries()
{
    return numberEntries(60, true);
}

} // namespace quietwatch
