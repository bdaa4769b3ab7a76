#pragma once

// Names for screen readers. A drop-down list or a box takes its name from the static text
// just before it, which here is no caption of its own; each control the table names gets
// that name instead, through the accessibility service's annotations (Dynamic Annotation).

#include "windowdesign.h"

#include <windows.h>

namespace quietwatch::win32 {

// Gives the control its table entry's accessibleName when an accessibility client first asks
// for it (WM_GETOBJECT), so a program without a screen reader never loads the service: its
// start costs COM and oleacc, 3 to 6 ms under Wine. The entry outlives the control (the
// tables are static).
void nameOnRequest(HWND control, const design::Control &entry);

} // namespace quietwatch::win32
