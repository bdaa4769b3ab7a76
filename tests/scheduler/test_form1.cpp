// The scheduler window as a user meets it: found by the controls' names, driven with
// clicks and keys, with a clock the test moves by hand and a recorder for the power
// requests behind it.

#include "fakes.h"
#include "form1.h"
#include "frmabout.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>

using quietwatch::Form1;
using quietwatch::frmAbout;
using quietwatch::LocalDateTime;
using quietwatch::testing::at;
using quietwatch::testing::FakeClock;
using quietwatch::testing::RecordingRequests;

namespace {

constexpr int px(int twips)
{
    return (twips * 2 + 15) / 30;
}

QString textOf(const QWidget *w)
{
    if (const auto *l = qobject_cast<const QLabel *>(w)) {
        return l->text();
    }
    if (const auto *b = qobject_cast<const QAbstractButton *>(w)) {
        return b->text();
    }
    if (const auto *g = qobject_cast<const QGroupBox *>(w)) {
        return g->title();
    }
    if (const auto *e = qobject_cast<const QLineEdit *>(w)) {
        return e->text();
    }
    return QStringLiteral("<no text: %1>").arg(QString::fromLatin1(w->metaObject()->className()));
}

// The windows that keep the program running (menus and tool tips do not).
int openWindows()
{
    int count = 0;
    for (const QWidget *w : QApplication::topLevelWidgets()) {
        count += w->isVisible() && w->windowType() != Qt::Popup && w->windowType() != Qt::ToolTip;
    }
    return count;
}

QStringList entriesOf(const QComboBox *list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) {
        entries << list->itemText(i);
    }
    return entries;
}

QStringList numbers(int count, bool twoDigits)
{
    QStringList entries;
    for (int i = 0; i < count; ++i) {
        entries << QStringLiteral("%1").arg(i, twoDigits ? 2 : 1, 10, QLatin1Char('0'));
    }
    return entries;
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void captionsAndInitialTexts_data();
    void captionsAndInitialTexts();
    void controlsStandWhereDrawn_data();
    void controlsStandWhereDrawn();
    void labelsSizeThemselvesToTheirText();
    void windowFrameSizeAndPlace();
    void fonts();
    void icon();
    void kindsOfControls();

    void listsAreFilledAtLoad_data();
    void listsAreFilledAtLoad();
    void setClearRestore_data();
    void setClearRestore();
    void restoreHasNoAccessKey();
    void noDefaultOrCancelButton();
    void tabOrder_data();
    void tabOrder();

    void toggle_data();
    void toggle();
    void toggleTwiceGivesBackTheWideLayout();
    void narrowLayoutHidesTheSettingsAndTheirKeys();

    void targetFiresThroughTheWindowsTimer_data();
    void targetFiresThroughTheWindowsTimer();

    void menus();
    void menuItemsReachThePowerLayer_data();
    void menuItemsReachThePowerLayer();
    void closingDestroysTheWindowOnly_data();
    void closingDestroysTheWindowOnly();
    void fileExitClosesTheAboutWindowToo_data();
    void fileExitClosesTheAboutWindowToo();

private:
    // Opens a new window on the test's clock and power recorder, and makes it active.
    Form1 *open();
    template <typename T> T *child(const char *name) const
    {
        return m_window ? m_window->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    }

    FakeClock m_clock;
    RecordingRequests m_power;
    QPointer<Form1> m_window;
};

Form1 *TestForm1::open()
{
    m_window = new Form1(m_clock, m_power);
    m_window->show();
    if (!QTest::qWaitForWindowActive(m_window)) {
        return nullptr;
    }
    return m_window;
}

void TestForm1::init()
{
    m_clock = FakeClock(at(2026, 12, 7, 12, 0, 0));
    m_power.calls.clear();
    QVERIFY(open());
}

void TestForm1::cleanup()
{
    m_power.onRequest = nullptr;
    delete m_window.data();
    frmAbout::closeIfOpen();
    QTRY_VERIFY(!frmAbout::instance());
}

