// The scheduler window keeps the machine from idle sleep through the real Linux backend,
// against a private bus with a mocked desktop portal, or with logind's mock alone.

#include "fakes.h"
#include "form1.h"
#include "linuxkeepawake.h"
#include "logindpowerplatform.h"
#include "privatebus.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocalServer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <algorithm>

using namespace quietwatch;
using namespace quietwatch::testing;

namespace {
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kFirstRequest = QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/quietwatch1");
} // namespace

class TestLinuxKeepAwake : public QObject
{
    Q_OBJECT
private slots:
    void heldWhileTheTargetIsAhead_data();
    void heldWhileTheTargetIsAhead();
    void withoutABusTheWindowKeepsTicking_data();
    void withoutABusTheWindowKeepsTicking();
    void wakesTheMachineThroughTheUserManager_data();
    void wakesTheMachineThroughTheUserManager();
    void keptUpAfterAResumeWithinTheLead_data();
    void keptUpAfterAResumeWithinTheLead();

private:
    // Sets the target at 12:mm:ss today (the clock's day) by the lists and Set.
    static void setTarget(Form1 *window, int minute, int second)
    {
        window->findChild<QComboBox *>(QStringLiteral("cmTime(0)"))->setCurrentIndex(12);
        window->findChild<QComboBox *>(QStringLiteral("cmTime(1)"))->setCurrentIndex(minute);
        window->findChild<QComboBox *>(QStringLiteral("cmTime(2)"))->setCurrentIndex(second);
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("comD")), Qt::LeftButton);
    }

    // A window on a clock at 2026/12/07 12:00:00, with a target set at 12:00:02 or 11:59:59.
    static Form1 *openWithTarget(FakeClock &clock, RecordingRequests &power, KeepAwake &keepAwake, bool future)
    {
        auto *window = new Form1(clock, power, keepAwake);
        window->show();
        window->findChild<QComboBox *>(QStringLiteral("cmTime(0)"))->setCurrentIndex(future ? 12 : 11);
        window->findChild<QComboBox *>(QStringLiteral("cmTime(1)"))->setCurrentIndex(future ? 0 : 59);
        window->findChild<QComboBox *>(QStringLiteral("cmTime(2)"))->setCurrentIndex(future ? 2 : 59);
        return window;
    }
};

void TestLinuxKeepAwake::heldWhileTheTargetIsAhead_data()
{
    QTest::addColumn<bool>("portal");
    QTest::addColumn<QString>("end"); // how the target stops being armed; "past" and "not set" never are
    QTest::addColumn<int>("delay");   // seconds the portal takes to answer
    for (const bool portal : {true, false}) {
        for (const char *end : {"clear", "second passes", "window closes", "past", "not set"}) {
            QTest::addRow("%s, %s", portal ? "portal" : "logind", end) << portal << QString::fromLatin1(end) << 0;
        }
    }
    QTest::newRow("portal answering after 6 s, clear") << true << QStringLiteral("clear") << 6;
}

