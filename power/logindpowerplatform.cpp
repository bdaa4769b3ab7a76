#include "logindpowerplatform.h"

#include "dbusworker.h"
#include "powerplatform.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace quietwatch {

namespace {

constexpr const char *kService = "org.freedesktop.login1";
constexpr const char *kPath = "/org/freedesktop/login1";
constexpr const char *kManager = "org.freedesktop.login1.Manager";
constexpr const char *kDefaultSystemBus = "unix:path=/var/run/dbus/system_bus_socket"; // libdbus's default

// Sends Manager.PowerOff(true) or Manager.Reboot(true) and waits until it is written, not
// for its answer. Its serial, by which the answer is known; 0 if the connection broke.
dbus_uint32_t sendRequest(DBusConnection *connection, const char *method)
{
    const dbus::Message call(dbus_message_new_method_call(kService, kPath, kManager, method));
    if (!call) {
        return 0;
    }
    // interactive = true: polkit may ask the user, as the session-end dialog would.
    dbus_bool_t interactive = TRUE;
    dbus_message_append_args(call.get(), DBUS_TYPE_BOOLEAN, &interactive, DBUS_TYPE_INVALID);
    dbus_message_set_allow_interactive_authorization(call.get(), TRUE);
    dbus_uint32_t serial = 0;
    if (!dbus_connection_send(connection, call.get(), &serial)) {
        return 0;
    }
    dbus_connection_flush(connection);
    return dbus_connection_get_is_connected(connection) ? serial : 0;
}

} // namespace

// The sender's side, owned by its jobs. The connection is kept while it stands (polkit
// looks at the caller while it decides, so the caller stays on the bus) and made afresh
// after any failure.
struct LogindPowerPlatform::Link
{
    using Moment = std::chrono::steady_clock::time_point;

    struct Awaited
    {
        std::string_view method; // cppcheck-suppress unusedStructMember ; compared in deliver()
        dbus_uint32_t serial = 0;
        Moment asked;
    };

    std::string address;
    dbus::Connection connection;
    std::optional<Awaited> awaited; // the last request sent on `connection`, until its answer

    // The last request while it still waits for logind's answer, else none; the answer, or the
    // end of its connection, ends the wait. Whatever else arrived is dropped.
    const Awaited *stillAwaited()
    {
        if (!awaited || !connection) {
            return nullptr;
        }
        dbus_connection_read_write(connection.get(), 0);
        while (DBusMessage *arrived = dbus_connection_pop_message(connection.get())) {
            if (awaited && dbus_message_get_reply_serial(arrived) == awaited->serial) {
                awaited.reset();
            }
            dbus_message_unref(arrived);
        }
        if (!dbus_connection_get_is_connected(connection.get())) {
            awaited.reset();
        }
        return awaited ? &*awaited : nullptr;
    }

    // A connection found broken is replaced once; when a fresh one fails too the request
    // is dropped silently, and the next request tries afresh.
    void deliver(const char *method, Moment asked)
    {
        // The ticks of one second are less than a second apart. While the request of the first
        // still waits for its answer (polkit may be asking for a password), the next would only
        // ask the user again; one that failed without an answer is repeated.
        if (const Awaited *last = stillAwaited();
            last != nullptr && last->method == method && asked - last->asked < std::chrono::seconds(1)) {
            return;
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            const bool fresh = !connection;
            DBusConnection *bus = dbus::keptOrFresh(connection, address);
            if (bus == nullptr) {
                return;
            }
            if (const dbus_uint32_t serial = sendRequest(bus, method)) {
                awaited = Awaited{method, serial, asked};
                return;
            }
            connection.reset();
            awaited.reset();
            if (fresh) {
                return;
            }
        }
    }
};

LogindPowerPlatform::LogindPowerPlatform(std::string busAddress)
    : m_link(std::make_shared<Link>(Link{std::move(busAddress), {}, {}})), m_sender(std::make_unique<dbus::Worker>())
{
}

LogindPowerPlatform::~LogindPowerPlatform() = default;

std::string LogindPowerPlatform::systemBusAddress()
{
    // Read on the window's thread, before any sender thread starts.
    const char *address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS"); // NOLINT(concurrency-mt-unsafe)
    return address != nullptr && *address != '\0' ? address : kDefaultSystemBus;
}

void LogindPowerPlatform::exitWindows(ExitFlags flags, std::uint32_t /*reason*/)
{
    const char *method = flags == kExitPowerOff ? "PowerOff" : flags == kExitReboot ? "Reboot" : nullptr;
    if (method != nullptr) {
        // Requests wait their turn while an earlier one is on its way, so none is lost; the two
        // requests of one second may become one.
        m_sender->post(static_cast<int>(flags), [link = m_link, method, asked = std::chrono::steady_clock::now()] {
            link->deliver(method, asked);
        });
    }
}

std::unique_ptr<PowerPlatform> createPowerPlatform()
{
    return std::make_unique<LogindPowerPlatform>();
}

} // namespace quietwatch
