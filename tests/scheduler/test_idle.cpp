// What the scheduler window costs while it waits: its clock ticks twice a second and
// nothing else runs. Every timer event and every repaint that reaches the window while it
// idles is counted, so that a stray timer, a polling loop or a repaint of a text that did not
// change shows up here before it shows up in the benchmark.

#include "fakes.h"
#include "form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

using quietwatch::Form1;
using quietwatch::LocalDateTime;
using quietwatch::testing::at;
using quietwatch::testing::FakeClock;
using quietwatch::testing::RecordingRequests;

namespace {

// A clock that runs with real time from 12:00:00 on a fixed day: its second changes once a
// second, and no midnight or change of date can fall into a test.
class RunningClock final : public quietwatch::Clock
{
public:
    RunningClock() { m_elapsed.start(); }
    LocalDateTime now() const override
    {
        const auto seconds = static_cast<int>(m_elapsed.elapsed() / 1000);
        return at(2026, 12, 7, 12, seconds / 60, seconds % 60);
    }
    LocalDateTime localAt(std::chrono::sys_seconds moment) const override { return FakeClock().localAt(moment); }

private:
    QElapsedTimer m_elapsed;
};

// Counts, per object of one window, the timer events and the paint events it receives.
class EventCounter final : public QObject
{
public:
    explicit EventCounter(const QObject *window) : m_window(window) {}

    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if ((event->type() == QEvent::Timer || event->type() == QEvent::Paint) && belongsToWindow(receiver)) {
            auto &counts = event->type() == QEvent::Timer ? timers : paints;
            ++counts[receiver->objectName().isEmpty() ? QString::fromLatin1(receiver->metaObject()->className())
                                                      : receiver->objectName()];
        }
        return false;
    }

    QHash<QString, int> timers;
    QHash<QString, int> paints;

private:
    bool belongsToWindow(const QObject *object) const
    {
        for (; object; object = object->parent()) {
            if (object == m_window) {
                return true;
            }
        }
        return false;
    }

    const QObject *m_window;
};

void idleFor(int milliseconds)
{
    // A plain event loop: it sleeps until an event comes, as the program's own loop does.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

class TestIdle : public QObject
{
    Q_OBJECT

private slots:
    void ticksTwiceASecondAndRepaintsOnlyTheClock();
    void clockLabelsFitEveryText_data();
    void clockLabelsFitEveryText();
};

void TestIdle::ticksTwiceASecondAndRepaintsOnlyTheClock()
{
    RunningClock clock;
    RecordingRequests power;
    const QPointer<Form1> window = new Form1(clock, power);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    // One timer only: the clock's.
    QStringList activeTimers;
    for (const QTimer *timer : window->findChildren<QTimer *>()) {
        if (timer->isActive()) {
            activeTimers << timer->objectName();
        }
    }
    QCOMPARE(activeTimers, QStringList{QStringLiteral("Timer1")});

    idleFor(1200); // the first ticks write the date and size the labels
    EventCounter counter(window);
    qApp->installEventFilter(&counter);
    constexpr int kSeconds = 4;
    idleFor(kSeconds * 1000);
    qApp->removeEventFilter(&counter);

    const int ticks = counter.timers.take(QStringLiteral("Timer1"));
    QVERIFY2(ticks >= 2 * kSeconds - 1 && ticks <= 2 * kSeconds + 1, qPrintable(QString::number(ticks)));
    QVERIFY2(counter.timers.isEmpty(), qPrintable(QStringList(counter.timers.keys()).join(u' ')));

    // The time text changes once a second and is repainted each time; the window and the
    // client area behind it paint the same region. Nothing else is touched: the date, the
    // target boxes and every other control keep their pixels.
    const int clockPaints = counter.paints.take(QStringLiteral("l1"));
    QVERIFY2(clockPaints >= kSeconds - 1 && clockPaints <= kSeconds + 1, qPrintable(QString::number(clockPaints)));
    for (const QString &behind : {QStringLiteral("Form1"), QStringLiteral("client")}) {
        QVERIFY(counter.paints.take(behind) <= clockPaints);
    }
    QVERIFY2(counter.paints.isEmpty(), qPrintable(QStringList(counter.paints.keys()).join(u' ')));
    QVERIFY(power.calls.empty());
    delete window.data();
}

void TestIdle::clockLabelsFitEveryText_data()
{
    QTest::addColumn<LocalDateTime>("before");
    QTest::addColumn<LocalDateTime>("after");

    // Only the digits change: the size may be kept.
    QTest::newRow("next second") << at(2026, 12, 7, 12, 0, 9) << at(2026, 12, 7, 12, 0, 10);
    QTest::newRow("next day, same form") << at(2026, 12, 31, 23, 59, 59) << at(2027, 1, 1, 0, 0, 0);
    // A digit more or less: the label grows or shrinks to the right.
    QTest::newRow("to ten o'clock") << at(2026, 12, 7, 9, 59, 59) << at(2026, 12, 7, 10, 0, 0);
    QTest::newRow("clock set back") << at(2026, 12, 7, 10, 0, 0) << at(2026, 12, 7, 9, 59, 59);
    QTest::newRow("midnight, a digit less") << at(2026, 12, 7, 23, 59, 59) << at(2026, 12, 7, 0, 0, 0);
}

void TestIdle::clockLabelsFitEveryText()
{
    QFETCH(LocalDateTime, before);
    QFETCH(LocalDateTime, after);
    FakeClock clock(before);
    RecordingRequests power;
    Form1 window(clock, power);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *l1 = window.findChild<QLabel *>(QStringLiteral("l1"));
    auto *l2 = window.findChild<QLabel *>(QStringLiteral("l2"));
    QVERIFY(l1 && l2);

    const QString timeBefore = QString::fromStdString(quietwatch::timeText(before));
    QTRY_COMPARE(l1->text(), timeBefore);
    QCOMPARE(l1->size(), l1->sizeHint());
    QCOMPARE(l2->size(), l2->sizeHint());
    const QPoint topLeft = l1->pos();

    clock.current = after;
    QTRY_COMPARE(l1->text(), QString::fromStdString(quietwatch::timeText(after)));
    QTRY_COMPARE(l2->text(), QString::fromStdString(quietwatch::dateText(after.date)));
    QCOMPARE(l1->size(), l1->sizeHint());
    QCOMPARE(l2->size(), l2->sizeHint());
    QCOMPARE(l1->pos(), topLeft);
}

QTEST_MAIN(TestIdle)
#include "test_idle.moc"
