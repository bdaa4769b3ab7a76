// The About window on its own: its controls, where the Version command puts it, how it
// closes, and that it keeps the program alive after the main window has gone. A plain
// widget with a fixed geometry stands in for the main window.

#include "frmabout.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>

using quietwatch::frmAbout;

namespace {

// Every top-level About window, shown or not, that has not been destroyed.
int aboutWindowCount()
{
    int count = 0;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<frmAbout *>(w)) {
            ++count;
        }
    }
    return count;
}

// A main window stand-in at a given outer geometry.
std::unique_ptr<QWidget> mainWindowAt(const QRect &outer)
{
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("main"));
    window->move(outer.topLeft());
    window->resize(outer.size());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        return nullptr;
    }
    // The requested size is the client size; make the outer width the requested one.
    const int frameWidth = window->frameGeometry().width() - window->width();
    window->resize(outer.width() - frameWidth, outer.height());
    return window;
}

// Records any attempt to open a web address through the desktop services while it lives.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    UrlRecorder()
    {
        for (const QString &scheme : schemes) {
            QDesktopServices::setUrlHandler(scheme, this, "open");
        }
    }
    ~UrlRecorder() override
    {
        for (const QString &scheme : schemes) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }

private:
    const QStringList schemes{QStringLiteral("http"), QStringLiteral("https")};
};

bool isGone(const QPointer<frmAbout> &window)
{
    return QTest::qWaitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.isNull();
    });
}

} // namespace

class TestFrmAbout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowFrameTitleAndSize();
    void controls_data();
    void controls();
    void labelsUseTheStandInFaces();
    void pictureFillsItsSunkenBox();
    void etchedRuleReachesTheRightEdge();
    void okHoldsTheFocusAndTabReachesThePicture();

    void placedAgainstTheMainWindow_data();
    void placedAgainstTheMainWindow();
    void secondCommandMovesItBackWithoutASecondWindow();
    void doesNotFollowTheMainWindow();

    void closes_data();
    void closes();
    void closeIfOpenWithoutWindowShowsNothing();
    void supportAddressIgnoresClicks();

    void keepsTheProgramRunningAfterTheMainWindow_data();
    void keepsTheProgramRunningAfterTheMainWindow();

    void x11WindowHints();
};

void TestFrmAbout::init()
{
    QCOMPARE(aboutWindowCount(), 0);
}

void TestFrmAbout::cleanup()
{
    QPointer<frmAbout> left = frmAbout::instance();
    frmAbout::closeIfOpen();
    QVERIFY(isGone(left));
}

void TestFrmAbout::windowFrameTitleAndSize()
{
    const auto main = mainWindowAt({100, 100, 378, 240});
    QVERIFY(main);
    frmAbout *about = frmAbout::showBeside(*main);
    QVERIFY(QTest::qWaitForWindowExposed(about));

    QCOMPARE(about->windowTitle(), QString::fromUtf16(u"\uFF8A\uFF9E\uFF70\uFF7C\uFF9E\uFF6E\uFF9D\u60C5\u5831"));
    // Client area 4095 x 3060 twips, and the user cannot resize it.
    QCOMPARE(about->size(), QSize(273, 204));
    QCOMPARE(about->minimumSize(), about->size());
    QCOMPARE(about->maximumSize(), about->size());

    const Qt::WindowFlags flags = about->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowTitleHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));

    // No icon of its own, no owner, and modeless: the main window stays usable.
    QVERIFY(about->windowIcon().isNull());
    QVERIFY(!about->parentWidget());
    QVERIFY(!about->windowHandle()->transientParent());
    QVERIFY(!about->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestFrmAbout::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QString>("family"); // empty: the window's own font
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<QColor>("textColour"); // invalid: the style's colour

    const QString pGothic = QStringLiteral("ＭＳ Ｐゴシック");
    QTest::newRow("Label1") << "Label1"
                            << "Quietwatch" << QPoint(64, 8) << pGothic << 9.75 << false << QColor();
    QTest::newRow("Label2") << "Label2"
                            << "Ver.1.00(First Release)" << QPoint(64, 32) << pGothic << 9.75 << false << QColor();
    QTest::newRow("Label3") << "Label3"
                            << "サポートHP：" << QPoint(56, 128) << QString() << 9.0 << false << QColor();
    QTest::newRow("Label4") << "Label4" << frmAbout::supportAddress << QPoint(56, 144) << pGothic << 9.0 << true
                            << QColor(0, 0, 255);
}

