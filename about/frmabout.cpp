#include "frmabout.h"

#include "designedwidgets.h"
#include "taskbarhint.h"
#include "windowplace.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <vector>

namespace quietwatch {

namespace {

QPointer<frmAbout> openWindow;

} // namespace

const QString frmAbout::supportAddress = ui::qs(design::kSupportAddress);

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    ui::applyWindowDesign(*this, design::kFrmAbout);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon());
    setFixedSize(ui::px(design::kFrmAbout.clientWidth), ui::px(design::kFrmAbout.clientHeight));

    // The window is not built at start, so its fonts may name the design faces.
    const ui::DesignedControls controls(*this, design::kFrmAbout, ui::Faces::Design);
    pic1 = controls.get<QLabel>("pic1");
    pic1->setPixmap(QPixmap(QStringLiteral(":/quietwatch/about.jpg")));
    Label1 = controls.get<QLabel>("Label1");
    Label2 = controls.get<QLabel>("Label2");
    Label3 = controls.get<QLabel>("Label3");
    Label4 = controls.get<QLabel>("Label4"); // looks like a link but is plain text: no cursor, no click
    Line1 = {controls.get<QFrame>("Line1(0)"), controls.get<QFrame>("Line1(1)")};
    cmdOK = controls.get<QPushButton>("cmdOK"); // Enter; Esc rejects the dialog, which closes it too
    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);
    controls.orderTabs();
}

void frmAbout::showEvent(QShowEvent *event)
{
    // A dialog without an owner would get a task-bar button of its own on most desktops.
    // The native window exists now, placed where move() asked, but is not mapped yet.
    keepOffTaskBar(*this);
    QDialog::showEvent(event);
}

frmAbout *frmAbout::showBeside(const QWidget &mainWindow)
{
    const bool wasOpen = openWindow && openWindow->isVisible();
    if (!openWindow) {
        // No parent: the window has no owner, does not follow the main window and keeps the
        // program running on its own once the main window has closed. Deletes itself on close.
        openWindow = new frmAbout;
    }
    // On a top-level window move() places the outer frame, like frameGeometry() reads it.
    // Until the About window has been shown its frame is unknown; the main window's frame,
    // drawn by the same window manager, stands in for it.
    const QRect outer = mainWindow.frameGeometry();
    const QSize mainFrame = outer.size() - mainWindow.geometry().size();
    const QSize aboutOuter =
        openWindow->isVisible() ? openWindow->frameGeometry().size() : openWindow->size() + mainFrame;
    std::vector<ScreenRect> areas;
    const QScreen *mainScreen = mainWindow.screen();
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        // The main window's screen first: of two equally near places, its own wins.
        areas.insert(screen == mainScreen ? areas.begin() : areas.end(),
                     ScreenRect{area.left(), area.top(), area.width(), area.height()});
    }
    const ScreenPoint place = aboutWindowPlace({outer.left(), outer.top(), outer.width(), outer.height()},
                                               aboutOuter.width(), aboutOuter.height(), areas);
    openWindow->move(place.x, place.y);
    openWindow->show();
    if (wasOpen) {
        // Shown once more: in front of the main window again.
        openWindow->raise();
        openWindow->activateWindow();
    }
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
