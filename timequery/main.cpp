#include "form2.h"

#include <QApplication>

// The time query window as a program of its own: it shows Form2 and ends when it closes.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quietwatch::Form2 window;
    QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
    window.show();
    return QApplication::exec();
}