void TestForm1::captionsAndInitialTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    QTest::newRow("f2") << "f2" << QStringLiteral("設定");
    QTest::newRow("comWide") << "comWide" << QStringLiteral("<<");
    QTest::newRow("comC") << "comC" << QStringLiteral("クリア(&C)");
    QTest::newRow("Frame1") << "Frame1" << QStringLiteral("日時指定");
    QTest::newRow("com1") << "com1" << QStringLiteral("終了(&X)");
    QTest::newRow("Label6") << "Label6" << QStringLiteral("時刻：");
    QTest::newRow("Label5") << "Label5" << QStringLiteral("日時：");
    QTest::newRow("l2") << "l2" << QStringLiteral("時刻");
    QTest::newRow("l1") << "l1" << QStringLiteral("00:00:00");
    QTest::newRow("txt2") << "txt2" << QStringLiteral("未設定");
    QTest::newRow("txt1") << "txt1" << QStringLiteral("未設定");
    QTest::newRow("l3") << "l3" << QStringLiteral("行動\u3000\uff1a");
    QTest::newRow("Label2") << "Label2" << QStringLiteral("時刻");
    QTest::newRow("Label1") << "Label1" << QStringLiteral("日時");
    QTest::newRow("op1(1)") << "op1(1)" << QStringLiteral("再起動");
    QTest::newRow("op1(0)") << "op1(0)" << QStringLiteral("シャットダウン");
    QTest::newRow("comRe") << "comRe" << QStringLiteral("元に戻す(D)");
    QTest::newRow("comD") << "comD" << QStringLiteral("決定(&H)");
    QTest::newRow("Label4") << "Label4" << QStringLiteral("時間指定");
    QTest::newRow("Label3") << "Label3" << QStringLiteral("日時指定");
}

void TestForm1::captionsAndInitialTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    // Before the first tick: the clock labels still show their design texts.
    const auto *w = m_window->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(textOf(w), text);
    QVERIFY(w->isVisible());
    QVERIFY(w->isEnabled());
    QVERIFY(w->toolTip().isEmpty());
}

void TestForm1::controlsStandWhereDrawn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("twips");

    QTest::newRow("f2") << "f2"
                        << "client" << QRect(2640, 120, 3015, 2895);
    QTest::newRow("comWide") << "comWide"
                             << "client" << QRect(2160, 240, 375, 375);
    QTest::newRow("comC") << "comC"
                          << "client" << QRect(120, 2640, 1095, 375);
    QTest::newRow("Frame1") << "Frame1"
                            << "client" << QRect(120, 720, 2415, 1815);
    QTest::newRow("com1") << "com1"
                          << "client" << QRect(1320, 2640, 1215, 375);
    QTest::newRow("txt2") << "txt2"
                          << "Frame1" << QRect(720, 840, 1455, 270);
    QTest::newRow("txt1") << "txt1"
                          << "Frame1" << QRect(720, 240, 1455, 270);
    QTest::newRow("cmTime(2)") << "cmTime(2)"
                               << "f2" << QRect(1920, 1800, 975, 300);
    QTest::newRow("cmTime(1)") << "cmTime(1)"
                               << "f2" << QRect(960, 1800, 855, 300);
    QTest::newRow("cmTime(0)") << "cmTime(0)"
                               << "f2" << QRect(120, 1800, 735, 300);
    QTest::newRow("comRe") << "comRe"
                           << "f2" << QRect(1680, 2400, 1215, 375);
    QTest::newRow("comD") << "comD"
                          << "f2" << QRect(120, 2400, 1455, 375);
    QTest::newRow("cmDate") << "cmDate"
                            << "f2" << QRect(120, 720, 1335, 300);
    // Option buttons keep their left edge, width and centre line; they may be drawn taller.
    QTest::newRow("op1(1)") << "op1(1)"
                            << "f2" << QRect(1560, 960, 855, 180);
    QTest::newRow("op1(0)") << "op1(0)"
                            << "f2" << QRect(1560, 720, 1360, 180);
    // Labels: only their top-left corner is fixed.
    QTest::newRow("Label6") << "Label6"
                            << "client" << QRect(240, 390, 0, 0);
    QTest::newRow("Label5") << "Label5"
                            << "client" << QRect(240, 140, 0, 0);
    QTest::newRow("l2") << "l2"
                        << "client" << QRect(720, 120, 0, 0);
    QTest::newRow("l1") << "l1"
                        << "client" << QRect(720, 360, 0, 0);
    QTest::newRow("l3") << "l3"
                        << "Frame1" << QRect(240, 1440, 0, 0);
    QTest::newRow("Label2") << "Label2"
                            << "Frame1" << QRect(240, 915, 0, 0);
    QTest::newRow("Label1") << "Label1"
                            << "Frame1" << QRect(240, 315, 0, 0);
    QTest::newRow("Label4") << "Label4"
                            << "f2" << QRect(120, 1440, 0, 0);
    QTest::newRow("Label3") << "Label3"
                            << "f2" << QRect(120, 360, 0, 0);
}

