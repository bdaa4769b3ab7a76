// The Linux power layer against a real message bus: a private dbus-daemon standing in for
// the system bus, with python-dbusmock's logind on it.

#include "fakes.h"
#include "logindpowerplatform.h"
#include "powercontrol.h"
#include "privatebus.h"
#include "schedule.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using LogindPowerPlatform = quietwatch::LogindPowerPlatform;
using PowerControl = quietwatch::PowerControl;
using PrivateBus = quietwatch::testing::PrivateBus;
using quietwatch::Action;
using quietwatch::Schedule;
using quietwatch::testing::at;
using quietwatch::testing::FakeClock;

class TestLogindPowerPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shutNowAndRebootNowReachLogindOnTheSystemBus();
    void refusedPowerOffIsSilentAndQuick();
    void otherFlagsSendNothing();
    void secondTickOfOneSecond_data();
    void secondTickOfOneSecond();

private:
    std::unique_ptr<PrivateBus> m_bus;
};

void TestLogindPowerPlatform::initTestCase()
{
    m_bus = std::make_unique<PrivateBus>();
    QVERIFY2(!m_bus->address().isEmpty(), "dbus-daemon did not start");
    // The product's default address must follow this variable.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_bus->address().toUtf8());
    QVERIFY2(m_bus->startLogindMock(), "the logind mock did not appear on the bus");
}

void TestLogindPowerPlatform::shutNowAndRebootNowReachLogindOnTheSystemBus()
{
    const QDBusConnection observer = m_bus->connect(QStringLiteral("observer"));
    QVERIFY(PrivateBus::mockCall(observer, QStringLiteral("ClearCalls")).type() == QDBusMessage::ReplyMessage);

    LogindPowerPlatform platform; // the default: the system bus
    PowerControl power(platform);
    QElapsedTimer elapsed;
    elapsed.start();
    power.ShutNow();
    power.RebootNow();
    QVERIFY(elapsed.elapsed() < 100); // handed to the sender, never waited for

    QTRY_COMPARE_WITH_TIMEOUT(PrivateBus::callCount(observer, QStringLiteral("PowerOff")), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(PrivateBus::callCount(observer, QStringLiteral("Reboot")), 1, 5000);
    // Nothing else arrives later.
    QTest::qWait(300);
    QCOMPARE(PrivateBus::callCount(observer, QStringLiteral("PowerOff")), 1);
    QCOMPARE(PrivateBus::callCount(observer, QStringLiteral("Reboot")), 1);

    // The one argument is interactive = true: polkit may ask the user.
    for (const QString &method : {QStringLiteral("PowerOff"), QStringLiteral("Reboot")}) {
        const QList<QVariantList> calls = PrivateBus::methodCalls(observer, method);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().size(), 1);
        QCOMPARE(calls.first().first().toBool(), true);
    }
}

void TestLogindPowerPlatform::refusedPowerOffIsSilentAndQuick()
{
    const QDBusConnection observer = m_bus->connect(QStringLiteral("observer"));
    // polkit's answer when it would have to ask and may not.
    const QDBusMessage replaced = PrivateBus::mockCall(
        observer, QStringLiteral("AddMethod"),
        {QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"), QStringLiteral("b"), QString(),
         QStringLiteral("raise dbus.exceptions.DBusException('Interactive authentication required.', "
                        "name='org.freedesktop.DBus.Error.InteractiveAuthorizationRequired')")});
    QVERIFY2(replaced.type() == QDBusMessage::ReplyMessage, qPrintable(replaced.errorMessage()));
    QVERIFY(PrivateBus::mockCall(observer, QStringLiteral("ClearCalls")).type() == QDBusMessage::ReplyMessage);

    // Check that the mock really refuses, so the case below is the refused one.
    QDBusMessage direct = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    direct << false;
    const QDBusMessage refusal = observer.call(direct, QDBus::Block, 5000);
    QCOMPARE(refusal.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired"));
    QVERIFY(PrivateBus::mockCall(observer, QStringLiteral("ClearCalls")).type() == QDBusMessage::ReplyMessage);

    LogindPowerPlatform platform;
    QElapsedTimer elapsed;
    elapsed.start();
    PowerControl(platform).ShutNow();
    QVERIFY(elapsed.elapsed() < 1000);
    QTRY_COMPARE_WITH_TIMEOUT(PrivateBus::callCount(observer, QStringLiteral("PowerOff")), 1, 5000);
}

void TestLogindPowerPlatform::otherFlagsSendNothing()
{
    const QDBusConnection observer = m_bus->connect(QStringLiteral("observer"));
    QVERIFY(PrivateBus::mockCall(observer, QStringLiteral("ClearCalls")).type() == QDBusMessage::ReplyMessage);
    LogindPowerPlatform platform;
    PowerControl(platform).PowerAction(4);
    PowerControl(platform).PowerAction(8 | 4);
    QTest::qWait(300);
    QCOMPARE(PrivateBus::callCount(observer, QStringLiteral("PowerOff")), 0);
    QCOMPARE(PrivateBus::callCount(observer, QStringLiteral("Reboot")), 0);
}

void TestLogindPowerPlatform::secondTickOfOneSecond_data()
{
    // What logind does with the first request after noting it (in `asked`).
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("calls");
    // polkit asking for a password: a second request would ask again.
    QTest::newRow("answer still awaited") << QStringLiteral("time.sleep(1.5)") << 1;
    // A request that has its answer is repeated, as one that failed without one is.
    QTest::newRow("refused at once") << QStringLiteral("raise dbus.exceptions.DBusException('Not authorized.', "
                                                       "name='org.freedesktop.DBus.Error.AccessDenied')")
                                     << 2;
}

// The schedule fires on each tick of the target's second, which the fake clock holds.
void TestLogindPowerPlatform::secondTickOfOneSecond()
{
    QFETCH(QString, answer);
    QFETCH(int, calls);
    const QTemporaryDir dir;
    const QString asked = dir.filePath(QStringLiteral("asked"));
    const QDBusConnection observer = m_bus->connect(QStringLiteral("observer"));
    const QDBusMessage replaced = PrivateBus::mockCall(
        observer, QStringLiteral("AddMethod"),
        {QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"), QStringLiteral("b"), QString(),
         QStringLiteral("open('%1', 'w').close(); %2").arg(asked, answer)});
    QVERIFY2(replaced.type() == QDBusMessage::ReplyMessage, qPrintable(replaced.errorMessage()));
    QVERIFY(PrivateBus::mockCall(observer, QStringLiteral("ClearCalls")).type() == QDBusMessage::ReplyMessage);

    const FakeClock clock(at(2026, 12, 7, 12, 0, 0));
    LogindPowerPlatform platform;
    PowerControl power(platform);
    Schedule schedule(clock, power);
    schedule.Set("2026/12/07", "12", "00", "00", Action::ShutDown);
    QVERIFY(schedule.tick(Action::ShutDown));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(asked), 5000); // the first is with logind
    QTest::qWait(200);
    QVERIFY(schedule.tick(Action::ShutDown));
    QTest::qWait(300);
    // Asked after any second call: the mock answers calls one at a time, in order.
    QCOMPARE(PrivateBus::callCount(observer, QStringLiteral("PowerOff")), calls);
}

QTEST_GUILESS_MAIN(TestLogindPowerPlatform)
#include "test_logindpowerplatform.moc"