void TestFrmAbout::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QPoint, position);
    QFETCH(QString, family);
    QFETCH(qreal, points);
    QFETCH(bool, underline);
    QFETCH(QColor, textColour);

    frmAbout about;
    auto *label = about.findChild<QLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->pos(), position);
    // Sized to its text, and never a focus stop.
    QCOMPARE(label->size(), label->sizeHint());
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    QVERIFY(label->isVisibleTo(&about));
    QVERIFY(label->isEnabled());

    const QFont font = label->font();
    if (family.isEmpty()) {
        QCOMPARE(font, about.font());
    } else {
        QCOMPARE(font.family(), family);
    }
    QCOMPARE(font.pointSizeF(), points);
    QCOMPARE(font.weight(), QFont::Normal);
    QCOMPARE(font.underline(), underline);
    if (textColour.isValid()) {
        QCOMPARE(label->palette().color(QPalette::WindowText), textColour);
    }
}

void TestFrmAbout::labelsUseTheStandInFaces()
{
    // Where the Windows faces are missing the labels fall back to the metric-compatible IPA
    // faces, not to an arbitrary sans-serif.
    // fontconfig names the face in Japanese under a Japanese locale.
    const QStringList installed = QFontDatabase::families();
    const QString standIn = installed.contains(QStringLiteral("IPAPGothic")) ? QStringLiteral("IPAPGothic")
                                                                             : QStringLiteral("IPA Pゴシック");
    if (!installed.contains(standIn)) {
        QSKIP("the IPA gothic fonts are not installed");
    }
    frmAbout about;
    for (const char *name : {"Label1", "Label2", "Label4"}) {
        auto *label = about.findChild<QLabel *>(QLatin1String(name));
        QVERIFY(label);
        QCOMPARE(QFontInfo(label->font()).family(), standIn);
    }
    QCOMPARE(QFontInfo(about.font()).pointSizeF(), 9.0);
}

void TestFrmAbout::pictureFillsItsSunkenBox()
{
    frmAbout about;
    auto *pic1 = about.findChild<QLabel *>(QStringLiteral("pic1"));
    QVERIFY(pic1);
    QCOMPARE(pic1->geometry(), QRect(0, 8, 52, 104));
    QCOMPARE(pic1->frameStyle(), QFrame::Panel | QFrame::Sunken);
    QCOMPARE(pic1->lineWidth(), 2);
    QCOMPARE(pic1->contentsRect(), QRect(2, 2, 48, 100));

    const QPixmap picture = pic1->pixmap();
    QCOMPARE(picture.size(), QSize(48, 100)); // the resource is there and decodes
    const QImage shown = pic1->grab().toImage();
    // Pale lavender blue at the top, cornflower blue near the bottom (JPEG leaves a margin).
    const auto near = [](QColor c, int r, int g, int b) {
        return qAbs(c.red() - r) <= 12 && qAbs(c.green() - g) <= 12 && qAbs(c.blue() - b) <= 12;
    };
    const QColor top = shown.pixelColor(2 + 24, 2 + 3);
    const QColor bottom = shown.pixelColor(2 + 24, 2 + 95);
    QVERIFY2(near(top, 200, 210, 250), qPrintable(top.name()));
    QVERIFY2(near(bottom, 100, 130, 240), qPrintable(bottom.name()));
    // Raised: the left edge lighter and the right edge darker than the middle.
    const QColor middle = shown.pixelColor(2 + 24, 2 + 50);
    QVERIFY(shown.pixelColor(2 + 0, 2 + 50).lightness() > middle.lightness());
    QVERIFY(shown.pixelColor(2 + 47, 2 + 50).lightness() < middle.lightness());
}