void TestForm1::controlsStandWhereDrawn()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, twips);
    const auto *w = m_window->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget()->objectName(), parent);
    const QRect expected(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height()));
    if (twips.width() == 0) {
        QCOMPARE(w->pos(), expected.topLeft());
    } else if (qobject_cast<const QRadioButton *>(w)) {
        QCOMPARE(w->x(), expected.x());
        QCOMPARE(w->width(), expected.width());
        QVERIFY(qAbs(w->geometry().center().y() - expected.center().y()) <= 1);
        QVERIFY(w->height() >= expected.height());
    } else {
        QCOMPARE(w->geometry(), expected);
    }
}

void TestForm1::labelsSizeThemselvesToTheirText()
{
    const QList<QLabel *> labels = m_window->findChildren<QLabel *>();
    QCOMPARE(labels.size(), 9);
    for (const QLabel *l : labels) {
        QVERIFY2(l->size() == l->sizeHint(), qPrintable(l->objectName()));
    }
    // The clock labels grow to the right when the first tick writes the date and time.
    auto *l2 = child<QLabel>("l2");
    const QPoint topLeft = l2->pos();
    const int designWidth = l2->width();
    QTRY_COMPARE(l2->text(), QStringLiteral("2026/12/07"));
    QCOMPARE(l2->pos(), topLeft);
    QVERIFY(l2->width() > designWidth);
    QCOMPARE(l2->size(), l2->sizeHint());
    QTRY_COMPARE(child<QLabel>("l1")->size(), child<QLabel>("l1")->sizeHint());
}

void TestForm1::windowFrameSizeAndPlace()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("Form1"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Quietwatch"));
    const QWidget *client = m_window->centralWidget();
    // The client area below the menu bar, and its fixed place on the screen.
    QCOMPARE(client->size(), QSize(378, 207));
    QCOMPARE(client->mapToGlobal(QPoint(0, 0)), QPoint(248, 285));
    QCOMPARE(m_window->menuBar()->geometry().bottom() + 1, client->y());
    // Fixed size: the user cannot resize it; minimize yes, maximize no.
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QCOMPARE(m_window->size(), m_window->minimumSize());
    const Qt::WindowFlags flags = m_window->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(m_window->testAttribute(Qt::WA_DeleteOnClose));
    // The window opens with the focus on the Exit button.
    QCOMPARE(QApplication::focusWidget(), child<QPushButton>("com1"));
}

void TestForm1::fonts()
{
    const QFontInfo date(child<QLabel>("l2")->font());
    QVERIFY2(QStringList({"ＭＳ Ｐゴシック", "MS PGothic", "IPAPGothic", "IPA Pゴシック"}).contains(date.family()),
             qPrintable(date.family()));
    // Asked for by the name the installed face has in this locale: Qt finds it without sorting fallbacks.
    QVERIFY2(QFontDatabase::families().contains(child<QLabel>("l2")->font().family()),
             qPrintable(child<QLabel>("l2")->font().family()));
    QCOMPARE(child<QLabel>("l2")->font().pointSizeF(), 9.75);
    const QFontInfo time(child<QLabel>("l1")->font());
    QVERIFY2(QStringList({"ＭＳ ゴシック", "MS Gothic", "IPAGothic", "IPAゴシック"}).contains(time.family()),
             qPrintable(time.family()));
    QCOMPARE(child<QLabel>("l1")->font().pointSizeF(), 11.25);
    QCOMPARE(child<QLabel>("l1")->font().weight(), QFont::Normal);

    // Everything else: the window's 9-point face, one that has the Japanese glyphs itself.
    for (const char *name : {"comD", "comRe", "txt1", "l3", "Label5", "cmDate", "op1(0)", "f2"}) {
        const auto *w = child<QWidget>(name);
        QCOMPARE(w->font().pointSizeF(), 9.0);
        QVERIFY2(QFontMetrics(w->font()).inFontUcs4(U'設'), name);
    }
    QCOMPARE(child<QMenu>("mnuFile")->font().pointSizeF(), 9.0);
}

