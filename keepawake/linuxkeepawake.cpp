#include "linuxkeepawake.h"

#include "dbusworker.h"
#include "keepawakeplatform.h"
#include "userwaketimer.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace quietwatch {

namespace {

constexpr const char *kReason = "設定した時刻の電源操作を待っています";
constexpr dbus_uint32_t kPortalSuspend = 4; // the portal's flag for suspending, idle or not
// The one kind of job: bring the buses to what the window wants now. Jobs of one kind
// waiting together join, and each reads the wish as it stands when it runs.
constexpr int kSettle = 0;
constexpr const char *kResumeMatch = "type='signal',sender='org.freedesktop.login1',path='/org/freedesktop/login1',"
                                     "interface='org.freedesktop.login1.Manager',member='PrepareForSleep'";

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

    const dbus::Message reply = dbus::callAndWait(bus, message.get()); // a portal started on first use may be slow
    const char *path = nullptr;
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID)) {
        return {};
    }
    return path;
}

// org.freedesktop.login1.Manager.Inhibit(what, "Quietwatch", reason, "block"): the
// descriptor that holds the inhibitor, or -1.
int logindInhibit(DBusConnection *bus, const char *what)
{
    const dbus::Message message(dbus_message_new_method_call("org.freedesktop.login1", "/org/freedesktop/login1",
                                                             "org.freedesktop.login1.Manager", "Inhibit"));
    if (!message) {
        return -1;
    }
    const char *who = "Quietwatch";
    const char *why = kReason;
    const char *mode = "block";
    dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &what, DBUS_TYPE_STRING, &who, DBUS_TYPE_STRING, &why,
                             DBUS_TYPE_STRING, &mode, DBUS_TYPE_INVALID);
    const dbus::Message reply = dbus::callAndWait(bus, message.get());
    int descriptor = -1; // a copy of our own
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UNIX_FD, &descriptor, DBUS_TYPE_INVALID)) {
        return -1;
    }
    return descriptor;
}

