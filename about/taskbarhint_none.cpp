#include "taskbarhint.h"

namespace quietwatch {

// This window system has no request for it: the window keeps the platform's default.
void keepOffTaskBar(QWidget &) {}

} // namespace quietwatch
