#pragma once

// The entries of the four choice lists. They are made once, when the window loads.

#include "clock.h"

#include <string>
#include <vector>

namespace quietwatch {

inline constexpr int kDateEntryCount = 16;

// Today and the next fifteen days. The clock is read anew for each entry, so a list
// made across midnight counts its later entries from the new day.
std::vector<std::string> dateEntries(const Clock &clock);
// "0" .. "23", no leading zero.
std::vector<std::string> hourEntries();
// "00" .. "59": the minute list and the second list.
std::vector<std::string> minuteSecondEntries();

} // namespace quietwatch
