#include "linuxkeepawake.h"

#include "dbusworker.h"
#include "keepawakeplatform.h"

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace quietwatch {

namespace {

constexpr const char *kReason = "設定した時刻の電源操作を待っています";
constexpr dbus_uint32_t kPortalSuspend = 4; // the portal's flag for suspending, idle or not
enum JobKind
{
    kHold,
    kRelease
};

// Calls a method and waits for its answer (on the worker's thread; the window never waits
// on it) as long as libdbus gives a reply, 25 s: a portal started on first use may be slow
// while it waits for its backend. Nothing on an error.
dbus::Message call(DBusConnection *bus, DBusMessage *message)
{
    DBusError error;
    dbus_error_init(&error);
    dbus::Message reply(dbus_connection_send_with_reply_and_block(bus, message, DBUS_TIMEOUT_USE_DEFAULT, &error));
    dbus_error_free(&error);
    return reply;
}

// org.freedesktop.portal.Inhibit.Inhibit("", suspend, {"reason": reason}): the request's path.
std::string portalInhibit(DBusConnection *bus)
{
    const dbus::Message message(dbus_message_new_method_call("org.freedesktop.portal.Desktop",
                                                             "/org/freedesktop/portal/desktop",
                                                             "org.freedesktop.portal.Inhibit", "Inhibit"));
    if (!message) {
        return {};
    }
    const char *window = "";
    const char *key = "reason";
    const char *reason = kReason;
    DBusMessageIter args;
    DBusMessageIter options;
    DBusMessageIter entry;
    DBusMessageIter value;
    dbus_message_iter_init_append(message.get(), &args);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &window);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_UINT32, &kPortalSuspend);
    dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "{sv}", &options);
    dbus_message_iter_open_container(&options, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "s", &value);
    dbus_message_iter_append_basic(&value, DBUS_TYPE_STRING, &reason);
    dbus_message_iter_close_container(&entry, &value);
    dbus_message_iter_close_container(&options, &entry);
    dbus_message_iter_close_container(&args, &options);

    const dbus::Message reply = call(bus, message.get());
    const char *path = nullptr;
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID)) {
        return {};
    }
    return path;
}

// org.freedesktop.login1.Manager.Inhibit("idle", "Quietwatch", reason, "block"): the
// descriptor that holds the inhibitor, or -1.
int logindInhibit(DBusConnection *bus)
{
    const dbus::Message message(dbus_message_new_method_call("org.freedesktop.login1", "/org/freedesktop/login1",
                                                             "org.freedesktop.login1.Manager", "Inhibit"));
    if (!message) {
        return -1;
    }
    const char *what = "idle";
    const char *who = "Quietwatch";
    const char *why = kReason;
    const char *mode = "block";
    dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &what, DBUS_TYPE_STRING, &who, DBUS_TYPE_STRING, &why,
                             DBUS_TYPE_STRING, &mode, DBUS_TYPE_INVALID);
    const dbus::Message reply = call(bus, message.get());
    int descriptor = -1; // a copy of our own
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UNIX_FD, &descriptor, DBUS_TYPE_INVALID)) {
        return -1;
    }
    return descriptor;
}

} // namespace

// The worker's side: the buses, their connections and what is held on them.
struct LinuxKeepAwake::Inhibition
{
    InhibitBuses buses;
    dbus::Connection session;
    dbus::Connection system;
    std::string portalRequest; // the portal's request object while it holds
    int logindInhibitor = -1;  // the inhibitor lasts as long as this descriptor

    Inhibition(const Inhibition &) = delete;
    Inhibition &operator=(const Inhibition &) = delete;
    explicit Inhibition(InhibitBuses b) : buses(std::move(b)) {}
    ~Inhibition() { letGo(); }

    // A call that ends without a usable answer (no answer in time, an error, a reply of
    // the wrong shape) may still have made something on the bus: a portal request whose
    // handle we never learnt, an inhibitor whose descriptor sits unread in the socket. Its
    // connection is dropped, and the bus ends what it made for it.
    void inhibit()
    {
        if (!portalRequest.empty() || logindInhibitor >= 0) {
            return;
        }
        if (DBusConnection *bus = connection(session, buses.session)) {
            portalRequest = portalInhibit(bus);
            if (!portalRequest.empty()) {
                return;
            }
            session.reset();
        }
        if (DBusConnection *bus = connection(system, buses.system)) {
            logindInhibitor = logindInhibit(bus);
            if (logindInhibitor < 0) {
                system.reset();
            }
        }
        // Neither answered: silent; the target still fires if the machine stays awake.
    }

    void letGo()
    {
        if (!portalRequest.empty()) {
            if (DBusConnection *bus = connection(session, buses.session)) {
                const dbus::Message close(dbus_message_new_method_call("org.freedesktop.portal.Desktop",
                                                                       portalRequest.c_str(),
                                                                       "org.freedesktop.portal.Request", "Close"));
                if (close && dbus_connection_send(bus, close.get(), nullptr)) {
                    dbus_connection_flush(bus);
                }
            }
            portalRequest.clear();
        }
        if (logindInhibitor >= 0) {
            ::close(logindInhibitor);
            logindInhibitor = -1;
        }
    }

    static DBusConnection *connection(dbus::Connection &kept, const std::string &address)
    {
        return address.empty() ? nullptr : dbus::keptOrFresh(kept, address);
    }
};

InhibitBuses InhibitBuses::fromEnvironment()
{
    // Read on the window's thread, before any worker starts.
    const auto variable = [](const char *name) {
        const char *value = std::getenv(name); // NOLINT(concurrency-mt-unsafe)
        return std::string(value != nullptr ? value : "");
    };
    InhibitBuses buses{variable("DBUS_SESSION_BUS_ADDRESS"), variable("DBUS_SYSTEM_BUS_ADDRESS")};
    if (buses.session.empty()) {
        const std::string runtimeDir = variable("XDG_RUNTIME_DIR");
        const std::string socket = runtimeDir + "/bus";
        if (!runtimeDir.empty() && ::access(socket.c_str(), F_OK) == 0) {
            buses.session = "unix:path=" + socket;
        }
    }
    if (buses.system.empty()) {
        buses.system = "unix:path=/var/run/dbus/system_bus_socket"; // libdbus's default
    }
    return buses;
}

LinuxKeepAwake::LinuxKeepAwake(InhibitBuses buses)
    : m_inhibition(std::make_shared<Inhibition>(std::move(buses))), m_worker(std::make_unique<dbus::Worker>())
{
}

LinuxKeepAwake::~LinuxKeepAwake()
{
    if (m_held) {
        release();
    }
    m_worker.reset(); // waits for the release, or lets a stuck worker go
}

void LinuxKeepAwake::hold()
{
    m_held = true; // from here on the worker's thread runs
    m_worker->post(kHold, [inhibition = m_inhibition] { inhibition->inhibit(); });
}

void LinuxKeepAwake::release()
{
    m_worker->post(kRelease, [inhibition = m_inhibition] { inhibition->letGo(); });
}

std::unique_ptr<KeepAwake> createKeepAwake()
{
    return std::make_unique<LinuxKeepAwake>();
}

} // namespace quietwatch