void TestForm1::icon()
{
    const QIcon icon = m_window->windowIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(32, 32)});

    const QImage image(QStringLiteral(":/quietwatch/quietwatch.png"));
    QCOMPARE(image.size(), QSize(32, 32));
    QVERIFY(!image.hasAlphaChannel());
    // A near-white ground around a mostly grey picture.
    for (const QPoint corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)}) {
        const QColor c = image.pixelColor(corner);
        QVERIFY(c.red() >= 235 && c.green() >= 235 && c.blue() >= 235);
    }
    int drawn = 0;
    int grey = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c == image.pixelColor(0, 0)) {
                continue;
            }
            ++drawn;
            grey += qMax(qMax(c.red(), c.green()), c.blue()) - qMin(qMin(c.red(), c.green()), c.blue()) <= 12;
        }
    }
    QVERIFY(drawn > 400);
    QVERIFY2(grey * 3 > drawn * 2, qPrintable(QStringLiteral("%1 of %2 grey").arg(grey).arg(drawn)));
}

void TestForm1::kindsOfControls()
{
    for (const char *name : {"txt1", "txt2"}) {
        const auto *box = child<QLineEdit>(name);
        QVERIFY2(box, name);
        QVERIFY(box->isReadOnly());
        QVERIFY(box->focusPolicy() & Qt::TabFocus);
    }
    // The user can select and copy a target, but not type over it.
    auto *txt1 = child<QLineEdit>("txt1");
    txt1->setFocus();
    QTest::keyClicks(txt1, QStringLiteral("99"));
    QCOMPARE(txt1->text(), QStringLiteral("未設定"));
    txt1->selectAll();
    QCOMPARE(txt1->selectedText(), QStringLiteral("未設定"));

    const QList<QComboBox *> lists = m_window->findChildren<QComboBox *>();
    QCOMPARE(lists.size(), 4);
    for (const QComboBox *list : lists) {
        QVERIFY2(!list->isEditable(), qPrintable(list->objectName()));
    }
    QCOMPARE(m_window->findChildren<QRadioButton *>().size(), 2);
    auto *restart = child<QRadioButton>("op1(1)");
    QTest::mouseClick(restart, Qt::LeftButton);
    QVERIFY(restart->isChecked());
    QVERIFY(!child<QRadioButton>("op1(0)")->isChecked());
    QCOMPARE(child<QGroupBox>("f2")->focusPolicy(), Qt::NoFocus);
    QCOMPARE(child<QGroupBox>("Frame1")->focusPolicy(), Qt::NoFocus);
    const auto *timer = m_window->findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 500);
}

void TestForm1::listsAreFilledAtLoad_data()
{
    QTest::addColumn<LocalDateTime>("start");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("contains");
    QTest::addColumn<QString>("last");

    QTest::newRow("year end") << at(2026, 12, 20, 23, 59, 59) << "2026/12/20"
                              << "2027/01/01"
                              << "2027/01/04";
    QTest::newRow("leap February") << at(2028, 2, 20) << "2028/02/20"
                                   << "2028/02/29"
                                   << "2028/03/06";
}

void TestForm1::listsAreFilledAtLoad()
{
    QFETCH(LocalDateTime, start);
    QFETCH(QString, first);
    QFETCH(QString, contains);
    QFETCH(QString, last);

    delete m_window.data();
    m_clock.current = start;
    QVERIFY(open());

    const QStringList dates = entriesOf(child<QComboBox>("cmDate"));
    QCOMPARE(dates.size(), 16);
    QCOMPARE(dates.first(), first);
    QVERIFY(dates.contains(contains));
    QCOMPARE(dates.last(), last);
    QCOMPARE(entriesOf(child<QComboBox>("cmTime(0)")), numbers(24, false));
    QCOMPARE(entriesOf(child<QComboBox>("cmTime(1)")), numbers(60, true));
    QCOMPARE(entriesOf(child<QComboBox>("cmTime(2)")), numbers(60, true));
    for (const char *name : {"cmDate", "cmTime(0)", "cmTime(1)", "cmTime(2)"}) {
        QCOMPARE(child<QComboBox>(name)->currentIndex(), 0);
    }
    QCOMPARE(child<QComboBox>("cmTime(0)")->currentText(), QStringLiteral("0"));
}

