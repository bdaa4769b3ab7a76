// The floor that Quietwatch.exe is measured against under Wine: a bare Win32 program with no
// logic, the counterpart of baseline.cpp.
//
// It shows a top-level window with a menu bar and as many plain controls of each kind as the
// scheduler window holds, and a 500 ms timer that writes the current time into a label, as
// the scheduler's clock does. Its captions are Japanese and it draws them in one font of the
// scheduler's Japanese face, so that it loads the same font file; it sets no icon, no colours
// and fills no list. The manifest it embeds is the programs' own, so it too gets the common
// controls 6.

#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <array>
#include <commctrl.h>
#include <cwchar>

namespace {

constexpr UINT kTickMilliseconds = 500;
constexpr UINT_PTR kTimer = 1;

HFONT g_font = nullptr;
HWND g_clock = nullptr;                // kept: looking a child up by its id is a server request under Wine
std::array<wchar_t, 16> g_shownTime{}; // the clock label is written when its text changes, as the scheduler's is

// A control on a simple grid of cells, 90 × 26 pixels each, as baseline.cpp lays out its widgets.
// Controls in a group box are the window's children placed over it.
HWND cell(HWND parent, const wchar_t *className, const wchar_t *text, DWORD style, int column, int row, int columns = 1,
          int rows = 1, DWORD exStyle = 0)
{
    HWND control =
        CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 6 + column * 92, 6 + row * 28,
                        columns * 92 - 2, rows * 28 - 2, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_font), FALSE);
    return control;
}

void createControls(HWND window)
{
    constexpr DWORD kButton = WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON;
    constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
    constexpr DWORD kEdit = WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL;
    constexpr DWORD kList = WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST;

    // The scheduler window's kinds and counts: 2 frames, 5 buttons, 9 labels (one of them
    // the clock), 2 text boxes, 2 option buttons and 4 drop-down lists.
    cell(window, WC_BUTTONW, L"<<", kButton, 1, 0);
    cell(window, WC_BUTTONW, L"ボタン１", kButton, 0, 6);
    cell(window, WC_BUTTONW, L"ボタン２", kButton, 1, 6);
    cell(window, WC_EDITW, L"文字列１", kEdit, 1, 3, 1, 1, WS_EX_CLIENTEDGE);
    cell(window, WC_EDITW, L"文字列２", kEdit, 1, 4, 1, 1, WS_EX_CLIENTEDGE);
    cell(window, WC_COMBOBOXW, L"", kList, 2, 2, 1, 9);
    cell(window, WC_BUTTONW, L"選択１", WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON, 3, 2);
    const HWND chosen = cell(window, WC_BUTTONW, L"選択２", BS_AUTORADIOBUTTON, 3, 3);
    SendMessageW(chosen, BM_SETCHECK, BST_CHECKED, 0);
    cell(window, WC_COMBOBOXW, L"", kList, 2, 4, 1, 9);
    cell(window, WC_COMBOBOXW, L"", kList, 3, 4, 1, 9);
    cell(window, WC_COMBOBOXW, L"", kList, 2, 5, 1, 9);
    cell(window, WC_BUTTONW, L"ボタン３", kButton, 2, 6);
    cell(window, WC_BUTTONW, L"ボタン４", kButton, 3, 6);

    cell(window, WC_STATICW, L"ラベル１", kLabel, 0, 0);
    g_clock = cell(window, WC_STATICW, L"00:00:00", kLabel, 0, 1);
    cell(window, WC_STATICW, L"ラベル２", kLabel, 1, 1);
    cell(window, WC_STATICW, L"ラベル３", kLabel, 1, 5);
    cell(window, WC_STATICW, L"ラベル４", kLabel, 0, 3);
    cell(window, WC_STATICW, L"ラベル５", kLabel, 0, 4);
    cell(window, WC_STATICW, L"ラベル６", kLabel, 0, 5);
    cell(window, WC_STATICW, L"ラベル７", kLabel, 2, 1);
    cell(window, WC_STATICW, L"ラベル８", kLabel, 2, 3);

    // Last, below what they hold: the dialog manager walks the children in creation order.
    cell(window, WC_BUTTONW, L"枠１", BS_GROUPBOX | WS_CLIPSIBLINGS, 0, 2, 2, 4);
    cell(window, WC_BUTTONW, L"枠２", BS_GROUPBOX | WS_CLIPSIBLINGS, 2, 0, 2, 7);
}

void tick()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::array<wchar_t, 16> text{};
    std::swprintf(text.data(), text.size(), L"%u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    if (text != g_shownTime) {
        g_shownTime = text;
        SetWindowTextW(g_clock, text.data());
    }
}

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        createControls(window);
        SetTimer(window, kTimer, kTickMilliseconds, nullptr);
        return 0;
    case WM_TIMER:
        tick();
        return 0;
    case WM_COMMAND:
        if (lParam == 0 && LOWORD(wParam) == 3) { // 終了
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        KillTimer(window, kTimer);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HMENU createMenuBar()
{
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, 1, L"項目１(&1)");
    AppendMenuW(file, MF_STRING, 2, L"項目２(&2)");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, 3, L"終了(&X)");
    HMENU information = CreatePopupMenu();
    AppendMenuW(information, MF_STRING, 4, L"項目３(&A)");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"ファイル(&F)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(information), L"情報(&I)");
    return bar;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The scheduler's dialog face at 9 points (12 pixels at 96 dpi).
    g_font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"ＭＳ Ｐゴシック");

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"QuietwatchBenchBaseline";
    RegisterClassExW(&wc);

    // The scheduler window's client size, 378 × 207 pixels below the menu bar, in a fixed frame.
    constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    HMENU menu = createMenuBar();
    RECT outer{0, 0, 378, 207};
    AdjustWindowRectEx(&outer, kStyle, TRUE, WS_EX_CONTROLPARENT);
    HWND window =
        CreateWindowExW(WS_EX_CONTROLPARENT, wc.lpszClassName, L"Baseline", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        outer.right - outer.left, outer.bottom - outer.top, nullptr, menu, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ShowWindow(window, showCommand);

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DeleteObject(g_font);
    return static_cast<int>(msg.wParam);
}
