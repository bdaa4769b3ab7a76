#include "frmabout_win32.h"

#include "windowplace.h"
#include "windowrules.h"

#include <algorithm>
#include <memory>
#include <shellscalingapi.h>
#include <string_view>
#include <vector>

namespace quietwatch {

namespace {

std::unique_ptr<frmAbout> g_about;

// An owner that is never shown keeps the window off the task bar; it is not the
// scheduler window, so the About window neither follows it nor stays in front of it.
HWND hiddenOwner()
{
    static HWND owner =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    return owner;
}

// A monitor's DPI, from shcore, loaded only for the About window's place (linked, it would load
// at every start); the system's where it cannot be had.
UINT monitorDpi(HMONITOR monitor)
{
    static const HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    static const auto getDpiForMonitor = reinterpret_cast<decltype(GetDpiForMonitor) *>(
        reinterpret_cast<void (*)()>(shcore != nullptr ? GetProcAddress(shcore, "GetDpiForMonitor") : nullptr));
    UINT x = 0;
    UINT y = 0;
    if (getDpiForMonitor != nullptr && SUCCEEDED(getDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y)) && x != 0) {
        return x;
    }
    return GetDpiForSystem();
}

// Each monitor's work area with the About window's outer size at the monitor's DPI, the
// scheduler window's monitor first: of two equally near places its own wins, as on the Qt side.
struct WorkAreas
{
    HWND about = nullptr;
    HMONITOR scheduler = nullptr;
    std::vector<PlaceArea> areas;
};

BOOL CALLBACK addWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    auto &found = *reinterpret_cast<WorkAreas *>(data);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(monitor, &info) != 0) {
        const RECT &r = info.rcWork;
        const design::Window &design = design::kFrmAbout;
        const SIZE size = win32::outerSize(found.about, design.clientWidth, design.clientHeight,
                                           static_cast<int>(monitorDpi(monitor)));
        found.areas.insert(monitor == found.scheduler ? found.areas.begin() : found.areas.end(),
                           PlaceArea{{r.left, r.top, r.right - r.left, r.bottom - r.top}, size.cx, size.cy});
    }
    return TRUE;
}

} // namespace

void frmAbout::showBeside(HWND scheduler)
{
    if (!g_about) {
        g_about.reset(new frmAbout());
        if (!g_about->open()) {
            g_about.reset();
            return;
        }
    }
    HWND about = g_about->hwnd();
    RECT main{};
    GetWindowRect(scheduler, &main);
    // Placed on a monitor of another DPI, the window takes that DPI's size: the place is chosen
    // for the size it has where it lands.
    WorkAreas found{about, MonitorFromWindow(scheduler, MONITOR_DEFAULTTONEAREST), {}};
    EnumDisplayMonitors(nullptr, nullptr, &addWorkArea, reinterpret_cast<LPARAM>(&found));
    const ScreenPoint place =
        aboutWindowPlace({main.left, main.top, main.right - main.left, main.bottom - main.top}, found.areas);
    SetWindowPos(about, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    // A new DPI on the way moved it to the place Windows suggested: it goes to its own, on the
    // same monitor (wholly inside that monitor's work area at this size), so no further change.
    if (RECT now{}; GetWindowRect(about, &now) && (now.left != place.x || now.top != place.y)) {
        SetWindowPos(about, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    ShowWindow(about, SW_SHOWNORMAL);
    SetForegroundWindow(about);
}

void frmAbout::closeIfOpen()
{
    if (g_about && g_about->hwnd() != nullptr) {
        DestroyWindow(g_about->hwnd());
    }
}

frmAbout::~frmAbout()
{
    if (m_picture != nullptr) {
        DeleteObject(m_picture);
    }
}

bool frmAbout::open()
{
    const design::Window &design = design::kFrmAbout;
    if (!create(design, L"QuietwatchFrmAbout", hiddenOwner(), nullptr)) {
        return false;
    }
    m_controls.create(hwnd(), design);
    const SIZE outer = layout(static_cast<int>(GetDpiForWindow(hwnd())));
    SetWindowPos(hwnd(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetFocus(m_controls[design::tabChain(design).front()->name]);
    return true;
}

SIZE frmAbout::layout(int dpi)
{
    const design::Window &design = design::kFrmAbout;
    m_controls.layout(dpi);
    // The picture fills the box inside its sunken border, 1:1; the box draws it (WM_DRAWITEM).
    RECT inside{};
    GetClientRect(m_controls["pic1"], &inside);
    if (m_picture != nullptr) {
        DeleteObject(m_picture);
    }
    m_picture = win32::loadPicture(L"ABOUT_PICTURE", SIZE{inside.right, inside.bottom});
    InvalidateRect(m_controls["pic1"], nullptr, FALSE);
    return win32::outerSize(hwnd(), design.clientWidth, design.clientHeight, dpi);
}

void frmAbout::paintLines(HDC dc)
{
    // The etched rule: each stroke a band hanging below its design line, the grey one first,
    // so the white one below it leaves it whole.
    const int dpi = m_controls.dpi();
    for (const std::string_view name : {"Line1(1)", "Line1(0)"}) {
        const design::Control &line = *design::kFrmAbout.control(name);
        const design::Rgb colour = line.colour.value_or(design::Rgb{});
        const int top = design::pixels(line.top, dpi);
        const RECT band{design::pixels(line.left, dpi), top, design::pixels(line.left + line.width, dpi) + 1,
                        top + std::max(1, MulDiv(line.lineWidth, dpi, 96))};
        SetDCBrushColor(dc, RGB(colour.red, colour.green, colour.blue));
        FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
}

void frmAbout::paintPicture(const DRAWITEMSTRUCT &item) const
{
    BITMAP size{};
    if (m_picture == nullptr || GetObjectW(m_picture, sizeof(size), &size) == 0) {
        FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    HDC source = CreateCompatibleDC(item.hDC);
    HGDIOBJ old = SelectObject(source, m_picture);
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, size.bmWidth, size.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

LRESULT frmAbout::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        // cmdOK is the default and the cancel button: Enter, Esc and a click all close.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            if (windowsClosedBy(CloseCommand::AboutOk).about) {
                DestroyWindow(hwnd());
            }
        }
        return 0;
    case WM_DRAWITEM:
        paintPicture(*reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd(), &ps);
        paintLines(dc);
        EndPaint(hwnd(), &ps);
        return 0;
    }
    default:
        return Window::handleMessage(message, wParam, lParam);
    }
}

void frmAbout::destroyed()
{
    // Closing destroys it; the next Version command makes it afresh.
    g_about.reset();
}

} // namespace quietwatch
