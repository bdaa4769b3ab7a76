#pragma once

// The menu bar of a window, built from its table.

#include "windowdesign.h"

#include <windows.h>

namespace quietwatch::win32 {

// The menu bar of a table; item ids are 1000 + 100 * menu + item.
HMENU createMenuBar(const design::Window &design);
const design::MenuItem *menuItem(const design::Window &design, int id);

} // namespace quietwatch::win32
