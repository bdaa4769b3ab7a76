#include "clock.h"
#include "form1.h"
#include "keepawakeplatform.h"
#include "powercontrol.h"
#include "powerplatform.h"
#include "startup.h"
#include "uifonts.h"

#include <QPointer>

int main(int /*argc*/, char *argv[])
{
    const auto app = quietwatch::openApplication(argv[0], "quietwatch");

    quietwatch::installFontSubstitutions();

    // The platform connects to the system only when a power request is made.
    const quietwatch::SystemClock clock;
    const auto platform = quietwatch::createPowerPlatform();
    quietwatch::PowerControl power(*platform);
    // Touches no bus until a target is set; outlives the window, which lets go as it closes.
    const auto keepAwake = quietwatch::createKeepAwake();

    // The window deletes itself when closed; the program ends when no window is open.
    const QPointer<quietwatch::Form1> window = new quietwatch::Form1(clock, power, *keepAwake);
    window->show();
    const int exitCode = QApplication::exec();
    delete window.data();
    return exitCode;
}
