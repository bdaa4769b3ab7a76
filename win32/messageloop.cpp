#include "messageloop.h"

#include <windows.h>

namespace quietwatch::win32 {

int runMessageLoop()
{
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Tab, Enter, Esc and Alt+letter go through the dialog manager of the window they are for.
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (root != nullptr && IsDialogMessageW(root, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace quietwatch::win32
