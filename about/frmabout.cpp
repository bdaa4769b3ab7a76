#include "frmabout.h"

#include "taskbarhint.h"
#include "uifonts.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

namespace quietwatch {

namespace {

QPointer<frmAbout> openWindow;

// The layout was drawn in twips; 15 make one pixel at 96 dots per inch.
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QFont &font, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setFont(font);
    label->move(px(left), px(top));
    label->adjustSize(); // labels size themselves to their text
    return label;
}

// One stroke of the etched rule: a solid run of one colour. It starts inside the window and
// runs past its right edge, where the window clips it.
QFrame *makeLine(QWidget *parent, const QString &name, const QColor &colour, int x1, int x2, int y, int thickness)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::NoFrame);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    line->setGeometry(px(x1), px(y), px(x2) - px(x1) + 1, thickness);
    return line;
}

} // namespace

const QString frmAbout::supportAddress = QStringLiteral("https://quietwatch.example.org/");

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    // Standalone use (tests, previews) gets the same stand-in faces as the main window.
    installFontSubstitutions();

    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowIcon(QIcon());
    setFont(uiFont(QApplication::font()));
    setFixedSize(px(4095), px(3060));

    // The picture and its sunken border, 2 pixels on each side.
    pic1 = new QLabel(this);
    pic1->setObjectName(QStringLiteral("pic1"));
    pic1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pic1->setLineWidth(2);
    pic1->setAlignment(Qt::AlignCenter);
    pic1->setPixmap(QPixmap(QStringLiteral(":/quietwatch/about.jpg")));
    pic1->setFocusPolicy(Qt::StrongFocus);
    pic1->setAccessibleName(QStringLiteral("Quietwatch")); // it takes the focus, so a screen reader names it
    pic1->setGeometry(px(0), px(120), px(780), px(1560));

    const QFont designFace = designFont(kPGothic, 9.75);
    Label1 = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("Quietwatch"), designFace, 960, 120);
    Label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("Ver.1.00(First Release)"), designFace, 960, 480);
    Label3 = makeLabel(this, QStringLiteral("Label3"), QStringLiteral("サポートHP："), font(), 840, 1920);

    // Looks like a link but is plain text: no cursor change, no click, no signal.
    QFont linkFace = designFont(kPGothic, 9);
    linkFace.setUnderline(true);
    Label4 = makeLabel(this, QStringLiteral("Label4"), supportAddress, linkFace, 840, 2160);
    QPalette linkPalette = Label4->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label4->setPalette(linkPalette);

    // The etched rule: grey on top, white one pixel lower and one pixel further right.
    Line1[1] = makeLine(this, QStringLiteral("Line1(1)"), QColor(128, 128, 128), 90, 5654, 2445, 1);
    Line1[0] = makeLine(this, QStringLiteral("Line1(0)"), QColor(255, 255, 255), 105, 5654, 2460, 2);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(px(2640), px(2640), px(1380), px(345));
    cmdOK->setDefault(true); // Enter; Esc rejects the dialog, which closes it too
    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);

    setTabOrder(cmdOK, pic1);
    cmdOK->setFocus();
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
    const QRect outer = mainWindow.frameGeometry();
    openWindow->move(outer.left() + outer.width(), outer.top());
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
