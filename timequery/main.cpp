#include "form2.h"
#include "startup.h"

#include <cstdio>
#include <cstdlib>

// The time query window as a program of its own: it shows Form2 and ends when it closes.
int main(int /*argc*/, char *argv[])
{
    const auto app = quietwatch::openApplication(argv[0], "quietwatch-timequery");
    int exitCode = 0;
    {
        quietwatch::Form2 window;
        QObject::connect(&window, &QDialog::finished, app.get(), &QCoreApplication::quit);
        window.show();
        exitCode = QApplication::exec();
    }
    // A name lookup still running holds one of Qt's resolver threads, which cannot be
    // stopped, and Qt would wait for it while the application ends: as long as the
    // resolver takes, with no window left. Nothing is left to save, so the process ends now.
    std::fflush(nullptr);
    std::_Exit(exitCode);
}