void TestForm1::setClearRestore_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("clicks") << false;
    QTest::newRow("access keys Alt+H, Alt+C") << true;
}

void TestForm1::setClearRestore()
{
    QFETCH(bool, byKey);
    auto *comD = child<QPushButton>("comD");
    auto *comC = child<QPushButton>("comC");
    auto *txt1 = child<QLineEdit>("txt1");
    auto *txt2 = child<QLineEdit>("txt2");
    auto *l3 = child<QLabel>("l3");
    auto *cmDate = child<QComboBox>("cmDate");
    const std::array<QComboBox *, 3> cmTime{child<QComboBox>("cmTime(0)"), child<QComboBox>("cmTime(1)"),
                                            child<QComboBox>("cmTime(2)")};
    const auto press = [&](QPushButton *button, Qt::Key key) {
        if (byKey) {
            // An access key presses the button and lets it go a moment later.
            QTest::keyClick(m_window, key, Qt::AltModifier);
            QVERIFY(button->isDown());
            QTRY_VERIFY(!button->isDown());
        } else {
            QTest::mouseClick(button, Qt::LeftButton);
        }
    };
    const QString shutDownLine = QStringLiteral("行動 : シャットダウン ");
    const QString restartLine = QStringLiteral("行動 \uff1a 再起動");

    // Set with the first entries: today, 0:00:00.
    press(comD, Qt::Key_H);
    QCOMPARE(txt1->text(), QStringLiteral("2026/12/07"));
    QCOMPARE(txt2->text(), QStringLiteral("0:00:00"));
    QCOMPARE(l3->text(), shutDownLine);
    QCOMPARE(l3->size(), l3->sizeHint());

    cmDate->setCurrentIndex(3);
    cmTime[0]->setCurrentIndex(21);
    cmTime[1]->setCurrentIndex(30);
    cmTime[2]->setCurrentIndex(15);
    QTest::mouseClick(child<QRadioButton>("op1(1)"), Qt::LeftButton);
    press(comD, Qt::Key_H);
    QCOMPARE(txt1->text(), QStringLiteral("2026/12/10"));
    QCOMPARE(txt2->text(), QStringLiteral("21:30:15"));
    QCOMPARE(l3->text(), restartLine);
    QCOMPARE(l3->size(), l3->sizeHint());

    // Restore puts the lists back on their first entries and touches nothing else.
    QTest::mouseClick(child<QPushButton>("comRe"), Qt::LeftButton);
    QCOMPARE(cmDate->currentIndex(), 0);
    for (const QComboBox *list : cmTime) {
        QCOMPARE(list->currentIndex(), 0);
    }
    QCOMPARE(txt2->text(), QStringLiteral("21:30:15"));
    QCOMPARE(l3->text(), restartLine);
    QVERIFY(child<QRadioButton>("op1(1)")->isChecked());

    // Clear empties both boxes; the action line and the lists stay.
    cmTime[0]->setCurrentIndex(5);
    press(comC, Qt::Key_C);
    QCOMPARE(txt1->text(), QString());
    QCOMPARE(txt2->text(), QString());
    QCOMPARE(l3->text(), restartLine);
    QCOMPARE(cmTime[0]->currentIndex(), 5);
    QVERIFY(m_power.calls.empty());
}

void TestForm1::restoreHasNoAccessKey()
{
    auto *comRe = child<QPushButton>("comRe");
    QVERIFY(comRe->shortcut().isEmpty());
    auto *cmDate = child<QComboBox>("cmDate");
    auto *hour = child<QComboBox>("cmTime(0)");
    cmDate->setCurrentIndex(2);
    hour->setCurrentIndex(7);
    QTest::mouseClick(child<QPushButton>("comD"), Qt::LeftButton);

    for (const auto modifiers : {Qt::AltModifier, Qt::NoModifier}) {
        child<QPushButton>("com1")->setFocus();
        QTest::keyClick(m_window, Qt::Key_D, modifiers);
        QVERIFY(!comRe->isDown());
        QTest::qWait(250); // longer than an access key's press
        QCOMPARE(cmDate->currentIndex(), 2);
        QCOMPARE(hour->currentIndex(), 7);
    }
    QCOMPARE(child<QLineEdit>("txt2")->text(), QStringLiteral("7:00:00"));
    QVERIFY(m_window->isVisible());
}