void TestFrmAbout::etchedRuleReachesTheRightEdge()
{
    frmAbout about;
    for (const char *name : {"Line1(0)", "Line1(1)"}) {
        QVERIFY2(about.findChild<QFrame *>(QLatin1String(name)), name);
    }
    const QImage image = about.grab().toImage();
    const QColor grey(128, 128, 128);
    const QColor white(255, 255, 255);
    const int right = about.width() - 1;
    // Grey one pixel high at row 163 from x 6, white two pixels high from x 7 one row lower.
    for (int x : {6, 100, right}) {
        QCOMPARE(image.pixelColor(x, 163), grey);
    }
    for (int x : {7, 100, right}) {
        QCOMPARE(image.pixelColor(x, 164), white);
        QCOMPARE(image.pixelColor(x, 165), white);
    }
    const QColor background = image.pixelColor(2, 150);
    QCOMPARE(image.pixelColor(5, 163), background);
    QCOMPARE(image.pixelColor(6, 164), background);
    QCOMPARE(image.pixelColor(100, 162), background);
    QCOMPARE(image.pixelColor(100, 166), background);
}

void TestFrmAbout::okHoldsTheFocusAndTabReachesThePicture()
{
    const auto main = mainWindowAt({100, 100, 378, 240});
    QVERIFY(main);
    frmAbout *about = frmAbout::showBeside(*main);
    QVERIFY(QTest::qWaitForWindowActive(about));

    auto *cmdOK = about->findChild<QPushButton *>(QStringLiteral("cmdOK"));
    QVERIFY(cmdOK);
    QCOMPARE(cmdOK->text(), QStringLiteral("OK"));
    QCOMPARE(cmdOK->geometry(), QRect(176, 176, 92, 23));
    QVERIFY(cmdOK->isDefault());
    QCOMPARE(QApplication::focusWidget(), cmdOK);

    // Tab order: cmdOK, then the picture box, then round again; the labels are skipped.
    QTest::keyClick(about, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("pic1"));
    QTest::keyClick(about, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), cmdOK);
}

void TestFrmAbout::placedAgainstTheMainWindow_data()
{
    QTest::addColumn<QRect>("outer");
    // The main window's wide and narrow layouts, and one standing at the screen's right edge.
    QTest::newRow("wide") << QRect(100, 285, 384, 260); // the offscreen screen is 800 pixels wide
    QTest::newRow("narrow") << QRect(248, 285, 192, 260);
    QTest::newRow("odd width") << QRect(31, 17, 191, 260);
    QTest::newRow("at the right edge of the screen") << QRect(0, 40, 0, 260);
}

void TestFrmAbout::placedAgainstTheMainWindow()
{
    QFETCH(QRect, outer);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const bool atTheEdge = outer.width() == 0;
    if (atTheEdge) {
        // Flush with the screen's right edge: beside it, the About window would leave the screen.
        outer = QRect(screen.right() + 1 - 384, outer.top(), 384, outer.height());
    }
    const auto main = mainWindowAt(outer);
    QVERIFY(main);
    QCOMPARE(main->frameGeometry().width(), outer.width());

    frmAbout *about = frmAbout::showBeside(*main);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QVERIFY(about->isVisible());
    const QRect mainOuter = main->frameGeometry();
    // Moved back onto the screen by the least amount: its right edge on the screen's.
    const int left =
        atTheEdge ? screen.right() + 1 - about->frameGeometry().width() : mainOuter.left() + mainOuter.width();
    QCOMPARE(about->frameGeometry().topLeft(), QPoint(left, mainOuter.top()));
    QCOMPARE(aboutWindowCount(), 1);
}

void TestFrmAbout::secondCommandMovesItBackWithoutASecondWindow()
{
    const auto main = mainWindowAt({200, 150, 384, 260});
    QVERIFY(main);
    QPointer<frmAbout> first = frmAbout::showBeside(*main);
    QVERIFY(QTest::qWaitForWindowExposed(first));
    const QPoint beside = first->frameGeometry().topLeft();

    // The user drags it away (and the main window changes its width meanwhile).
    first->move(20, 30);
    QTRY_COMPARE(first->frameGeometry().topLeft(), QPoint(20, 30));
    main->resize(main->width() / 2, main->height());
    const QRect mainOuter = main->frameGeometry();

    frmAbout *second = frmAbout::showBeside(*main);
    QCOMPARE(second, first.data());
    QCOMPARE(aboutWindowCount(), 1);
    QVERIFY(second->isVisible());
    const QPoint expected(mainOuter.left() + mainOuter.width(), mainOuter.top());
    QVERIFY(expected != beside);
    QTRY_COMPARE(second->frameGeometry().topLeft(), expected);
}