void TestLinuxKeepAwake::heldWhileTheTargetIsAhead()
{
    QFETCH(bool, portal);
    QFETCH(QString, end);
    QFETCH(int, delay);
    PrivateBus bus;
    const QStringList portalMock{QStringLiteral("--template"), QFINDTESTDATA("portal.py"), QStringLiteral("-p"),
                                 QStringLiteral("{\"delay\": %1}").arg(delay)};
    QVERIFY(portal ? bus.startMock(portalMock, kPortal) : bus.startLogindMock());
    const QDBusConnection control = bus.connect(bus.address());
    const auto names = [&] { return control.interface()->registeredServiceNames().value(); };
    const QStringList namesBefore = names();
    const auto inhibits = [&] {
        return portal ? PrivateBus::methodCalls(control, QStringLiteral("Inhibit"), kPortal, kPortalPath)
                      : PrivateBus::methodCalls(control, QStringLiteral("Inhibit"));
    };
    const auto released = [&] {
        if (portal) {
            return PrivateBus::methodCalls(control, QStringLiteral("Close"), kPortal, kFirstRequest).size() == 1;
        }
        const QDBusMessage list = control.call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors")));
        if (list.type() != QDBusMessage::ReplyMessage) {
            return false;
        }
        const QDBusArgument inhibitors = list.arguments().constFirst().value<QDBusArgument>();
        inhibitors.beginArray();
        const bool none = inhibitors.atEnd();
        inhibitors.endArray();
        return none;
    };

    FakeClock clock(at(2026, 12, 7, 12, 0, 0));
    RecordingRequests power;
    LinuxKeepAwake keepAwake(InhibitBuses{bus.address().toStdString(), bus.address().toStdString()});
    const QPointer<Form1> window = openWithTarget(clock, power, keepAwake, end != QLatin1String("past"));
    const auto closeWindow = qScopeGuard([&] { delete window.data(); }); // before the clock and backend go
    if (end != QLatin1String("not set")) {
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("comD")), Qt::LeftButton);
    }
    if (end == QLatin1String("past") || end == QLatin1String("not set")) {
        QTest::qWait(1200);
        QCOMPARE(inhibits().size(), 0);
        return;
    }
    QTRY_COMPARE(inhibits().size(), 1);
    QStringList program = names(); // the program's connection: a bus that closes it ends what it made for it
    program.removeIf([&](const QString &name) { return namesBefore.contains(name); });
    QVERIFY(!program.isEmpty());
    const auto letGo = [&] {
        return released() || std::none_of(program.cbegin(), program.cend(),
                                          [&, now = names()](const QString &name) { return now.contains(name); });
    };
    const QVariantList args = inhibits().constFirst();
    if (portal) {
        QCOMPARE(args.at(1).toUInt(), 4U); // suspend
    } else {
        QCOMPARE(args.at(0).toString(), QStringLiteral("idle"));
        QVERIFY(!args.at(2).toString().isEmpty()); // the reason
        QCOMPARE(args.at(3).toString(), QStringLiteral("block"));
    }
    QVERIFY(!released());

    QTest::qWait(600 + delay * 1000); // more ticks while armed ask nothing more
    if (end == QLatin1String("clear")) {
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("comC")), Qt::LeftButton);
    } else if (end == QLatin1String("second passes")) {
        clock.current = at(2026, 12, 7, 12, 0, 2);
        QTest::qWait(1000);
        QVERIFY(!power.calls.empty()); // fired while still held
        QVERIFY(!released());
        clock.current = at(2026, 12, 7, 12, 0, 3);
    } else {
        window->close();
        QTRY_VERIFY(window.isNull());
    }
    QTRY_VERIFY_WITH_TIMEOUT(letGo(), delay > 0 ? 2000 : 5000);
    QCOMPARE(inhibits().size(), 1);
}

void TestLinuxKeepAwake::withoutABusTheWindowKeepsTicking_data()
{
    QTest::addColumn<bool>("hung");   // a socket that takes the connection and never answers
    QTest::addColumn<bool>("sender"); // a power request stuck on the same bus: one exit grace for both
    QTest::newRow("no bus") << false << false;
    QTest::newRow("hung bus") << true << false;
    QTest::newRow("hung bus, a power request too") << true << true;
}

void TestLinuxKeepAwake::withoutABusTheWindowKeepsTicking()
{
    QFETCH(bool, hung);
    QFETCH(bool, sender);
    QTemporaryDir dir;
    QLocalServer server;
    const QString socket = dir.filePath(QStringLiteral("bus"));
    QVERIFY(!hung || server.listen(socket));
    const QString address = QStringLiteral("unix:path=") + socket;
    FakeClock clock(at(2026, 12, 7, 12, 0, 0));
    RecordingRequests power;
    QElapsedTimer ending;
    {
        LogindPowerPlatform platform(address.toStdString()); // ends last, as in the program
        if (sender) {
            platform.exitWindows(kExitPowerOff, 0);
        }
        LinuxKeepAwake keepAwake(InhibitBuses{address.toStdString(), address.toStdString()});
        const QPointer<Form1> window = openWithTarget(clock, power, keepAwake, true);
        const auto closeWindow = qScopeGuard([&] { delete window.data(); });
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("comD")), Qt::LeftButton);
        auto *l1 = window->findChild<QLabel *>(QStringLiteral("l1"));
        QTRY_COMPARE(l1->text(), QStringLiteral("12:00:00"));
        // Both ticks of each second while the worker waits. The window's thread is sampled every
        // few milliseconds throughout: a pause of that thread at any tick shows as a gap, and one
        // as long as a tick (500 ms) could cost the target's second one of its two chances.
        QElapsedTimer since;
        since.start();
        qint64 last = 0;
        qint64 longest = 0;
        for (int second = 1; second <= 3; ++second) {
            clock.current = at(2026, 12, 7, 12, 0, second);
            for (const qint64 until = since.elapsed() + 1000; since.elapsed() < until;) {
                QTest::qWait(5);
                longest = std::max(longest, since.elapsed() - last);
                last = since.elapsed();
            }
            QCOMPARE(l1->text(), QStringLiteral("12:00:0%1").arg(second));
        }
        QVERIFY2(longest < 500, qPrintable(QStringLiteral("the window stopped for %1 ms").arg(longest)));
        QVERIFY(!power.calls.empty());
        ending.start();
    }
    QVERIFY2(ending.elapsed() < 2500, qPrintable(QString::number(ending.elapsed())));
    QVERIFY(!hung || server.hasPendingConnections());
}