void TestForm1::noDefaultOrCancelButton()
{
    for (const QPushButton *button : m_window->findChildren<QPushButton *>()) {
        QVERIFY2(!button->isDefault() && !button->autoDefault(), qPrintable(button->objectName()));
    }
    // Enter and Esc on a control that does not take them themselves: nothing happens.
    child<QLineEdit>("txt1")->setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(child<QLineEdit>("txt1"), key);
    }
    QCOMPARE(child<QLineEdit>("txt1")->text(), QStringLiteral("未設定"));
    QCOMPARE(child<QLabel>("l3")->text(), QStringLiteral("行動\u3000\uff1a"));
    QVERIFY(m_window && m_window->isVisible());
}

void TestForm1::tabOrder_data()
{
    QTest::addColumn<bool>("narrow");
    QTest::addColumn<QStringList>("stops");

    QTest::newRow("wide") << false
                          << QStringList{"com1",  "txt1",      "txt2",      "comC",      "comWide", "cmDate", "comD",
                                         "comRe", "cmTime(0)", "cmTime(1)", "cmTime(2)", "op1(0)",  "com1"};
    QTest::newRow("narrow: f2 hidden") << true << QStringList{"com1", "txt1", "txt2", "comC", "comWide", "com1"};
}

void TestForm1::tabOrder()
{
    QFETCH(bool, narrow);
    QFETCH(QStringList, stops);
    if (narrow) {
        QTest::mouseClick(child<QPushButton>("comWide"), Qt::LeftButton);
    }
    child<QPushButton>("com1")->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < stops.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, stops);

    // Backwards the same way.
    QStringList back{visited.last()};
    for (int i = 1; i < stops.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        back.prepend(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(back, stops);
}

void TestForm1::toggle_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("widens");

    QTest::newRow(">>") << ">>" << true;
    QTest::newRow("<<") << "<<" << false;
}

void TestForm1::toggle()
{
    QFETCH(QString, caption);
    QFETCH(bool, widens);
    auto *comWide = child<QPushButton>("comWide");
    comWide->setText(caption);
    const QRect before = m_window->frameGeometry();

    QTest::mouseClick(comWide, Qt::LeftButton);

    const QRect after = m_window->frameGeometry();
    QCOMPARE(comWide->text(), widens ? QStringLiteral("<<") : QStringLiteral(">>"));
    QCOMPARE(after.width(), widens ? before.width() * 2 : before.width() / 2);
    QCOMPARE(after.height(), before.height());
    QCOMPARE(after.topLeft(), before.topLeft());
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QCOMPARE(child<QGroupBox>("f2")->isVisible(), widens);
}

void TestForm1::toggleTwiceGivesBackTheWideLayout()
{
    auto *comWide = child<QPushButton>("comWide");
    const int wide = m_window->frameGeometry().width();
    QTest::mouseClick(comWide, Qt::LeftButton);
    const int narrow = m_window->frameGeometry().width();
    QCOMPARE(narrow, wide / 2);
    QTest::mouseClick(comWide, Qt::LeftButton);
    QCOMPARE(m_window->frameGeometry().width(), 2 * narrow);
    QCOMPARE(m_window->width(), 378);
    QCOMPARE(comWide->text(), QStringLiteral("<<"));
    QVERIFY(child<QGroupBox>("f2")->isVisible());
    QCOMPARE(m_window->centralWidget()->size(), QSize(378, 207));
}

