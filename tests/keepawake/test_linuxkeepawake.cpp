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

private:
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
        for (int second = 1; second <= 3; ++second) { // both ticks of each second while the worker waits
            clock.current = at(2026, 12, 7, 12, 0, second);
            QTest::qWait(1000);
            QCOMPARE(l1->text(), QStringLiteral("12:00:0%1").arg(second));
        }
        QVERIFY(!power.calls.empty());
        ending.start();
    }
    QVERIFY2(ending.elapsed() < 2500, qPrintable(QString::number(ending.elapsed())));
    QVERIFY(!hung || server.hasPendingConnections());
}

QTEST_MAIN(TestLinuxKeepAwake)
#include "test_linuxkeepawake.moc"
