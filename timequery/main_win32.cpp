#include "form2_win32.h"

#include <commctrl.h>

// The time query window as a program of its own: it ends when the window closes, at once,
// even while a name lookup still runs.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WSADATA wsa{};
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        return 1;
    }
    quietwatch::Form2 window;
    if (!window.show(showCommand)) {
        return 1;
    }
    const int code = quietwatch::win32::runMessageLoop();
    ExitProcess(static_cast<UINT>(code)); // a lookup thread may still wait for the resolver
}