void TestFrmAbout::doesNotFollowTheMainWindow()
{
    const auto main = mainWindowAt({200, 150, 384, 260});
    QVERIFY(main);
    frmAbout *about = frmAbout::showBeside(*main);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    const QPoint placed = about->frameGeometry().topLeft();

    main->resize(main->width() / 2, main->height());
    main->move(main->pos() + QPoint(40, 25));
    QTRY_COMPARE(main->pos(), QPoint(240, 175));
    QTest::qWait(50);
    QCOMPARE(about->frameGeometry().topLeft(), placed);
}

void TestFrmAbout::closes_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Enter on OK") << "enter";
    QTest::newRow("Return on OK") << "return";
    QTest::newRow("Esc") << "escape";
    QTest::newRow("Enter with the picture focused") << "enter on picture";
    QTest::newRow("OK clicked") << "click";
    QTest::newRow("Space on OK") << "space";
    QTest::newRow("close button of the title bar") << "close";
    QTest::newRow("File, Exit of the main window") << "closeIfOpen";
}

void TestFrmAbout::closes()
{
    QFETCH(QString, how);
    const auto main = mainWindowAt({200, 150, 384, 260});
    QVERIFY(main);
    QPointer<frmAbout> about = frmAbout::showBeside(*main);
    QVERIFY(QTest::qWaitForWindowActive(about));
    auto *cmdOK = about->findChild<QPushButton *>(QStringLiteral("cmdOK"));

    if (how == "enter") {
        QTest::keyClick(about, Qt::Key_Enter);
    } else if (how == "return") {
        QTest::keyClick(about, Qt::Key_Return);
    } else if (how == "escape") {
        QTest::keyClick(about, Qt::Key_Escape);
    } else if (how == "enter on picture") {
        about->findChild<QLabel *>(QStringLiteral("pic1"))->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    } else if (how == "click") {
        QTest::mouseClick(cmdOK, Qt::LeftButton);
    } else if (how == "space") {
        QTest::keyClick(cmdOK, Qt::Key_Space);
    } else if (how == "close") {
        QVERIFY(about->windowHandle()->close());
    } else {
        frmAbout::closeIfOpen();
    }
    // Closing destroys the window; the next command makes a fresh one.
    QVERIFY(isGone(about));
    QCOMPARE(frmAbout::instance(), nullptr);
    QCOMPARE(aboutWindowCount(), 0);
    QVERIFY(main->isVisible());

    QPointer<frmAbout> fresh = frmAbout::showBeside(*main);
    QVERIFY(fresh);
    QVERIFY(QTest::qWaitForWindowExposed(fresh));
    QCOMPARE(aboutWindowCount(), 1);
}

void TestFrmAbout::closeIfOpenWithoutWindowShowsNothing()
{
    frmAbout::closeIfOpen();
    QCOMPARE(frmAbout::instance(), nullptr);
    QCOMPARE(aboutWindowCount(), 0);
}