void TestLinuxKeepAwake::wakesTheMachineThroughTheUserManager_data()
{
    QTest::addColumn<QString>("manager"); // "mock", "refusing" or "none"
    QTest::addColumn<QString>("end");     // how the second target stops being armed
    for (const char *end : {"clear", "second passes", "window closes"}) {
        QTest::addRow("%s", end) << QStringLiteral("mock") << QString::fromLatin1(end);
    }
    QTest::newRow("refused") << QStringLiteral("refusing") << QStringLiteral("second passes");
    QTest::newRow("no user manager") << QStringLiteral("none") << QStringLiteral("second passes");
}

void TestLinuxKeepAwake::wakesTheMachineThroughTheUserManager()
{
    QFETCH(QString, manager);
    QFETCH(QString, end);
    PrivateBus bus;
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("units.log"));
    const QString parameters = QStringLiteral("{\"log\": \"%1\", \"refuse\": %2}")
                                   .arg(log, manager == QLatin1String("refusing") ? "true" : "false");
    QVERIFY(
        manager == QLatin1String("none") ||
        bus.startMock({QStringLiteral("--template"), QFINDTESTDATA("usermanager.py"), QStringLiteral("-p"), parameters},
                      QStringLiteral("org.freedesktop.systemd1")));
    const auto units = [&] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                              : QStringList();
    };
    const QString stop = QStringLiteral("stop\tquietwatch-wake.timer");
    const auto started = [](const char *onCalendar) {
        return QRegularExpression(QStringLiteral("^start\tquietwatch-wake.timer\t.*\tOnCalendar=%1\tWakeSystem=true\t"
                                                 "AccuracyUSec=1000000\t.*quietwatch-wake.service\t.*"
                                                 "\tExecStart=/bin/true$")
                                      .arg(QLatin1String(onCalendar)));
    };

    FakeClock clock(at(2026, 12, 7, 12, 0, 0)); // UTC+9
    RecordingRequests power;
    LinuxKeepAwake keepAwake(InhibitBuses{bus.address().toStdString(), bus.address().toStdString()});
    const QPointer<Form1> window = openWithTarget(clock, power, keepAwake, true);
    const auto closeWindow = qScopeGuard([&] { delete window.data(); });
    auto *l1 = window->findChild<QLabel *>(QStringLiteral("l1"));
    QTRY_COMPARE(l1->text(), QStringLiteral("12:00:00"));
    setTarget(window, 5, 0); // woken at 12:03:00, 03:03:00 UTC
    if (manager != QLatin1String("mock")) {
        // Nothing shown and nothing changes: the clock ticks on and the target fires in its second.
        const QString manager1 = QStringLiteral("org.freedesktop.systemd1");
        QTRY_COMPARE(PrivateBus::methodCalls(bus.connect(bus.address()), QStringLiteral("StartTransientUnit"), manager1,
                                             QStringLiteral("/org/freedesktop/systemd1"))
                         .size(),
                     manager == QLatin1String("refusing") ? 1 : 0);
        QTest::qWait(1000);
        QCOMPARE(units(), manager == QLatin1String("refusing") ? QStringList{stop} : QStringList{});
        clock.current = at(2026, 12, 7, 12, 5, 0);
        QTRY_COMPARE(l1->text(), QStringLiteral("12:05:00"));
        QTRY_VERIFY(!power.calls.empty());
        return;
    }
    QTRY_COMPARE(units().size(), 2);
    QCOMPARE(units().at(0), stop); // one left behind by a crashed program goes first
    QVERIFY2(started("2026-12-07 03:03:00 UTC").match(units().at(1)).hasMatch(), qPrintable(units().at(1)));
    setTarget(window, 6, 30);
    QTRY_COMPARE(units().size(), 4);
    QCOMPARE(units().at(2), stop);
    QVERIFY2(started("2026-12-07 03:04:30 UTC").match(units().at(3)).hasMatch(), qPrintable(units().at(3)));
    QTest::qWait(600); // ticks while armed ask nothing more
    QCOMPARE(units().size(), 4);

    if (end == QLatin1String("clear")) {
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("comC")), Qt::LeftButton);
    } else if (end == QLatin1String("second passes")) {
        clock.current = at(2026, 12, 7, 12, 6, 30);
        QTRY_VERIFY(!power.calls.empty());
        QCOMPARE(units().size(), 4); // still standing while it fires
        clock.current = at(2026, 12, 7, 12, 6, 31);
    } else {
        window->close();
        QTRY_VERIFY(window.isNull());
    }
    QTRY_COMPARE_WITH_TIMEOUT(units().size(), 5, 2000);
    QCOMPARE(units().at(4), stop);
}

