// Every caption of the Win32 windows stays whole and every control lies inside its window, at
// 96 dpi and at 144. The windows open at the system's DPI and reach 144 as a move to another
// monitor brings them there: by WM_DPICHANGED, which the window base answers with a layout at
// the new DPI. Each text is measured in the control's own font against the room its kind
// leaves it. Each control the table names gets that name for screen readers when a client asks
// (the annotation service stands in recorded: Wine 8's takes no annotation and shows none). The
// windows are the real ones; power requests go to a recorder, never out.
// Beside them: what a DPI change moves and costs, the faces chosen for the design's, and the
// time query window asking a peer on the loopback through Winsock.

#include "fakes.h"
#include "form1_win32.h"
#include "form2_win32.h"
#include "frmabout_win32.h"

#include <algorithm>
#include <array>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <oleacc.h>
#include <string>
#include <tuple>
#include <utility>
#include <uxtheme.h>
#include <vector>
#include <vssym32.h>

namespace quietwatch {
namespace {

// The accessibility service's annotations, recorded by window: registered as its class, it
// is what the programs' CoCreateInstance gets.
class Annotations final : public IAccPropServices, public IClassFactory
{
public:
    std::map<HWND, std::wstring> names;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        *out = nullptr;
        if (iid == kInterface) {
            *out = static_cast<IAccPropServices *>(this);
        } else if (iid == IID_IClassFactory || iid == IID_IUnknown) {
            *out = static_cast<IClassFactory *>(this);
        }
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; } // static: never freed
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *, REFIID iid, void **out) override
    {
        return QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetHwndPropStr(HWND hwnd, DWORD object, DWORD child, MSAAPROPID property,
                                             LPCWSTR text) override
    {
        const bool name =
            property.Data1 == 0x608d3df8 && object == static_cast<DWORD>(OBJID_CLIENT) && child == CHILDID_SELF;
        names[hwnd] = name ? text : L"(another property)";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ClearHwndProps(HWND hwnd, DWORD, DWORD, const MSAAPROPID *, int) override
    {
        names.erase(hwnd);
        return S_OK;
    }
    // Nothing else is asked of it.
    // clang-format off
    HRESULT STDMETHODCALLTYPE SetPropValue(const BYTE *, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPropServer(const BYTE *, DWORD, const MSAAPROPID *, int, IAccPropServer *, AnnoScope) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ClearProps(const BYTE *, DWORD, const MSAAPROPID *, int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetHwndProp(HWND, DWORD, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID *, int, IAccPropServer *, AnnoScope) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID *, int, IAccPropServer *, AnnoScope) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ClearHmenuProps(HMENU, DWORD, const MSAAPROPID *, int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE **, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DecomposeHwndIdentityString(const BYTE *, DWORD, HWND *, DWORD *, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ComposeHmenuIdentityString(HMENU, DWORD, BYTE **, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DecomposeHmenuIdentityString(const BYTE *, DWORD, HMENU *, DWORD *) override { return E_NOTIMPL; }
    // clang-format on

    static constexpr IID kInterface{0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
    static constexpr CLSID kClass{0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
};

Annotations &annotations()
{
    static Annotations recorder;
    static const bool registered = [] {
        DWORD cookie = 0;
        return SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) &&
               SUCCEEDED(CoRegisterClassObject(Annotations::kClass, static_cast<IClassFactory *>(&recorder),
                                               CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    }();
    EXPECT_TRUE(registered) << "the recorder could not stand in for the annotation service";
    return recorder;
}

// The widest of what a control shows (a list's entries, anything else its caption), measured
// in the font selected into the DC.
std::pair<std::wstring, int> widestText(HWND hwnd, design::Kind kind, HDC dc, UINT format)
{
    const bool list = kind == design::Kind::DropDownList;
    std::pair<std::wstring, int> widest{L"", 0};
    for (int i = 0; i < (list ? static_cast<int>(SendMessageW(hwnd, CB_GETCOUNT, 0, 0)) : 1); ++i) {
        std::array<wchar_t, 256> text{};
        if (!list) {
            GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
        } else if (SendMessageW(hwnd, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(text.size())) {
            SendMessageW(hwnd, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        }
        RECT need{0, 0, 0, 0};
        DrawTextW(dc, text.data(), -1, &need, DT_CALCRECT | DT_SINGLELINE | format);
        if (need.right >= widest.second) {
            widest = {text.data(), need.right};
        }
    }
    return widest;
}

// The radio mark: the theme's part where a theme draws it, otherwise the classic check mark.
int radioMark(HWND hwnd, HDC dc, int dpi)
{
    int width = GetSystemMetricsForDpi(SM_CXMENUCHECK, static_cast<UINT>(dpi));
    if (HTHEME theme = OpenThemeData(hwnd, L"BUTTON")) {
        SIZE part{};
        if (SUCCEEDED(GetThemePartSize(theme, dc, BP_RADIOBUTTON, RBS_CHECKEDNORMAL, nullptr, TS_DRAW, &part))) {
            // The part at the window's own DPI, which the simulated move leaves as it was.
            width = MulDiv(part.cx, dpi, static_cast<int>(GetDpiForWindow(hwnd)));
        }
        CloseThemeData(theme);
    }
    return width;
}

// The pixels of a control's width that go to its own parts, not to its text.
int ownParts(HWND hwnd, design::Kind kind, HDC dc, int dpi)
{
    const auto metric = [dpi](int index) { return GetSystemMetricsForDpi(index, static_cast<UINT>(dpi)); };
    switch (kind) {
    case design::Kind::CommandButton: // the raised frame and, a pixel inside it, the focus rectangle
        return 2 * (metric(SM_CXEDGE) + MulDiv(1, dpi, 96));
    case design::Kind::OptionButton: { // the mark and a gap of half a character
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        return radioMark(hwnd, dc, dpi) + tm.tmAveCharWidth / 2;
    }
    case design::Kind::Frame: // the caption begins 8 pixels in from the corner and must end as far in
        return 2 * MulDiv(8, dpi, 96);
    case design::Kind::DropDownList: // frame and field inset either side, and the arrow, a scroll bar wide
        return 4 * metric(SM_CXEDGE) + metric(SM_CXVSCROLL);
    case design::Kind::TextBox:
    case design::Kind::EditBox: {
        const auto margins = static_cast<DWORD>(SendMessageW(hwnd, EM_GETMARGINS, 0, 0));
        return LOWORD(margins) + HIWORD(margins);
    }
    default: // a label sizes itself to its text
        return 0;
    }
}

// Each shown control of a window, found by its table: inside the client area, its text whole.
void checkWindow(HWND window, const design::Window &design, int dpi, const std::string &what)
{
    // The window asks for the design's client area at its DPI and gets it on Windows; Wine 8 keeps
    // the title and menu bars at the system's DPI, so its area is taller after a change.
    RECT client{};
    GetClientRect(window, &client);
    client.right = std::min(client.right, static_cast<LONG>(design::pixels(design.clientWidth, dpi)));
    client.bottom = std::min(client.bottom, static_cast<LONG>(design::pixels(design.clientHeight, dpi)));
    for (const design::Control &control : design.controls) {
        using enum design::Kind;
        if (control.kind == Line || control.kind == Timer || control.kind == Socket) {
            continue;
        }
        HWND hwnd = GetDlgItem(window, win32::controlId(design, control));
        ASSERT_NE(hwnd, nullptr) << what << ": no window for " << control.name;
        if (!IsWindowVisible(hwnd)) {
            continue; // the folded settings
        }
        const std::string where = what + ": " + std::string(control.name);
        if (!control.accessibleName.empty()) {
            // Named when a client first asks, not before: the service is not loaded for nothing.
            EXPECT_FALSE(annotations().names.contains(hwnd)) << where << " named before any client asked";
            IAccessible *client = nullptr;
            if (SUCCEEDED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                     reinterpret_cast<void **>(&client)))) {
                client->Release();
            }
            EXPECT_EQ(win32::utf8(annotations().names[hwnd]), control.accessibleName) << where;
        }
        RECT r{};
        GetWindowRect(hwnd, &r);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT *>(&r), 2);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << where << " spans (" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom
            << "), out of the client area " << client.right << " x " << client.bottom;
        if (control.kind == LogBox || control.kind == PictureBox) {
            continue; // the log scrolls; the picture has no text
        }
        RECT inside{};
        GetClientRect(hwnd, &inside);
        HDC dc = GetDC(hwnd);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
        const int parts = ownParts(hwnd, control.kind, dc, dpi);
        const int room = inside.right - parts;
        // Buttons and group boxes draw '&' as the underline of the next character.
        const UINT prefix = control.kind == CommandButton || control.kind == OptionButton || control.kind == Frame
                                ? 0U
                                : static_cast<UINT>(DT_NOPREFIX);
        const auto [text, width] = widestText(hwnd, control.kind, dc, prefix);
        EXPECT_LE(width, room) << where << " \"" << win32::utf8(text) << "\" is " << width << " px wide, its room "
                               << room << " px (the control's " << inside.right << " less " << parts
                               << " for its own parts)";
        SelectObject(dc, old);
        ReleaseDC(hwnd, dc);
    }
}

// As a move to a monitor of another DPI: the new DPI and the place Windows suggests for it,
// a little further right and down. Gives that place.
POINT moveToDpi(HWND window, int dpi, int from)
{
    RECT r{};
    GetWindowRect(window, &r);
    const RECT suggested{r.left + 40, r.top + 20, r.left + 40 + MulDiv(r.right - r.left, dpi, from),
                         r.top + 20 + MulDiv(r.bottom - r.top, dpi, from)};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    return POINT{suggested.left, suggested.top};
}

void moveToDpi(HWND window, int dpi)
{
    if (const int from = static_cast<int>(GetDpiForWindow(window)); dpi != from) {
        moveToDpi(window, dpi, from);
    }
}

// The top-level windows' moves (a WM_WINDOWPOSCHANGED without SWP_NOMOVE), counted per window,
// and the controls given a new font while the one they had was deleted already.
std::map<HWND, int> g_moves;
int g_deletedFontsInUse = 0;

LRESULT CALLBACK watchDpiChange(int code, WPARAM wParam, LPARAM lParam)
{
    const auto *sent = reinterpret_cast<const CWPSTRUCT *>(lParam);
    const bool child = (GetWindowLongPtrW(sent->hwnd, GWL_STYLE) & WS_CHILD) != 0;
    if (code == HC_ACTION && sent->message == WM_WINDOWPOSCHANGED && !child &&
        (reinterpret_cast<const WINDOWPOS *>(sent->lParam)->flags & SWP_NOMOVE) == 0) {
        ++g_moves[sent->hwnd];
    } else if (code == HC_ACTION && sent->message == WM_SETFONT && child) {
        const auto current = reinterpret_cast<HGDIOBJ>(SendMessageW(sent->hwnd, WM_GETFONT, 0, 0));
        if (current != nullptr && GetObjectType(current) != OBJ_FONT) {
            ++g_deletedFontsInUse;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

HWND control(HWND window, const design::Window &design, std::string_view name)
{
    return GetDlgItem(window, win32::controlId(design, *design.control(name)));
}

HWND form1Control(HWND window, std::string_view name)
{
    return control(window, design::kForm1, name);
}

// What a click on a button sends its window.
void click(HWND button)
{
    SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

// A window by name (Form1, Form1_narrow, frmAbout, Form2) and a DPI.
using Win32Layout = ::testing::TestWithParam<std::tuple<std::string, int>>;

TEST_P(Win32Layout, CaptionsWholeAndControlsInside)
{
    const auto &[name, dpi] = GetParam();
    const std::string what = name + " at " + std::to_string(dpi) + " dpi";
    const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // Before a year's end, so the date list runs into the next year.
    testing::FakeClock clock(testing::at(2026, 12, 28, 23, 58, 58));
    testing::RecordingRequests power;
    NoKeepAwake keepAwake;
    Form1 form1(clock, power, keepAwake);
    Form2 form2;
    const struct CloseAbout
    {
        ~CloseAbout() { frmAbout::closeIfOpen(); }
    } closeAbout;
    HWND window = nullptr;
    const design::Window *design = &design::kForm1;
    if (name == "Form2") {
        ASSERT_TRUE(form2.show(SW_SHOWNOACTIVATE));
        window = form2.hwnd();
        design = &design::kForm2;
    } else {
        ASSERT_TRUE(form1.show(SW_SHOWNOACTIVATE));
        window = form1.hwnd();
        // The texts of a running window: the clock read once, a target set.
        SendMessageW(window, WM_TIMER, 1, 0);
        click(form1Control(window, "comD"));
    }
    if (name == "frmAbout") {
        // Information > Version, as choosing it sends.
        SendMessageW(window, WM_COMMAND, GetMenuItemID(GetSubMenu(GetMenu(window), 1), 0), 0);
        window = FindWindowW(L"QuietwatchFrmAbout", nullptr);
        design = &design::kFrmAbout;
        ASSERT_NE(window, nullptr) << "the Version command opened no About window";
    } else if (name == "Form1_narrow") {
        click(form1Control(window, "comWide"));
        ASSERT_FALSE(IsWindowVisible(form1Control(window, "f2"))) << "the settings did not fold";
    }
    moveToDpi(window, dpi);
    // Laid out at this DPI, the window is as wide as the design's client area and a frame at
    // this DPI make, and its client area at least the design's. A real Windows goes on drawing
    // the frame of a window that a WM_DPICHANGED only pretends to move at its monitor's DPI, so
    // there the client area comes out a few pixels wider; Wine's frame is as wide at every DPI,
    // so there it is the design's exactly, and a frame sized for the wrong DPI looks the same.
    RECT outer{0, 0, design::pixels(design->clientWidth, dpi), 0};
    AdjustWindowRectExForDpi(&outer, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)),
                             GetMenu(window) != nullptr, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)),
                             static_cast<UINT>(dpi));
    RECT placed{};
    GetWindowRect(window, &placed);
    RECT client{};
    GetClientRect(window, &client);
    ASSERT_TRUE(name == "Form1_narrow" || (placed.right - placed.left == outer.right - outer.left &&
                                           client.right >= design::pixels(design->clientWidth, dpi)))
        << what << ": the window is " << placed.right - placed.left << " px wide (at this DPI "
        << outer.right - outer.left << "), its client area " << client.right << " px, not laid out at this DPI";
    checkWindow(window, *design, dpi, what);
    const auto sizeOf = [window, design](std::string_view control) {
        RECT r{};
        GetWindowRect(GetDlgItem(window, win32::controlId(*design, *design->control(control))), &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    };
    if (design == &design::kForm1) {
        // The date list's smaller font leaves its closed box as tall as the time lists'.
        EXPECT_EQ(sizeOf("cmDate").cy, sizeOf("cmTime(0)").cy) << what;
        // Made no higher than their closed boxes, the lists still open onto nine entries or more.
        for (const char *name : {"cmDate", "cmTime(0)", "cmTime(1)", "cmTime(2)"}) {
            HWND list = form1Control(window, name);
            SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
            COMBOBOXINFO info{};
            info.cbSize = sizeof(info);
            RECT open{};
            GetComboBoxInfo(list, &info);
            GetClientRect(info.hwndList, &open);
            SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
            EXPECT_GE(open.bottom, 9 * SendMessageW(list, CB_GETITEMHEIGHT, 0, 0)) << what << ": " << name;
        }
    } else if (design == &design::kFrmAbout) {
        // The picture's box keeps its design size, whatever the picture's.
        const design::Control &box = *design->control("pic1");
        EXPECT_EQ(sizeOf("pic1").cx, design::pixels(box.width, dpi)) << what;
        EXPECT_EQ(sizeOf("pic1").cy, design::pixels(box.height, dpi)) << what;
    }
    EXPECT_TRUE(power.calls.empty()) << "a power request went out";
}

// Ten DPI changes, back and forth: each moves a window once, straight to the suggested place,
// no control holds a deleted font meanwhile, and the fonts and the About window's pictures made
// at each DPI leave no GDI object behind.
TEST(Win32DpiChange, OneMoveEachAndNoGdiObjectGained)
{
    testing::FakeClock clock(testing::at(2026, 12, 28, 23, 58, 58));
    testing::RecordingRequests power;
    NoKeepAwake keepAwake;
    Form1 form1(clock, power, keepAwake);
    ASSERT_TRUE(form1.show(SW_SHOWNOACTIVATE));
    SendMessageW(form1.hwnd(), WM_COMMAND, GetMenuItemID(GetSubMenu(GetMenu(form1.hwnd()), 1), 0), 0);
    const struct CloseAbout
    {
        ~CloseAbout() { frmAbout::closeIfOpen(); }
    } closeAbout;
    HWND about = FindWindowW(L"QuietwatchFrmAbout", nullptr);
    ASSERT_NE(about, nullptr);
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    g_deletedFontsInUse = 0;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &watchDpiChange, nullptr, GetCurrentThreadId());
    for (int change = 0; change < 10; ++change) {
        const int dpi = change % 2 == 0 ? 144 : 96;
        for (HWND window : {form1.hwnd(), about}) {
            g_moves.clear();
            const POINT suggested = moveToDpi(window, dpi, dpi == 144 ? 96 : 144);
            RECT r{};
            GetWindowRect(window, &r);
            EXPECT_EQ(g_moves[window], 1) << "moves on change " << change << " to " << dpi << " dpi";
            EXPECT_TRUE(r.left == suggested.x && r.top == suggested.y) << "not at the suggested place";
        }
    }
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(g_deletedFontsInUse, 0) << "controls still had a deleted font when given their new one";
    const DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (gdiBefore == 0 && gdiAfter == 0) { // Wine's count; Windows counts every font and bitmap
        std::cout << "[   NOTE   ] GetGuiResources gives 0 GDI objects before and after: the check for GDI "
                     "objects gained checks nothing here\n";
    }
    EXPECT_LE(gdiAfter, gdiBefore) << "GDI objects gained";
}

// The program ends when its last window is gone, whether the user closed it or its object went
// with the window still open; and opening the scheduler window again loads no new icon.
TEST(Win32Window, LastWindowGoneEndsTheProgram)
{
    for (const bool byObject : {true, false}) {
        MSG quit{};
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        } // the ends of the tests before
        {
            Form2 form2;
            ASSERT_TRUE(form2.show(SW_SHOWNOACTIVATE));
            if (!byObject) {
                DestroyWindow(form2.hwnd());
            }
        }
        EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            << (byObject ? "deleted with its window open" : "closed") << ": no end of the program";
    }
    testing::FakeClock clock(testing::at(2026, 12, 28, 23, 58, 58));
    testing::RecordingRequests power;
    NoKeepAwake keepAwake;
    Form1 form1(clock, power, keepAwake);
    ASSERT_TRUE(form1.show(SW_SHOWNOACTIVATE));
    EXPECT_EQ(win32::programIcon(), reinterpret_cast<HICON>(GetClassLongPtrW(form1.hwnd(), GCLP_HICON)))
        << "the icon was loaded anew";
}

// The face chosen for each design face where only some faces are installed: the design's name,
// its English name, the stand-ins; the clock's face stays fixed-pitch.
TEST(Win32Fonts, DesignFaceThenEnglishNameThenStandIns)
{
    const std::wstring gothic = win32::wide(design::kGothic);
    const std::wstring pGothic = win32::wide(design::kPGothic);
    const struct
    {
        std::vector<std::wstring> installed;
        std::string_view design;
        std::wstring face;
        bool fixedPitch;
    } rows[] = {
        {{pGothic, gothic, L"MS PGothic", L"MS Gothic", L"Yu Gothic UI"}, design::kPGothic, pGothic, false},
        {{pGothic, gothic, L"MS PGothic", L"MS Gothic", L"Yu Gothic UI"}, design::kGothic, gothic, true},
        {{L"MS PGothic", L"MS Gothic", L"Yu Gothic UI", L"Meiryo UI"}, design::kPGothic, L"MS PGothic", false},
        {{L"MS PGothic", L"MS Gothic", L"Yu Gothic UI", L"Meiryo UI"}, design::kGothic, L"MS Gothic", true},
        {{L"Meiryo UI", L"BIZ UDGothic"}, design::kPGothic, L"Meiryo UI", false},
        {{L"Yu Gothic UI", L"BIZ UDGothic"}, design::kGothic, L"BIZ UDGothic", true},
        {{L"Yu Gothic UI", L"Meiryo UI"}, design::kGothic, L"", true}, // any fixed-pitch Japanese face
        {{L"MS PGothic", L"Yu Gothic UI"}, "", L"Yu Gothic UI", false},
    };
    for (const auto &row : rows) {
        const auto installed = [&row](const std::wstring &face) {
            return std::find(row.installed.begin(), row.installed.end(), face) != row.installed.end();
        };
        const win32::Face face = win32::installedFace(row.design, installed);
        EXPECT_EQ(win32::utf8(face.name), win32::utf8(row.face)) << row.design;
        EXPECT_EQ(face.fixedPitch, row.fixedPitch) << row.design;
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, Win32Layout,
                         ::testing::Combine(::testing::Values("Form1", "Form1_narrow", "frmAbout", "Form2"),
                                            ::testing::Values(96, 144)),
                         [](const auto &info) {
                             return std::get<0>(info.param) + "_" + std::to_string(std::get<1>(info.param));
                         });

// Dispatches the thread's messages until the condition holds, for ten seconds at most.
template <typename Condition> bool pumpUntil(Condition done)
{
    for (int i = 0; i < 1000; ++i) {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

TEST(Win32TimeQuery, AsksALoopbackPeerAndLogsItsAnswer)
{
    WSADATA wsa{};
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    const struct Peer
    {
        SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        ~Peer()
        {
            closesocket(socket);
            WSACleanup();
        }
    } peer;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    u_long nonBlocking = 1;
    ASSERT_TRUE(bind(peer.socket, reinterpret_cast<const sockaddr *>(&address), length) == 0 &&
                getsockname(peer.socket, reinterpret_cast<sockaddr *>(&address), &length) == 0 &&
                ioctlsocket(peer.socket, FIONBIO, &nonBlocking) == 0)
        << "the peer's socket: " << WSAGetLastError();

    Form2 form2({ntohs(address.sin_port), 0}); // the program's own end on any free port
    ASSERT_TRUE(form2.show(SW_SHOWNOACTIVATE));
    SetWindowTextW(control(form2.hwnd(), design::kForm2, "txtServer"), L"127.0.0.1");
    click(control(form2.hwnd(), design::kForm2, "cmdGetTime"));
    // Any program may post the window the message a lookup answers with: one that carries no
    // answer of the window's own changes nothing, whatever it holds.
    for (const WPARAM id : {0, 1, 2, 3}) {
        PostMessageW(form2.hwnd(), WM_APP + 2, id, static_cast<LPARAM>(0xDEADBEEF0));
    }

    std::array<unsigned char, 100> request{};
    sockaddr_in sender{};
    int senderLength = sizeof(sender);
    int received = -1;
    ASSERT_TRUE(pumpUntil([&] {
        received = recvfrom(peer.socket, reinterpret_cast<char *>(request.data()), static_cast<int>(request.size()), 0,
                            reinterpret_cast<sockaddr *>(&sender), &senderLength);
        return received > 0;
    })) << "no request came";
    EXPECT_EQ(received, 48);
    EXPECT_EQ(request[0], 0x0B);

    std::array<unsigned char, 48> answer{};
    answer[40] = 0xE9; // transmit time 0xE93C4A4B: 2023-12-31 20:15:07 UTC
    answer[41] = 0x3C;
    answer[42] = 0x4A;
    answer[43] = 0x4B;
    sendto(peer.socket, reinterpret_cast<const char *>(answer.data()), static_cast<int>(answer.size()), 0,
           reinterpret_cast<const sockaddr *>(&sender), senderLength);
    const std::string expected = "2023/12/31 20:15:07\r\n2024/01/01 05:15:07\r\n";
    HWND log = control(form2.hwnd(), design::kForm2, "txtlog");
    EXPECT_TRUE(pumpUntil([&] { return win32::windowText(log) == expected; }))
        << "the log reads \"" << win32::windowText(log) << "\"";
}

} // namespace
} // namespace quietwatch
