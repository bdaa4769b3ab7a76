// Power requests over buses that misbehave must never stall the scheduler window, and must
// reach logind wherever a working bus can be reached. The real window and the real logind
// backend, against a private bus with python-dbusmock's logind, one that never answers, and
// small fakes in front of them (fakebus.py).

#include "form1.h"
#include "logindpowerplatform.h"
#include "privatebus.h"

#include <QAction>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <memory>

using quietwatch::Form1;
using quietwatch::LogindPowerPlatform;
using quietwatch::PowerControl;
using quietwatch::SystemClock;
using quietwatch::testing::PrivateBus;

namespace {

// The longest the event loop went without running a 5 ms timer, while it watches.
class StallWatch
{
public:
    StallWatch()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_sinceLast.restart()); });
        m_sinceLast.start();
        m_timer.start();
    }
    qint64 longest() const { return std::max(m_longest, m_sinceLast.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_longest = 0;
};

QProcess *startPython(QProcess &process, const QStringList &args)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("/usr/bin/python3"), args);
    return process.waitForStarted(5000) ? &process : nullptr;
}

} // namespace

class TestPowerFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void requestsNeverStallTheWindow_data();
    void requestsNeverStallTheWindow();

private:
    std::unique_ptr<PrivateBus> m_mockBus;   // python-dbusmock's logind
    std::unique_ptr<PrivateBus> m_silentBus; // a logind that takes calls and never answers
    QProcess m_silentLogind;
    QString m_silentCalls;
    QTemporaryDir m_dir;
};

void TestPowerFaults::initTestCase()
{
    m_mockBus = std::make_unique<PrivateBus>();
    m_silentBus = std::make_unique<PrivateBus>();
    QVERIFY2(!m_mockBus->address().isEmpty() && !m_silentBus->address().isEmpty(), "dbus-daemon did not start");
    QVERIFY2(m_mockBus->startLogindMock(), "the logind mock did not appear on the bus");
    // A request that strayed to "the system bus" rather than its own address would reach the mock.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_mockBus->address().toUtf8());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_silentBus->address());
    m_silentLogind.setProcessEnvironment(env);
    QVERIFY(startPython(m_silentLogind, {QFINDTESTDATA("silent_logind.py")}));
    const QDBusConnection observer = m_silentBus->connect(QStringLiteral("silent-observer"));
    QTRY_VERIFY_WITH_TIMEOUT(observer.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1")),
                             15000);
}

void TestPowerFaults::requestsNeverStallTheWindow_data()
{
    // {fake} is fakebus.py's address in front of the mock's bus, {mock} and {silent} the buses,
    // {dead} a socket nobody listens on.
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("fake");    // fakebus.py's mode, or none
    QTest::addColumn<QString>("reaches"); // which logind must get the request, if any

    struct Row
    {
        const char *name;
        const char *address;
        const char *fake;
        const char *reaches;
    };
    const Row rows[] = {
        {"logind never answers", "{silent}", "", "silent"},
        {"no bus", "{dead}", "", ""},
        {"silent Unix socket", "{fake}", "silent-unix", ""},
        {"silent TCP listener", "{fake}", "silent-tcp", ""},
        {"stall after the handshake", "{fake}", "stall", ""},
        {"first answer after 0.7 s", "{fake}", "slow", "mock"},
        {"dead first address", "{dead};{mock}", "", "mock"},
        {"silent first address", "{fake};{mock}", "silent-unix", "mock"},
        {"first listener never accepts", "{fake};{mock}", "full-unix", "mock"},
        {"first connection fails, then works", "{fake}", "refuse-first", "mock"},
    };
    for (const Row &row : rows) {
        QTest::newRow(row.name) << QString::fromLatin1(row.address) << QString::fromLatin1(row.fake)
                                << QString::fromLatin1(row.reaches);
    }
}

// Two requests from the menu a second apart, then a wait for them to arrive: the window
// never stops for 100 ms meanwhile.
void TestPowerFaults::requestsNeverStallTheWindow()
{
    QFETCH(QString, address);
    QFETCH(QString, fake);
    QFETCH(QString, reaches);

    const QDBusConnection observer = m_mockBus->connect(QStringLiteral("observer"));
    QVERIFY(PrivateBus::mockCall(observer, QStringLiteral("ClearCalls")).type() == QDBusMessage::ReplyMessage);
    m_silentCalls += QString::fromUtf8(m_silentLogind.readAllStandardOutput());
    const qsizetype silentBefore = m_silentCalls.count(u"PowerOff");

    QProcess fakeBus;
    if (!fake.isEmpty()) {
        QVERIFY(startPython(fakeBus, {QFINDTESTDATA("fakebus.py"), fake, m_dir.path(), m_mockBus->address()}));
        QVERIFY(fakeBus.waitForReadyRead(5000));
        address.replace(QStringLiteral("{fake}"), QString::fromUtf8(fakeBus.readLine()).trimmed());
    }
    address.replace(QStringLiteral("{mock}"), m_mockBus->address());
    address.replace(QStringLiteral("{dead}"), QStringLiteral("unix:path=/nonexistent/quietwatch-bus"));
    address.replace(QStringLiteral("{silent}"), m_silentBus->address());

    // The calls on the logind the row names; where it names none, on both.
    const auto reached = [&] {
        m_silentCalls += QString::fromUtf8(m_silentLogind.readAllStandardOutput());
        const int silent = static_cast<int>(m_silentCalls.count(u"PowerOff") - silentBefore);
        const int mock = PrivateBus::callCount(observer, QStringLiteral("PowerOff"));
        return reaches == u"silent" ? silent : reaches == u"mock" ? mock : silent + mock;
    };

    const SystemClock clock;
    auto platform = std::make_unique<LogindPowerPlatform>(address.toStdString());
    PowerControl power(*platform);
    auto window = std::make_unique<Form1>(clock, power);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *shutNow = window->findChild<QAction *>(QStringLiteral("mnuFileShutNow"));
    QVERIFY(shutNow);

    const StallWatch watch;
    shutNow->trigger();
    QTest::qWait(1000);
    shutNow->trigger();
    if (reaches.isEmpty()) {
        QTest::qWait(2000);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(reached() >= 1, 10000);
    }
    QVERIFY2(watch.longest() < 100, qPrintable(QStringLiteral("the window stalled %1 ms").arg(watch.longest())));
    // One call a request at most; the second may have joined the first.
    QTest::qWait(300);
    if (reaches.isEmpty()) {
        QCOMPARE(reached(), 0);
    } else {
        QVERIFY2(reached() <= 2, qPrintable(QString::number(reached())));
    }

    window.reset();
    platform.reset();
    fakeBus.kill();
    fakeBus.waitForFinished(3000);
}

QTEST_MAIN(TestPowerFaults)
#include "test_powerfaults.moc"
