#include "logindpowerplatform.h"

#include "powerplatform.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <dbus/dbus.h>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace quietwatch {

namespace {

constexpr const char *kService = "org.freedesktop.login1";
constexpr const char *kPath = "/org/freedesktop/login1";
constexpr const char *kManager = "org.freedesktop.login1.Manager";
constexpr const char *kDefaultSystemBus = "unix:path=/var/run/dbus/system_bus_socket"; // libdbus's default

// libdbus waits for the authentication handshake without any limit; a bus that takes the
// connection and never completes it is given up after as long as libdbus gives a reply.
constexpr std::chrono::milliseconds kHandshakeLimit{25000};
// How long the program's end waits for a request still on its way.
constexpr std::chrono::milliseconds kExitGrace{2000};
// Requests waiting behind a hung one: a shut-down and a restart, whichever came last.
constexpr std::size_t kMostWaiting = 2;

struct ConnectionCloser
{
    void operator()(DBusConnection *connection) const
    {
        dbus_connection_close(connection); // every connection here is private, so closing is ours
        dbus_connection_unref(connection);
    }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionCloser>;

struct MessageUnref
{
    void operator()(DBusMessage *message) const { dbus_message_unref(message); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

class Error
{
public:
    Error() { dbus_error_init(&m_error); }
    ~Error() { dbus_error_free(&m_error); }
    Error(const Error &) = delete;
    Error &operator=(const Error &) = delete;
    DBusError *get() { return &m_error; }

private:
    DBusError m_error;
};

// A connection of our own (never libdbus's shared one), registered on the bus; none when
// no address of the list leads to a bus that completes the handshake.
Connection connectToBus(const std::string &address)
{
    Error error;
    Connection connection(dbus_connection_open_private(address.c_str(), error.get()));
    if (!connection) {
        return {};
    }
    const auto deadline = std::chrono::steady_clock::now() + kHandshakeLimit;
    while (!dbus_connection_get_is_authenticated(connection.get())) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !dbus_connection_get_is_connected(connection.get())) {
            return {};
        }
        dbus_connection_read_write(connection.get(), static_cast<int>(std::min<std::int64_t>(left.count(), 1000)));
    }
    // The Hello; from here on libdbus's own reply timeout bounds the wait.
    if (!dbus_bus_register(connection.get(), error.get())) {
        return {};
    }
    return connection;
}

// Whether a connection made earlier still stands. Whatever arrived on it since (the
// answers to earlier requests, which nobody reads) is dropped on the way.
bool stillConnected(DBusConnection *connection)
{
    dbus_connection_read_write(connection, 0);
    while (DBusMessage *arrived = dbus_connection_pop_message(connection)) {
        dbus_message_unref(arrived);
    }
    return dbus_connection_get_is_connected(connection);
}

// Sends Manager.PowerOff(true) or Manager.Reboot(true) and waits until it is written, not
// for its answer: a refusal or an error reply is dropped. False if the connection broke.
bool sendRequest(DBusConnection *connection, const char *method)
{
    const Message call(dbus_message_new_method_call(kService, kPath, kManager, method));
    if (!call) {
        return false;
    }
    // interactive = true: polkit may ask the user, as the session-end dialog would.
    dbus_bool_t interactive = TRUE;
    dbus_message_append_args(call.get(), DBUS_TYPE_BOOLEAN, &interactive, DBUS_TYPE_INVALID);
    dbus_message_set_allow_interactive_authorization(call.get(), TRUE);
    if (!dbus_connection_send(connection, call.get(), nullptr)) {
        return false;
    }
    dbus_connection_flush(connection);
    return dbus_connection_get_is_connected(connection);
}

} // namespace

// Takes requests from the window's thread and carries them out on a thread of its own,
// one at a time. The connection is kept while it stands (polkit looks at the caller
// while it decides, so the caller stays on the bus) and made afresh after any failure.
class LogindPowerPlatform::Sender : public std::enable_shared_from_this<Sender>
{
public:
    explicit Sender(std::string address) : m_address(std::move(address)) {}

    // Requests wait in turn while an earlier one is on its way, so none is lost; one equal to
    // the last waiting request joins it (the two requests of one second may become one).
    void post(const char *method)
    {
        const std::lock_guard lock(m_mutex);
        if (m_waiting.empty() || m_waiting.back() != method) {
            if (m_waiting.size() == kMostWaiting) {
                m_waiting.pop_back(); // the newest choice stands in for the one before it
            }
            m_waiting.push_back(method);
        }
        if (!m_thread.joinable()) {
            m_thread = std::thread(&Sender::run, shared_from_this());
        }
        m_changed.notify_all();
    }

    // Lets the thread end once nothing is left; a thread still busy after the grace (a bus
    // that hangs) is let go and ends with the process.
    void finish(std::chrono::milliseconds grace)
    {
        std::unique_lock lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
        const bool idle = m_changed.wait_for(lock, grace, [this] { return m_waiting.empty() && !m_busy; });
        lock.unlock();
        if (!m_thread.joinable()) {
            return;
        }
        if (idle) {
            m_thread.join();
        } else {
            m_thread.detach();
        }
    }

private:
    static void run(const std::shared_ptr<Sender> &self) { self->serve(); }

    void serve()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return !m_waiting.empty() || m_stopping; });
            if (m_waiting.empty()) {
                return;
            }
            const char *method = m_waiting.front();
            m_waiting.pop_front();
            m_busy = true;
            lock.unlock();
            deliver(method);
            lock.lock();
            m_busy = false;
            m_changed.notify_all();
        }
    }

    // Thread only. A connection found broken is replaced once; when a fresh one fails too
    // the request is dropped silently, and the next request tries afresh.
    void deliver(const char *method)
    {
        if (m_connection && !stillConnected(m_connection.get())) {
            m_connection.reset();
        }
        for (;;) {
            const bool fresh = !m_connection;
            if (fresh) {
                m_connection = connectToBus(m_address);
                if (!m_connection) {
                    return;
                }
            }
            if (sendRequest(m_connection.get(), method)) {
                return;
            }
            m_connection.reset();
            if (fresh) {
                return;
            }
        }
    }

    const std::string m_address;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<const char *> m_waiting; // the methods of the requests not yet taken, oldest first
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
    Connection m_connection; // the thread's alone
};

LogindPowerPlatform::LogindPowerPlatform(std::string busAddress)
    : m_sender(std::make_shared<Sender>(std::move(busAddress)))
{
}

LogindPowerPlatform::~LogindPowerPlatform()
{
    m_sender->finish(kExitGrace);
}

std::string LogindPowerPlatform::systemBusAddress()
{
    // Read on the window's thread, before any sender thread starts.
    const char *address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS"); // NOLINT(concurrency-mt-unsafe)
    return address != nullptr && *address != '\0' ? address : kDefaultSystemBus;
}

void LogindPowerPlatform::exitWindows(ExitFlags flags, std::uint32_t /*reason*/)
{
    if (flags == kExitPowerOff) {
        m_sender->post("PowerOff");
    } else if (flags == kExitReboot) {
        m_sender->post("Reboot");
    }
}

std::unique_ptr<PowerPlatform> createPowerPlatform()
{
    return std::make_unique<LogindPowerPlatform>();
}

} // namespace quietwatch
