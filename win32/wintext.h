#pragma once

// Text between the core's UTF-8 and the wide strings of the Win32 calls.

#include <string>
#include <string_view>
#include <windows.h>

namespace quietwatch::win32 {

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);
std::string windowText(HWND hwnd);
void setWindowText(HWND hwnd, std::string_view text);

} // namespace quietwatch::win32
