// Power requests that nobody answers must never stop the scheduler window: its clock keeps
// ticking. The real window with the real clock and the real logind backend on the system
// bus, which is one of:
//   silentLogind  a private bus whose logind takes PowerOff and Reboot and never replies;
//   hungBus       a socket that takes connections and never says a word (a hung daemon).
// Qt keeps one system bus connection per process, so each case runs in a process of its own.

#include "form1.h"
#include "logindpowerplatform.h"
#include "privatebus.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocalServer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

using quietwatch::Form1;
using quietwatch::LogindPowerPlatform;
using quietwatch::PowerControl;
using quietwatch::SystemClock;
using quietwatch::testing::PrivateBus;

class TestPowerFaults : public QObject
{
    Q_OBJECT

private slots:
    void silentLogind();
    void hungBus();

private:
    // Asks for a shutdown from the menu and then from a target three seconds ahead, and
    // checks that the clock label keeps changing all the while.
    void keepsTicking();
    QStringList watchClock(int milliseconds) const;
    template <typename T> T *control(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromLatin1(name));
    }

    std::unique_ptr<Form1> m_window;
};

QStringList TestPowerFaults::watchClock(int milliseconds) const
{
    // Every text the clock label shows while events run for the given time.
    QStringList seen;
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < milliseconds) {
        const QString now = control<QLabel>("l1")->text();
        if (seen.isEmpty() || seen.constLast() != now) {
            seen << now;
        }
        QTest::qWait(20);
    }
    return seen;
}

void TestPowerFaults::keepsTicking()
{
    const SystemClock clock;
    LogindPowerPlatform platform; // the system bus, as the program has it
    PowerControl power(platform);
    m_window = std::make_unique<Form1>(clock, power);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(control<QLabel>("l1")->text() != QStringLiteral("00:00:00")); // the first tick

    QElapsedTimer elapsed;
    elapsed.start();
    control<QAction>("mnuFileShutNow")->trigger();
    QVERIFY2(elapsed.elapsed() < 1500, qPrintable(QStringLiteral("the request took %1 ms").arg(elapsed.elapsed())));
    const QStringList afterMenu = watchClock(1600);
    QVERIFY2(afterMenu.size() >= 2, qPrintable(afterMenu.join(QLatin1Char(' '))));

    // A target three seconds ahead, chosen in the lists and set; the clock must show its
    // second and then the next one.
    const QDateTime target = QDateTime::currentDateTime().addSecs(3);
    const QTime time = target.time();
    const std::array<std::pair<QComboBox *, QString>, 4> choices{{
        {control<QComboBox>("cmDate"), target.date().toString(QStringLiteral("yyyy/MM/dd"))},
        {control<QComboBox>("cmTime(0)"), QString::number(time.hour())},
        {control<QComboBox>("cmTime(1)"), QStringLiteral("%1").arg(time.minute(), 2, 10, QLatin1Char('0'))},
        {control<QComboBox>("cmTime(2)"), QStringLiteral("%1").arg(time.second(), 2, 10, QLatin1Char('0'))},
    }};
    for (const auto &[list, entry] : choices) {
        const int index = list->findText(entry);
        QVERIFY2(index >= 0, qPrintable(entry));
        list->setCurrentIndex(index);
    }
    QTest::mouseClick(control<QPushButton>("comD"), Qt::LeftButton);
    const QString targetText = time.toString(QStringLiteral("H:mm:ss"));
    const QString nextText = time.addSecs(1).toString(QStringLiteral("H:mm:ss"));
    QStringList seen;
    QElapsedTimer watching;
    watching.start();
    while (!seen.contains(nextText) && watching.elapsed() < 8000) {
        seen << watchClock(200);
    }
    QVERIFY2(seen.contains(targetText) && seen.contains(nextText), qPrintable(seen.join(QLatin1Char(' '))));
}

void TestPowerFaults::silentLogind()
{
    PrivateBus bus;
    QVERIFY2(!bus.address().isEmpty(), "dbus-daemon did not start");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().toUtf8());

    QProcess logind;
    logind.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    logind.start(QStringLiteral("/usr/bin/python3"), {QFINDTESTDATA("silent_logind.py")});
    QVERIFY(logind.waitForStarted(5000));
    const QDBusConnection observer = bus.connect(QStringLiteral("observer"));
    QTRY_VERIFY_WITH_TIMEOUT(observer.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1")),
                             15000);

    keepsTicking();

    // The menu's request and one or two from the target's second reached logind, which
    // answered none of them.
    QString calls;
    QTRY_VERIFY_WITH_TIMEOUT((calls += QString::fromUtf8(logind.readAllStandardOutput())).count(u"PowerOff") >= 2,
                             5000);
    QVERIFY2(calls.count(u"PowerOff") <= 3, qPrintable(calls));
    m_window.reset();
    logind.kill();
    logind.waitForFinished(3000);
}

void TestPowerFaults::hungBus()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QLocalServer hung; // accepts connections and never reads or writes a byte
    QVERIFY(hung.listen(dir.filePath(QStringLiteral("bus"))));
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + hung.fullServerName().toUtf8());

    keepsTicking();

    QVERIFY2(hung.hasPendingConnections(), "the requests never reached the bus socket");
    m_window.reset();
}

QTEST_MAIN(TestPowerFaults)
#include "test_powerfaults.moc"