void TestLinuxKeepAwake::keptUpAfterAResumeWithinTheLead_data()
{
    QTest::addColumn<int>("resumeMinute"); // the clock's minute at the resume, the target at 12:05:00
    QTest::addColumn<int>("resumeSecond");
    QTest::newRow("within the lead") << 3 << 30;
    QTest::newRow("outside the lead, then within it") << 2 << 59;
    QTest::newRow("slept through") << 5 << 1;
}

void TestLinuxKeepAwake::keptUpAfterAResumeWithinTheLead()
{
    QFETCH(int, resumeMinute);
    QFETCH(int, resumeSecond);
    PrivateBus bus;
    QVERIFY(bus.startLogindMock());
    const QDBusConnection control = bus.connect(bus.address());
    const auto inhibitors = [&] { // "what mode" of each inhibitor logind holds
        const QDBusMessage list = control.call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors")));
        QStringList result;
        const QDBusArgument array = list.arguments().value(0).value<QDBusArgument>();
        array.beginArray();
        while (!array.atEnd()) {
            QString what, who, why, mode;
            uint uid = 0, pid = 0;
            array.beginStructure();
            array >> what >> who >> why >> mode >> uid >> pid;
            array.endStructure();
            result.append(what + u' ' + mode);
        }
        array.endArray();
        return result;
    };
    const auto resume = [&] {
        for (const bool sleeping : {true, false}) {
            PrivateBus::mockCall(control, QStringLiteral("EmitSignal"),
                                 {QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                                  QStringLiteral("b"), QVariant(QVariantList{sleeping})});
        }
    };
    const QStringList lid{QStringLiteral("idle block"), QStringLiteral("handle-lid-switch block")};

    FakeClock clock(at(2026, 12, 7, 12, 0, 0));
    RecordingRequests power;
    LinuxKeepAwake keepAwake(InhibitBuses{bus.address().toStdString(), bus.address().toStdString()});
    const QPointer<Form1> window = openWithTarget(clock, power, keepAwake, true);
    const auto closeWindow = qScopeGuard([&] { delete window.data(); });
    QTRY_COMPARE(window->findChild<QLabel *>(QStringLiteral("l1"))->text(), QStringLiteral("12:00:00"));
    setTarget(window, 5, 0);
    QTRY_COMPARE(inhibitors(), QStringList{QStringLiteral("idle block")});
    clock.current = at(2026, 12, 7, 12, resumeMinute, resumeSecond);
    if (resumeMinute == 5) {
        resume();
        QTRY_COMPARE(inhibitors(), QStringList{}); // every hold let go, nothing fired late
        QTest::qWait(1000);
        QCOMPARE(inhibitors(), QStringList{});
        QVERIFY(power.calls.empty());
        return;
    }
    if (resumeMinute == 2) {
        for (int i = 0; i < 3; ++i) {
            resume();
            QTest::qWait(400);
        }
        QCOMPARE(inhibitors(), QStringList{QStringLiteral("idle block")});
        clock.current = at(2026, 12, 7, 12, 3, 0);
    }
    QTRY_VERIFY((resume(), inhibitors() == lid)); // the worker hears resumes once it is listening
    clock.current = at(2026, 12, 7, 12, 5, 0);
    QTRY_VERIFY(!power.calls.empty());
    QCOMPARE(inhibitors(), lid); // held through the target's second
    clock.current = at(2026, 12, 7, 12, 5, 1);
    QTRY_COMPARE(inhibitors(), QStringList{});
}

QTEST_MAIN(TestLinuxKeepAwake)
#include "test_linuxkeepawake.moc"
