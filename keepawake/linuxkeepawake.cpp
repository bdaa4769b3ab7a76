#include "linuxkeepawake.h"

#include "keepawakeplatform.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <QVariantMap>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quietwatch {

namespace {

const QString kReason = QStringLiteral("設定した時刻の電源操作を待っています");
constexpr int kCallTimeoutMs = 5000;
constexpr std::chrono::milliseconds kGreetingTimeout{500};
constexpr int kStopWaitMs = 2000;
constexpr quint32 kPortalSuspend = 4; // the portal's flag for suspending, idle or not

struct UnixSocketAddress
{
    std::string name;
    bool abstract = false; // in the abstract namespace rather than a file
};

// The socket of a bus whose first address is a Unix socket; nothing for other transports.
std::optional<UnixSocketAddress> unixSocketOf(const QString &addresses)
{
    const QString first = addresses.section(QLatin1Char(';'), 0, 0);
    if (!first.startsWith(QLatin1String("unix:"))) {
        return std::nullopt;
    }
    for (const QString &pair : first.mid(5).split(QLatin1Char(','))) {
        const QString key = pair.section(QLatin1Char('='), 0, 0);
        if (key == QLatin1String("path") || key == QLatin1String("abstract")) {
            const QByteArray value = QByteArray::fromPercentEncoding(pair.section(QLatin1Char('='), 1).toUtf8());
            return UnixSocketAddress{value.toStdString(), key == QLatin1String("abstract")};
        }
    }
    return std::nullopt;
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Whether a bus daemon listens on the socket and answers a bare AUTH in time. libdbus waits
// without limit for a daemon that takes the connection and never speaks.
bool answersGreeting(const UnixSocketAddress &address)
{
    sockaddr_un socketAddress{};
    socketAddress.sun_family = AF_UNIX;
    const std::size_t start = address.abstract ? 1 : 0; // an abstract name follows a NUL byte
    if (address.name.empty() || start + address.name.size() >= sizeof(socketAddress.sun_path)) {
        return false;
    }
    std::memcpy(socketAddress.sun_path + start, address.name.data(), address.name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + start + address.name.size() +
                                               (address.abstract ? 0 : 1));
    const FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.get() < 0 || ::connect(socket.get(), reinterpret_cast<const sockaddr *>(&socketAddress), length) != 0) {
        return false;
    }
    constexpr std::string_view greeting("\0AUTH\r\n", 7);
    if (::send(socket.get(), greeting.data(), greeting.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(greeting.size())) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kGreetingTimeout;
    pollfd readable{socket.get(), POLLIN, 0};
    int ready = 0;
    do {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        ready = ::poll(&readable, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    } while (ready < 0 && errno == EINTR);
    char answer = 0;
    return ready == 1 && ::recv(socket.get(), &answer, 1, 0) == 1;
}

} // namespace

// Lives on its own thread; every bus call is made there, one at a time, in the order asked.
class InhibitWorker final : public QObject
{
public:
    explicit InhibitWorker(InhibitBuses buses) : m_buses(std::move(buses)) {}
    ~InhibitWorker() override
    {
        letGo();
        for (const QString &name : {kSessionName, kSystemName}) {
            QDBusConnection::disconnectFromBus(name);
        }
    }
    InhibitWorker(const InhibitWorker &) = delete;
    InhibitWorker &operator=(const InhibitWorker &) = delete;

    void inhibit()
    {
        if (!m_portalRequest.isEmpty() || m_logindInhibitor.isValid()) {
            return;
        }
        if (const auto bus = connection(m_buses.session, kSessionName)) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
                QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
            call << QString() << kPortalSuspend << QVariantMap{{QStringLiteral("reason"), kReason}};
            const QDBusMessage reply = bus->call(call, QDBus::Block, kCallTimeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                m_portalRequest = qdbus_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
                return;
            }
        }
        if (const auto bus = connection(m_buses.system, kSystemName)) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
            call << QStringLiteral("idle") << QStringLiteral("Quietwatch") << kReason << QStringLiteral("block");
            const QDBusMessage reply = bus->call(call, QDBus::Block, kCallTimeoutMs);
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                m_logindInhibitor = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
            }
        }
        // Neither answered: silent; the target still fires if the machine stays awake.
    }

    void letGo()
    {
        if (!m_portalRequest.isEmpty()) {
            if (const auto bus = connection(m_buses.session, kSessionName)) {
                bus->send(QDBusMessage::createMethodCall(
                    QStringLiteral("org.freedesktop.portal.Desktop"), m_portalRequest,
                    QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close")));
            }
            m_portalRequest.clear();
        }
        // The inhibitor lasts as long as its descriptor; ours is the only copy.
        m_logindInhibitor = QDBusUnixFileDescriptor();
    }

private:
    static inline const QString kSessionName = QStringLiteral("quietwatch-keepawake-session");
    static inline const QString kSystemName = QStringLiteral("quietwatch-keepawake-system");

    static std::optional<QDBusConnection> connection(const QString &address, const QString &name)
    {
        QDBusConnection existing(name);
        if (existing.isConnected()) {
            return existing;
        }
        const auto socket = unixSocketOf(address);
        if (address.isEmpty() || (socket && !answersGreeting(*socket))) {
            return std::nullopt;
        }
        QDBusConnection::disconnectFromBus(name); // a failed attempt keeps its name
        QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        if (!bus.isConnected()) {
            return std::nullopt;
        }
        return bus;
    }

    InhibitBuses m_buses;
    QString m_portalRequest;
    QDBusUnixFileDescriptor m_logindInhibitor;
};

InhibitBuses InhibitBuses::fromEnvironment()
{
    InhibitBuses buses{qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                       qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS")};
    if (buses.session.isEmpty()) {
        const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
        const QString socket = runtimeDir + QStringLiteral("/bus");
        if (!runtimeDir.isEmpty() && QFileInfo(socket).exists()) {
            buses.session = QStringLiteral("unix:path=") + socket;
        }
    }
    if (buses.system.isEmpty()) {
        buses.system = QStringLiteral("unix:path=/var/run/dbus/system_bus_socket"); // libdbus's default
    }
    return buses;
}

LinuxKeepAwake::LinuxKeepAwake(InhibitBuses buses) : m_buses(std::move(buses)) {}

LinuxKeepAwake::~LinuxKeepAwake()
{
    if (!m_thread) {
        return;
    }
    // Queued after any hold or release still waiting: the worker lets go as it is deleted.
    QMetaObject::invokeMethod(
        m_worker, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
    if (!m_thread->wait(QDeadlineTimer(kStopWaitMs))) {
        // Stuck in a bus call: the process ends soon and drops the connection and the descriptor.
        static_cast<void>(m_thread.release());
    }
}

void LinuxKeepAwake::hold()
{
    if (!m_thread) {
        m_thread = std::make_unique<QThread>();
        m_thread->setObjectName(QStringLiteral("quietwatch-keepawake"));
        auto *worker = new InhibitWorker(m_buses);
        worker->moveToThread(m_thread.get());
        QObject::connect(m_thread.get(), &QThread::finished, worker, &QObject::deleteLater);
        m_worker = worker;
        m_thread->start();
    }
    QMetaObject::invokeMethod(m_worker, &InhibitWorker::inhibit, Qt::QueuedConnection);
}

void LinuxKeepAwake::release()
{
    if (m_worker) {
        QMetaObject::invokeMethod(m_worker, &InhibitWorker::letGo, Qt::QueuedConnection);
    }
}

std::unique_ptr<KeepAwake> createKeepAwake()
{
    return std::make_unique<LinuxKeepAwake>();
}

} // namespace quietwatch
