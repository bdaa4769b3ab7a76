#include "window.h"

#include "designedcontrols.h"
#include "menubar.h"
#include "wintext.h"

namespace quietwatch::win32 {

namespace {

int g_openWindows = 0;

// The program ends when none of its windows is open any more.
void windowClosed()
{
    if (--g_openWindows == 0) {
        PostQuitMessage(0);
    }
}

} // namespace

Window::~Window()
{
    if (m_hwnd != nullptr) {
        // The object is half gone: no message reaches it, so WM_NCDESTROY counts nothing either.
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
        windowClosed();
    }
}

bool Window::create(const design::Window &design, const wchar_t *className, HWND owner, HICON icon)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, className, &wc) == 0) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Window::procedure;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = className;
        wc.hIcon = icon;
        wc.hIconSm = icon;
        RegisterClassExW(&wc);
    }
    // Fixed frames: neither can be resized or maximized.
    // Not WS_CLIPCHILDREN: a group box leaves its inside for its parent to paint.
    DWORD style = WS_CAPTION | WS_SYSMENU;
    DWORD exStyle = WS_EX_CONTROLPARENT;
    if (design.border == design::Border::FixedDialog) {
        style |= WS_POPUP;
        exStyle |= WS_EX_DLGMODALFRAME;
    } else {
        style |= WS_OVERLAPPED;
    }
    if (design.minimizeButton) {
        style |= WS_MINIMIZEBOX;
    }
    HMENU menu = design.menus.empty() ? nullptr : createMenuBar(design);
    // A window with a fixed place is made there, at the system's DPI, so that its layout need
    // not move it (under Wine a move of a window is dozens of requests to its server).
    RECT place{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    if (design.placement == design::Placement::Fixed) {
        const int dpi = static_cast<int>(GetDpiForSystem());
        RECT outer{0, 0, design::pixels(design.clientWidth, dpi), design::pixels(design.clientHeight, dpi)};
        AdjustWindowRectExForDpi(&outer, style, menu != nullptr, exStyle, static_cast<UINT>(dpi));
        const int left = design::pixels(design.clientLeft, dpi) + outer.left;
        const int top = design::pixels(design.clientTop, dpi) + outer.top;
        place = RECT{left, top, outer.right - outer.left, outer.bottom - outer.top};
    }
    m_hwnd = CreateWindowExW(exStyle, className, wide(design.title).c_str(), style, place.left, place.top, place.right,
                             place.bottom, owner, menu, instance, this);
    if (m_hwnd == nullptr) {
        return false;
    }
    ++g_openWindows;
    return true;
}

LRESULT Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // As a dialog does: coming back to the window (a click, Alt+Tab, another window closing)
    // gives the focus back to the control that had it, not to the frame, where the arrow keys,
    // Space and the focus rectangle would be lost.
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (HWND focus = GetFocus(); focus != nullptr && IsChild(m_hwnd, focus)) {
                m_lastFocus = focus;
            }
        } else if (HIWORD(wParam) == 0) { // not while minimized
            restoreFocus();
        }
        return 0;
    case WM_SETFOCUS:
        restoreFocus();
        return 0;
    case WM_CTLCOLORSTATIC:
        if (const Controls *controls = designedControls()) {
            if (const LRESULT brush = controls->labelColours(wParam, lParam)) {
                return brush;
            }
        }
        return DefWindowProcW(m_hwnd, message, wParam, lParam);
    case WM_DPICHANGED: {
        // One move, straight to the suggested place: a detour could land the window on another
        // monitor and start another change.
        const auto *suggested = reinterpret_cast<const RECT *>(lParam);
        const SIZE size = layout(HIWORD(wParam));
        SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    default:
        return DefWindowProcW(m_hwnd, message, wParam, lParam);
    }
}

void Window::restoreFocus()
{
    HWND target = m_lastFocus;
    // A control since hidden (the folded settings panel) or disabled gives way to the first stop.
    if (target == nullptr || !IsChild(m_hwnd, target) || !IsWindowVisible(target) || !IsWindowEnabled(target)) {
        target = GetNextDlgTabItem(m_hwnd, nullptr, FALSE);
    }
    if (target != nullptr) {
        SetFocus(target);
    }
}

LRESULT CALLBACK Window::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *self = static_cast<Window *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<Window *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    const LRESULT result = self->handleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
        windowClosed();
        self->destroyed(); // last: it may delete the object
    }
    return result;
}

SIZE outerSize(HWND hwnd, int clientWidthTwips, int clientHeightTwips, int dpi)
{
    RECT r{0, 0, design::pixels(clientWidthTwips, dpi), design::pixels(clientHeightTwips, dpi)};
    AdjustWindowRectExForDpi(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), GetMenu(hwnd) != nullptr,
                             static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)), static_cast<UINT>(dpi));
    return SIZE{r.right - r.left, r.bottom - r.top};
}

} // namespace quietwatch::win32