void TestFrmAbout::supportAddressIgnoresClicks()
{
    UrlRecorder recorder;
    const auto main = mainWindowAt({200, 150, 384, 260});
    QVERIFY(main);
    QPointer<frmAbout> about = frmAbout::showBeside(*main);
    QVERIFY(QTest::qWaitForWindowActive(about));
    auto *Label4 = about->findChild<QLabel *>(QStringLiteral("Label4"));
    QVERIFY(Label4);
    QSignalSpy activated(Label4, &QLabel::linkActivated);
    QSignalSpy hovered(Label4, &QLabel::linkHovered);
    QVERIFY(!Label4->testAttribute(Qt::WA_SetCursor)); // no hand cursor

    QTest::mouseMove(Label4, QPoint(10, 5));
    QTest::mouseClick(Label4, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseDClick(Label4, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::qWait(50);

    QVERIFY(recorder.opened.isEmpty());
    QCOMPARE(activated.count(), 0);
    QCOMPARE(hovered.count(), 0);
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QCOMPARE(Label4->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!Label4->hasSelectedText());
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdOK"));
}

void TestFrmAbout::keepsTheProgramRunningAfterTheMainWindow_data()
{
    QTest::addColumn<bool>("closeAboutAtOnce");
    QTest::newRow("Exit button: About stays, the program waits for it") << false;
    QTest::newRow("File, Exit: both close, the program ends") << true;
}

void TestFrmAbout::keepsTheProgramRunningAfterTheMainWindow()
{
    // The program's lifetime rule runs inside a real event loop: it quits when the last
    // window that counts has closed.
    QFETCH(bool, closeAboutAtOnce);
    const auto main = mainWindowAt({200, 150, 384, 260});
    QVERIFY(main);
    QPointer<frmAbout> about = frmAbout::showBeside(*main);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QVERIFY(about->testAttribute(Qt::WA_QuitOnClose));

    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    bool runningWithAboutAlone = false;
    QTimer::singleShot(0, main.get(), [&] {
        main->close();
        if (closeAboutAtOnce) {
            frmAbout::closeIfOpen();
        }
    });
    QTimer::singleShot(300, qApp, [&] {
        runningWithAboutAlone = about && about->isVisible() && !main->isVisible();
        frmAbout::closeIfOpen();
    });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(2); }); // watchdog
    QElapsedTimer elapsed;
    elapsed.start();
    const int code = QApplication::exec();

    QCOMPARE(code, 0);
    QCOMPARE(lastClosed.count(), 1);
    if (closeAboutAtOnce) {
        QVERIFY(elapsed.elapsed() < 250); // quit before the later timer
    } else {
        QVERIFY(runningWithAboutAlone);
        QVERIFY(elapsed.elapsed() >= 300);
    }
    QVERIFY(isGone(about));
}

void TestFrmAbout::x11WindowHints()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        QSKIP("needs an X server (run under xvfb-run with -platform xcb)");
    }
    const auto main = mainWindowAt({100, 100, 384, 260});
    QVERIFY(main);
    frmAbout *about = frmAbout::showBeside(*main);
    QVERIFY(QTest::qWaitForWindowExposed(about));

    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(about->winId())});
    QVERIFY(xprop.waitForFinished(5000));
    const QString props = QString::fromUtf8(xprop.readAllStandardOutput());
    // A dialog with a normal dialog frame and a title.
    QVERIFY2(props.contains(QLatin1String("_NET_WM_WINDOW_TYPE_DIALOG")), qPrintable(props));
    // Transient for the group leader, not for the main window: no owner to follow.
    const auto windowProperty = [&props](const char *name) {
        const QRegularExpression line(QLatin1String(name) + QLatin1String(R"(\(WINDOW\): window id # (0x[0-9a-f]+))"));
        return line.match(props).captured(1);
    };
    const QString transientFor = windowProperty("WM_TRANSIENT_FOR");
    QVERIFY2(!transientFor.isEmpty(), qPrintable(props));
    QCOMPARE(transientFor, windowProperty("WM_CLIENT_LEADER"));
    QVERIFY(transientFor.toULongLong(nullptr, 16) != main->winId());
    // The position given is that of the outer frame.
    QVERIFY2(props.contains(QLatin1String("window gravity: NorthWest")), qPrintable(props));
    // Fixed size: the window manager offers no resizing.
    QVERIFY2(props.contains(QLatin1String("program specified minimum size: 273 by 204")), qPrintable(props));
    QVERIFY2(props.contains(QLatin1String("program specified maximum size: 273 by 204")), qPrintable(props));
    // No task-bar button of its own.
    QVERIFY2(props.contains(QLatin1String("_NET_WM_STATE(ATOM) = _NET_WM_STATE_SKIP_TASKBAR")), qPrintable(props));
    // No icon of its own.
    QVERIFY2(!props.contains(QLatin1String("_NET_WM_ICON(CARDINAL)")), qPrintable(props));
}

QTEST_MAIN(TestFrmAbout)
#include "test_frmabout.moc"
