#include "frmabout.h"

#include <QPointer>

namespace quietwatch {

namespace {
QPointer<frmAbout> openWindow;
} // namespace

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
}

frmAbout *frmAbout::showBeside(const QWidget &mainWindow)
{
    if (!openWindow) {
        openWindow = new frmAbout; // deletes itself on close
    }
    const QRect outer = mainWindow.frameGeometry();
    openWindow->move(outer.left() + outer.width(), outer.top());
    openWindow->show();
    return openWindow;
}

void frmAbout::closeIfOpen()
{
    if (openWindow) {
        openWindow->close();
    }
}

frmAbout *frmAbout::instance()
{
    return openWindow;
}

} // namespace quietwatch
