#pragma once

#include <QApplication>
#include <memory>

namespace quietwatch {

// Makes the QApplication of a Quietwatch program. When no display can be opened it prints
// one line, "<program>: cannot open a display (...)", and ends the process with exit code 1,
// where Qt itself would abort with a core dump.
std::unique_ptr<QApplication> openApplication(int &argc, char **argv, const char *programName);

} // namespace quietwatch
