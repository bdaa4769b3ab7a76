#pragma once

// A private message bus for tests, standing in for the system bus, and python-dbusmock's
// logind template on it. Both processes end with the object.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace quietwatch {
namespace testing {

class PrivateBus
{
public:
    PrivateBus()
    {
        if (!m_dir.isValid()) {
            return;
        }
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            return;
        }
        // A bus that lets anyone own any name, like a session bus, but with no service activation.
        const QString busConfig = QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                                                 "<auth>EXTERNAL</auth><policy context=\"default\">"
                                                 "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                                 "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                                                 "</busconfig>\n");
        file.write(busConfig.arg(m_dir.path()).toUtf8());
        file.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(5000)) {
            return;
        }
        const QDeadlineTimer deadline(5000);
        while (!m_daemon.canReadLine() && !deadline.hasExpired()) {
            m_daemon.waitForReadyRead(100);
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }

    ~PrivateBus()
    {
        for (QProcess *process : {&m_mock, &m_daemon}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(3000)) {
                    process->kill();
                    process->waitForFinished(1000);
                }
            }
        }
    }

    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    QString address() const { return m_address; }

    // A connection of the test's own to this bus, under a name of its choice.
    QDBusConnection connect(const QString &name) const { return QDBusConnection::connectToBus(m_address, name); }

    // Starts the logind mock (Debian's python3-dbusmock in the system Python) and waits for its name.
    bool startLogindMock()
    {
        return startMock({QStringLiteral("--system"), QStringLiteral("--template"), QStringLiteral("logind")},
                         QStringLiteral("org.freedesktop.login1"));
    }

    // Starts python-dbusmock with these arguments, this bus standing for both the session and
    // the system bus, and waits until `name` is owned.
    bool startMock(const QStringList &arguments, const QString &name)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        m_mock.setProcessEnvironment(env);
        m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_mock.setStandardOutputFile(QProcess::nullDevice());
        m_mock.start(QStringLiteral("/usr/bin/python3"),
                     QStringList{QStringLiteral("-m"), QStringLiteral("dbusmock")} + arguments);
        if (!m_mock.waitForStarted(5000)) {
            return false;
        }
        QDBusConnection bus = connect(QStringLiteral("privatebus-watch ") + m_address); // one per bus
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired()) {
            if (bus.interface()->isServiceRegistered(name)) {
                return true;
            }
            QThread::msleep(50);
        }
        return false;
    }

    // A call on the mock's control interface of the logind manager object.
    static QDBusMessage mockCall(const QDBusConnection &bus, const QString &method, const QVariantList &args = {},
                                 const QString &service = QStringLiteral("org.freedesktop.login1"),
                                 const QString &path = QStringLiteral("/org/freedesktop/login1"))
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Mock"), method);
        call.setArguments(args);
        return bus.call(call, QDBus::Block, 5000);
    }

    // The arguments of each call of a method the mock has received (on logind's manager unless
    // told), oldest first; empty when the mock cannot be asked.
    static QList<QVariantList> methodCalls(const QDBusConnection &bus, const QString &method,
                                           const QString &service = QStringLiteral("org.freedesktop.login1"),
                                           const QString &path = QStringLiteral("/org/freedesktop/login1"))
    {
        const QDBusMessage reply = mockCall(bus, QStringLiteral("GetMethodCalls"), {method}, service, path);
        QList<QVariantList> result;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return result;
        }
        const QDBusArgument calls = reply.arguments().constFirst().value<QDBusArgument>();
        calls.beginArray();
        while (!calls.atEnd()) {
            quint64 timestamp = 0;
            QVariantList args;
            calls.beginStructure();
            calls >> timestamp >> args;
            calls.endStructure();
            result.append(args);
        }
        calls.endArray();
        return result;
    }

    static int callCount(const QDBusConnection &bus, const QString &method)
    {
        return static_cast<int>(methodCalls(bus, method).size());
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QProcess m_mock;
    QString m_address;
};

} // namespace testing
} // namespace quietwatch