// logind's PrepareForSleep(false): the machine has resumed.
bool isResume(DBusMessage *message)
{
    dbus_bool_t sleeping = TRUE;
    return dbus_message_is_signal(message, "org.freedesktop.login1.Manager", "PrepareForSleep") &&
           dbus_message_get_args(message, nullptr, DBUS_TYPE_BOOLEAN, &sleeping, DBUS_TYPE_INVALID) && !sleeping;
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

// The worker's side: the buses, their connections and what is held on them; and what the
// window wants, which it writes and the worker reads.
struct LinuxKeepAwake::Inhibition
{
    struct Wish
    {
        bool held = false;
        std::optional<std::chrono::sys_seconds> wake;
        bool up = false;
    };

    InhibitBuses buses;
    dbus::Connection session;
    dbus::Connection system;
    std::string portalRequest;                         // the portal's request object while it holds
    int logindInhibitor = -1;                          // the inhibitor lasts as long as this descriptor
    int lidInhibitor = -1;                             // the same for the closed lid, only while kept up
    std::optional<std::chrono::sys_seconds> wakeAsked; // asked of the user manager, taken or not
    bool wakeStanding = false;                         // the manager took it
    const DBusConnection *watched = nullptr;           // the system connection that hears of resumes
    // A new wish ends the listening; made with the first wish, so an idle program has none.
    std::optional<Descriptor> poke;
    int pokeDescriptor() const { return poke ? poke->get() : -1; }

    std::mutex mutex; // guards what follows, written by the window's thread
    Wish wish;
    std::mutex handlerMutex;
    std::function<void()> onResume;

    Inhibition(const Inhibition &) = delete;
    Inhibition &operator=(const Inhibition &) = delete;
    explicit Inhibition(InhibitBuses b) : buses(std::move(b)) {}
    ~Inhibition()
    {
        letGo();
        keepUp(false);
    }

    void want(const auto &change)
    {
        if (!poke) {
            poke.emplace(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        }
        {
            const std::lock_guard lock(mutex);
            change(wish);
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(poke->get(), &one, sizeof one);
    }

    // The worker's job. While held it then listens for resumes, until the next wish.
    void settle()
    {
        std::uint64_t pokes = 0;
        [[maybe_unused]] const auto read = ::read(pokeDescriptor(), &pokes, sizeof pokes);
        Wish now;
        {
            const std::lock_guard lock(mutex);
            now = wish;
        }
        if (now.held) {
            inhibit();
        } else {
            letGo();
        }
        askWake(now.held ? now.wake : std::nullopt);
        keepUp(now.held && now.up);
        if (now.held) {
            listen();
        }
    }

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
            logindInhibitor = logindInhibit(bus, "idle");
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

    // The user manager's timer, replaced when the moment changes; a manager that is missing
    // or refuses is asked again only for another moment.
    void askWake(std::optional<std::chrono::sys_seconds> moment)
    {
        if (moment == wakeAsked) {
            return;
        }
        wakeAsked = moment;
        DBusConnection *bus = connection(session, buses.session);
        if (bus == nullptr) {
            wakeStanding = false;
        } else if (moment) {
            wakeStanding = userwake::start(bus, *moment);
        } else if (wakeStanding) {
            userwake::stop(bus);
            wakeStanding = false;
        }
    }

    // logind suspends a machine woken with its lid closed again after a short hold-off,
    // unless the lid switch's handling is blocked.
    void keepUp(bool up)
    {
        if (up && lidInhibitor < 0) {
            if (DBusConnection *bus = connection(system, buses.system)) {
                lidInhibitor = logindInhibit(bus, "handle-lid-switch");
            }
        } else if (!up && lidInhibitor >= 0) {
            ::close(lidInhibitor);
            lidInhibitor = -1;
        }
    }

    // Waits for logind's resume signals on the system bus, until the window wants something
    // new (or the connection ends). A wait of the poll: no wake-up while nothing happens.
    void listen()
    {
        DBusConnection *bus = connection(system, buses.system);
        int socket = -1;
        if (bus == nullptr || !dbus_connection_get_unix_fd(bus, &socket)) {
            return;
        }
        if (watched != bus) {
            dbus_bus_add_match(bus, kResumeMatch, nullptr); // sent without waiting for the answer
            dbus_connection_flush(bus);
            watched = bus;
        }
        for (;;) {
            while (DBusMessage *arrived = dbus_connection_pop_message(bus)) {
                const dbus::Message message(arrived);
                if (isResume(arrived)) {
                    const std::lock_guard lock(handlerMutex);
                    if (onResume) {
                        onResume();
                    }
                }
            }
            if (!dbus_connection_get_is_connected(bus)) {
                system.reset();
                watched = nullptr;
                return;
            }
            std::array<pollfd, 2> waits{pollfd{socket, POLLIN, 0}, pollfd{pokeDescriptor(), POLLIN, 0}};
            if (::poll(waits.data(), waits.size(), -1) < 0 && errno != EINTR) {
                return;
            }
            if (waits[1].revents != 0) {
                return; // a new wish: the next job settles it
            }
            dbus_connection_read_write(bus, 0);
        }
    }

    DBusConnection *connection(dbus::Connection &kept, const std::string &address)
    {
        if (address.empty()) {
            return nullptr;
        }
        const DBusConnection *before = kept.get();
        DBusConnection *bus = dbus::keptOrFresh(kept, address);
        if (&kept == &system && bus != before) {
            watched = nullptr; // a fresh connection has no match yet
        }
        return bus;
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
    onResume({});
    if (m_held) {
        m_inhibition->want([](Inhibition::Wish &wish) { wish = {}; });
        post();
    }
    m_worker.reset(); // waits for the letting go, or lets a stuck worker go
}

void LinuxKeepAwake::hold()
{
    m_held = true; // from here on the worker's thread runs
    m_inhibition->want([](Inhibition::Wish &wish) { wish.held = true; });
    post();
}

void LinuxKeepAwake::release()
{
    m_inhibition->want([](Inhibition::Wish &wish) { wish.held = false; });
    post();
}

void LinuxKeepAwake::wakeAt(std::optional<std::chrono::sys_seconds> moment)
{
    m_inhibition->want([moment](Inhibition::Wish &wish) { wish.wake = moment; });
    post();
}

void LinuxKeepAwake::stayUp(bool up)
{
    m_inhibition->want([up](Inhibition::Wish &wish) { wish.up = up; });
    post();
}

void LinuxKeepAwake::onResume(std::function<void()> handler)
{
    const std::lock_guard lock(m_inhibition->handlerMutex);
    m_inhibition->onResume = std::move(handler);
}

void LinuxKeepAwake::post()
{
    if (m_held) {
        m_worker->post(kSettle, [inhibition = m_inhibition] { inhibition->settle(); });
    }
}

std::unique_ptr<KeepAwake> createKeepAwake()
{
    return std::make_unique<LinuxKeepAwake>();
}

} // namespace quietwatch
