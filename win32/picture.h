#pragma once

// The program's pictures from its resources: the icon, and the About picture decoded.

#include <windows.h>

namespace quietwatch::win32 {

// The program's 32 x 32 icon from its resources, or nullptr; shared, never to be destroyed.
HICON programIcon();

// A picture from an RCDATA resource (a JPEG), decoded and scaled to the size given;
// nullptr where it cannot be had. The caller deletes it.
HBITMAP loadPicture(const wchar_t *resource, SIZE size);

} // namespace quietwatch::win32
