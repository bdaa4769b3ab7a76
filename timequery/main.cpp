#include "form2.h"
#include "startup.h"

// The time query window as a program of its own: it shows Form2 and ends when it closes.
int main(int /*argc*/, char *argv[])
{
    const auto app = quietwatch::openApplication(argv[0], "quietwatch-timequery");
    quietwatch::Form2 window;
    QObject::connect(&window, &QDialog::finished, app.get(), &QCoreApplication::quit);
    window.show();
    return QApplication::exec();
}
