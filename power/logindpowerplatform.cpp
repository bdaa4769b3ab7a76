#include "logindpowerplatform.h"

#include "powerplatform.h"

#include <QDBusMessage>
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
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

constexpr std::chrono::milliseconds kGreetingTimeout{500};

struct UnixSocketAddress
{
    std::string name;
    bool abstract = false; // in the abstract namespace rather than a file
};

// The socket of the system bus when its first address is a Unix socket; nothing for other
// transports, which are left to Qt alone.
std::optional<UnixSocketAddress> systemBusSocket()
{
    QString addresses = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    if (addresses.isEmpty()) {
        addresses = QStringLiteral("unix:path=/var/run/dbus/system_bus_socket"); // libdbus's default
    }
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

// Whether a bus daemon listens on the socket and answers the start of the authentication
// handshake (a bare AUTH, which it answers with the mechanisms it offers) in time.
bool answersGreeting(const UnixSocketAddress &address, std::chrono::milliseconds timeout)
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
    // A Unix socket connects at once or not at all; a full backlog (EAGAIN) means nobody accepts.
    if (socket.get() < 0 || ::connect(socket.get(), reinterpret_cast<const sockaddr *>(&socketAddress), length) != 0) {
        return false;
    }
    constexpr std::string_view greeting("\0AUTH\r\n", 7);
    if (::send(socket.get(), greeting.data(), greeting.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(greeting.size())) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd readable{socket.get(), POLLIN, 0};
    int ready = 0;
    do {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        ready = ::poll(&readable, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    } while (ready < 0 && errno == EINTR);
    if (ready != 1) {
        return false;
    }
    char answer = 0;
    return ::recv(socket.get(), &answer, 1, 0) == 1;
}
} // namespace

QDBusConnection LogindPowerPlatform::answeringSystemBus()
{
    const std::optional<UnixSocketAddress> socket = systemBusSocket();
    if (socket && !answersGreeting(*socket, kGreetingTimeout)) {
        return QDBusConnection(QStringLiteral("quietwatch-no-system-bus")); // a name never connected
    }
    return QDBusConnection::systemBus();
}

LogindPowerPlatform::LogindPowerPlatform(ConnectionFactory connect) : m_connect(std::move(connect)) {}

void LogindPowerPlatform::exitWindows(ExitFlags flags, std::uint32_t /*reason*/)
{
    QString method;
    if (flags == kExitPowerOff) {
        method = QStringLiteral("PowerOff");
    } else if (flags == kExitReboot) {
        method = QStringLiteral("Reboot");
    } else {
        return;
    }
    const QDBusConnection bus = m_connect();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, method);
    // interactive = true: polkit may ask the user, as the session-end dialog would.
    call << true;
    call.setInteractiveAuthorizationAllowed(true);
    // Fire and forget: a refusal or an error reply is dropped, and nothing waits for it.
    bus.send(call);
}

std::unique_ptr<PowerPlatform> createPowerPlatform()
{
    return std::make_unique<LogindPowerPlatform>();
}

} // namespace quietwatch
