#pragma once

// The top-level window base both Win32 windows share: the window procedure that forwards to
// an object, the program's lifetime, and what every window does alike.

#include "windowdesign.h"

#include <windows.h>

namespace quietwatch::win32 {

class Controls;

// One top-level window with its own object: the procedure finds the object through the
// window's user data, set at WM_NCCREATE, and hands it every message.
class Window
{
public:
    Window() = default;
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;
    virtual ~Window();

    HWND hwnd() const { return m_hwnd; }

protected:
    // Creates the window from its table (title, frame, menu), hidden, and counts it as open.
    bool create(const design::Window &design, const wchar_t *className, HWND owner, HICON icon);
    // Handles what every window does alike: the focus coming back, the label colours of its
    // table, and a new DPI (layout at it, then one move to the place Windows suggests).
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Lays the controls out at a DPI and gives the window's outer size there; the window
    // itself is left where and as large as it is.
    virtual SIZE layout(int dpi) = 0;
    virtual const Controls *designedControls() const { return nullptr; }
    // After the window is gone; the object may delete itself here.
    virtual void destroyed() {}

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void restoreFocus();
    HWND m_hwnd = nullptr;
    HWND m_lastFocus = nullptr; // the control that had the focus when the window was last left
};

// The design's client size at a DPI as the outer size of a window with this style and menu.
SIZE outerSize(HWND hwnd, int clientWidthTwips, int clientHeightTwips, int dpi);

} // namespace quietwatch::win32
