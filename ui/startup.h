#pragma once

#include <QApplication>
#include <memory>

namespace quietwatch {

// Makes the QApplication of a Quietwatch program. The programs take no options, so Qt is
// given the program name alone: Qt's own options (-geometry, -reverse, -style ...) would
// otherwise move or mirror the windows. When no display can be opened it prints one line,
// "<program>: cannot open a display (...)", and ends the process with exit code 1, where Qt
// itself would abort with a core dump.
std::unique_ptr<QApplication> openApplication(char *programPath, const char *programName);

} // namespace quietwatch
