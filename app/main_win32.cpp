#include "form1_win32.h"
#include "powercontrol.h"
#include "winkeepawake.h"
#include "winpowerplatform.h"

#include <commctrl.h>

// Quietwatch: the scheduler window; the program ends when none of its windows is left.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    quietwatch::SystemClock clock;
    quietwatch::WinPowerPlatform platform;
    quietwatch::PowerControl power(platform);
    quietwatch::WinKeepAwake keepAwake;
    quietwatch::Form1 window(clock, power, keepAwake);
    if (!window.show(showCommand)) {
        return 1;
    }
    return quietwatch::win32::runMessageLoop();
}