void TestForm1::narrowLayoutHidesTheSettingsAndTheirKeys()
{
    QTest::mouseClick(child<QPushButton>("comWide"), Qt::LeftButton);
    // The left column stays whole and usable.
    for (const char *name : {"Label5", "l2", "Label6", "l1", "comWide", "Frame1", "comC", "com1"}) {
        const auto *w = child<QWidget>(name);
        QVERIFY2(w->isVisible(), name);
        QVERIFY2(w->geometry().right() < m_window->width(), name);
    }
    for (const char *name : {"cmDate", "cmTime(0)", "op1(0)", "op1(1)", "comD", "comRe"}) {
        QVERIFY2(!child<QWidget>(name)->isVisible(), name);
    }
    // Set cannot be reached by its key while hidden; Clear still can.
    QTest::keyClick(m_window, Qt::Key_H, Qt::AltModifier);
    QTest::qWait(250);
    QCOMPARE(child<QLineEdit>("txt1")->text(), QStringLiteral("未設定"));
    QTest::keyClick(m_window, Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(child<QLineEdit>("txt1")->text(), QString());
}

void TestForm1::targetFiresThroughTheWindowsTimer_data()
{
    QTest::addColumn<bool>("narrow");
    QTest::newRow("wide") << false;
    QTest::newRow("narrow") << true;
}

void TestForm1::targetFiresThroughTheWindowsTimer()
{
    QFETCH(bool, narrow);
    // The clock stands at the target's second from the start, before anything is set.
    m_clock.current = at(2026, 12, 7, 0, 0, 0);
    QTRY_COMPARE(child<QLabel>("l1")->text(), QStringLiteral("0:00:00"));
    QCOMPARE(child<QLabel>("l2")->text(), QStringLiteral("2026/12/07"));
    QVERIFY(m_power.calls.empty()); // "未設定" equals no clock text

    QTest::mouseClick(child<QPushButton>("comD"), Qt::LeftButton); // today 0:00:00
    if (narrow) {
        QTest::mouseClick(child<QPushButton>("comWide"), Qt::LeftButton);
        QVERIFY(!child<QRadioButton>("op1(0)")->isVisible());
    }
    QTRY_VERIFY(!m_power.calls.empty());
    QVERIFY(std::ranges::all_of(m_power.calls, [](const std::string &c) { return c == "ShutNow"; }));

    // The action is read from the option buttons at the match, not from the last Set.
    child<QRadioButton>("op1(1)")->setChecked(true);
    m_power.calls.clear();
    QTRY_VERIFY(!m_power.calls.empty());
    QVERIFY(std::ranges::all_of(m_power.calls, [](const std::string &c) { return c == "RebootNow"; }));
    QCOMPARE(child<QLabel>("l3")->text(), QStringLiteral("行動 : シャットダウン "));

    // Once the second has passed, nothing fires.
    m_clock.current = at(2026, 12, 7, 0, 0, 1);
    QTRY_COMPARE(child<QLabel>("l1")->text(), QStringLiteral("0:00:01"));
    m_power.calls.clear();
    QTest::qWait(600);
    QVERIFY(m_power.calls.empty());

    // The clock set back, then reaching the target while the window watches: the clock
    // already shows the target's second when the request goes out.
    m_clock.current = at(2026, 12, 6, 23, 59, 59);
    QTRY_COMPARE(child<QLabel>("l1")->text(), QStringLiteral("23:59:59"));
    QStringList shownAtRequest;
    m_power.onRequest = [&] { shownAtRequest << child<QLabel>("l2")->text() + u' ' + child<QLabel>("l1")->text(); };
    m_clock.current = at(2026, 12, 7, 0, 0, 0);
    QTRY_VERIFY(!shownAtRequest.isEmpty());
    QCOMPARE(shownAtRequest.first(), QStringLiteral("2026/12/07 0:00:00"));
}

void TestForm1::menus()
{
    auto *bar = m_window->menuBar();
    const QList<QAction *> top = bar->actions();
    QCOMPARE(top.size(), 2);
    QCOMPARE(top.at(0)->text(), QStringLiteral("ファイル(&F)"));
    QCOMPARE(top.at(0)->menu(), child<QMenu>("mnuFile"));
    QCOMPARE(top.at(1)->text(), QStringLiteral("情報(&I)"));
    QCOMPARE(top.at(1)->menu(), child<QMenu>("mnuInfomation"));

    QStringList file;
    for (const QAction *a : child<QMenu>("mnuFile")->actions()) {
        file << a->objectName() + (a->isSeparator() ? QStringLiteral(" -") : QStringLiteral(" ") + a->text());
        QVERIFY(a->shortcut().isEmpty());
    }
    QCOMPARE(file, QStringList({"mnuFileShutNow 今すぐシャットダウンする(&S)", "mnuFileRebootNow 今すぐ再起動する(&R)",
                                "mnuLine1 -", "mnuFileExit 終了(&X)"}));
    const QList<QAction *> info = child<QMenu>("mnuInfomation")->actions();
    QCOMPARE(info.size(), 1);
    QCOMPARE(info.at(0)->objectName(), QStringLiteral("mnuInfomationVersion"));
    QCOMPARE(info.at(0)->text(), QStringLiteral("バージョン情報(&V)"));
}

void TestForm1::menuItemsReachThePowerLayer_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<std::string>("call");
    QTest::newRow("Alt+F, S: shut down now") << Qt::Key_S << std::string("ShutNow");
    QTest::newRow("Alt+F, R: restart now") << Qt::Key_R << std::string("RebootNow");
}

