#pragma once

// The program's message loop, through the dialog manager of each window.

namespace quietwatch::win32 {

// The program runs while any window made through Window is left; the last one to go
// ends the message loop.
int runMessageLoop();

} // namespace quietwatch::win32