void TestForm1::menuItemsReachThePowerLayer()
{
    QFETCH(Qt::Key, key);
    QFETCH(std::string, call);
    // A target is set, for another time: it is neither used nor cleared.
    child<QComboBox>("cmTime(0)")->setCurrentIndex(9);
    QTest::mouseClick(child<QPushButton>("comD"), Qt::LeftButton);

    QTest::keyClick(m_window, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget() == child<QMenu>("mnuFile"));
    QTest::keyClick(QApplication::activePopupWidget(), key);
    QTRY_VERIFY(!QApplication::activePopupWidget());

    QCOMPARE(m_power.calls, std::vector<std::string>{call}); // at once, no question asked
    QVERIFY(QApplication::topLevelWidgets().size() >= 1);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(child<QLineEdit>("txt2")->text(), QStringLiteral("9:00:00"));
    QVERIFY(m_window->isVisible());
}

void TestForm1::closingDestroysTheWindowOnly_data()
{
    QTest::addColumn<bool>("aboutOpen");
    QTest::addColumn<bool>("byExitButton");
    QTest::newRow("com1") << false << true;
    QTest::newRow("close button") << false << false;
    QTest::newRow("com1, About open") << true << true;
    QTest::newRow("close button, About open") << true << false;
}

void TestForm1::closingDestroysTheWindowOnly()
{
    QFETCH(bool, aboutOpen);
    QFETCH(bool, byExitButton);
    if (aboutOpen) {
        child<QAction>("mnuInfomationVersion")->trigger();
        QVERIFY(frmAbout::instance() && frmAbout::instance()->isVisible());
    }
    QTest::mouseClick(child<QPushButton>("comD"), Qt::LeftButton);
    m_clock.current = at(2026, 12, 7, 0, 0, 0); // the target's second: it must not fire any more

    QCOMPARE(openWindows(), aboutOpen ? 2 : 1);
    if (byExitButton) {
        QTest::mouseClick(child<QPushButton>("com1"), Qt::LeftButton);
    } else {
        QVERIFY(m_window->close()); // what the title bar's close button asks for
    }
    QTRY_VERIFY(m_window.isNull());
    QTest::qWait(600);
    QVERIFY(m_power.calls.empty());
    // The program ends when no window is open any more.
    QCOMPARE(openWindows(), aboutOpen ? 1 : 0);
    QCOMPARE(frmAbout::instance() != nullptr, aboutOpen);
    if (aboutOpen) {
        QVERIFY(frmAbout::instance()->isVisible());
    }
}

void TestForm1::fileExitClosesTheAboutWindowToo_data()
{
    QTest::addColumn<bool>("aboutOpen");
    QTest::newRow("About open") << true;
    QTest::newRow("About never opened") << false;
}

void TestForm1::fileExitClosesTheAboutWindowToo()
{
    QFETCH(bool, aboutOpen);
    if (aboutOpen) {
        m_window->move(20, 40); // where the About window fits beside it on the 800-pixel offscreen screen
        child<QAction>("mnuInfomationVersion")->trigger();
        QVERIFY(frmAbout::instance());
        // It stands against the main window's right edge.
        QCOMPARE(frmAbout::instance()->frameGeometry().left(), m_window->frameGeometry().right() + 1);
        QCOMPARE(frmAbout::instance()->frameGeometry().top(), m_window->frameGeometry().top());
    }
    child<QAction>("mnuFileExit")->trigger();
    QTRY_VERIFY(m_window.isNull());
    QTRY_VERIFY(!frmAbout::instance());
    QCOMPARE(openWindows(), 0);
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
