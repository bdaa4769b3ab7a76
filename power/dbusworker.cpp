#include "dbusworker.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace quietwatch::dbus {

namespace {

// How long an address of a list may take to complete its handshake and Hello before the
// next is tried; the last one, with nothing after it, gets libdbus's own reply limit.
constexpr std::chrono::milliseconds kTryLimit{5000};
constexpr std::chrono::milliseconds kLastTryLimit{25000};
constexpr std::chrono::milliseconds kExitGrace{2000};
constexpr std::size_t kMostWaiting = 2;

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

// The addresses whose open outlived its limit and still hangs on its own thread, once for each
// such thread. Never destroyed: a thread may end after main() has returned.
struct Stuck
{
    std::mutex mutex;
    std::multiset<std::string> addresses;

    static Stuck &get()
    {
        static Stuck *const stuck = new Stuck;
        return *stuck;
    }
};

// dbus_connection_open_private connects a blocking socket, which a listener that no longer
// accepts holds without end and a host that drops packets for minutes. So the open runs on a
// thread of its own, and one still going at the deadline is left to finish alone: it closes
// what it opens, whenever that is. While it hangs, its address is not tried again at all.
Connection openBy(const std::string &address, std::chrono::steady_clock::time_point deadline)
{
    struct Opening
    {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        bool abandoned = false;
        Connection connection;
    };
    Stuck &stuck = Stuck::get();
    {
        const std::lock_guard lock(stuck.mutex);
        if (stuck.addresses.contains(address)) {
            return {};
        }
    }
    const auto opening = std::make_shared<Opening>();
    try {
        std::thread([opening, address] {
            Error error;
            Connection connection(dbus_connection_open_private(address.c_str(), error.get()));
            std::unique_lock lock(opening->mutex);
            if (!opening->abandoned) {
                opening->connection = std::move(connection);
                opening->done = true;
                opening->finished.notify_all();
                return;
            }
            lock.unlock();
            Stuck &stuck = Stuck::get();
            const std::lock_guard stuckLock(stuck.mutex);
            stuck.addresses.erase(stuck.addresses.find(address));
        }).detach();
    } catch (const std::system_error &) {
        return {};
    }
    std::unique_lock lock(opening->mutex);
    if (!opening->finished.wait_until(lock, deadline, [&] { return opening->done; })) {
        opening->abandoned = true;
        const std::lock_guard stuckLock(stuck.mutex);
        stuck.addresses.insert(address);
        return {};
    }
    return std::move(opening->connection);
}

// One address (no ';'): open, authenticate and say Hello, all within `limit`.
Connection connectOne(const std::string &address, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Error error;
    Connection connection = openBy(address, deadline);
    if (!connection) {
        return {};
    }
    const auto left = [&] {
        const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::clamp<std::int64_t>(rest.count(), 0, limit.count()));
    };
    // libdbus would wait for the handshake without limit; it is pumped here instead.
    while (!dbus_connection_get_is_authenticated(connection.get())) {
        if (left() == 0 || !dbus_connection_get_is_connected(connection.get())) {
            return {};
        }
        dbus_connection_read_write(connection.get(), std::min(left(), 1000));
    }
    // What dbus_bus_register() does, but with a reply limit of our own.
    const Message hello(dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello"));
    if (!hello || left() == 0) {
        return {};
    }
    const Message reply(dbus_connection_send_with_reply_and_block(connection.get(), hello.get(), left(), error.get()));
    const char *name = nullptr;
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID) ||
        !dbus_bus_set_unique_name(connection.get(), name)) {
        return {};
    }
    return connection;
}

} // namespace

void ConnectionCloser::operator()(DBusConnection *connection) const
{
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

Connection connect(const std::string &addresses)
{
    // libdbus itself moves on only when a socket cannot be opened, and then stays with a bus
    // that takes the connection but never completes it. A ';' inside a value is %-escaped,
    // so the split is exact.
    std::vector<std::string> entries;
    for (std::size_t begin = 0; begin <= addresses.size();) {
        const std::size_t end = std::min(addresses.find(';', begin), addresses.size());
        if (end > begin) {
            entries.push_back(addresses.substr(begin, end - begin));
        }
        begin = end + 1;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (Connection connection = connectOne(entries[i], i + 1 < entries.size() ? kTryLimit : kLastTryLimit)) {
            return connection;
        }
    }
    return {};
}

Message callAndWait(DBusConnection *bus, DBusMessage *message, std::string *errorName)
{
    Error error;
    Message reply(dbus_connection_send_with_reply_and_block(bus, message, DBUS_TIMEOUT_USE_DEFAULT, error.get()));
    if (errorName != nullptr && dbus_error_is_set(error.get())) {
        *errorName = error.get()->name;
    }
    return reply;
}

DBusConnection *keptOrFresh(Connection &kept, const std::string &address)
{
    if (kept) {
        dbus_connection_read_write(kept.get(), 0);
        while (DBusMessage *arrived = dbus_connection_pop_message(kept.get())) {
            dbus_message_unref(arrived);
        }
        if (dbus_connection_get_is_connected(kept.get())) {
            return kept.get();
        }
    }
    kept = connect(address);
    return kept.get();
}

struct Worker::State
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<int, Job>> waiting;
    bool busy = false;
    bool stopping = false;
    bool ended = false; // serve() has returned
    std::thread thread;

    bool idle() const { return waiting.empty() && !busy; }

    // The workers not yet destroyed, and the threads of destroyed ones that have not been
    // joined: the last worker to go gives them all one grace, so that the program's exit
    // waits kExitGrace in all, not kExitGrace for each.
    struct Fleet
    {
        std::mutex mutex;
        int standing = 0;
        std::vector<std::shared_ptr<State>> stopped;

        static Fleet &get()
        {
            static Fleet fleet;
            return fleet;
        }
        Fleet() = default;
        Fleet(const Fleet &) = delete;
        Fleet &operator=(const Fleet &) = delete;
        ~Fleet()
        {
            for (const auto &state : stopped) {
                if (state->thread.joinable()) { // a worker still stood when the process ended
                    state->thread.detach();
                }
            }
        }
    };

    // Joins the thread if it ends by `deadline`, otherwise lets it go: it ends with the process.
    void finish(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock lock(mutex);
        const bool done = changed.wait_until(lock, deadline, [this] { return ended || idle(); });
        lock.unlock();
        if (done) {
            thread.join();
        } else {
            thread.detach(); // it holds the state, which outlives its worker
        }
    }

    static void serve(const std::shared_ptr<State> &self)
    {
        std::unique_lock lock(self->mutex);
        for (;;) {
            self->changed.wait(lock, [&] { return !self->waiting.empty() || self->stopping; });
            if (self->waiting.empty()) {
                self->ended = true;
                self->changed.notify_all();
                return;
            }
            Job job = std::move(self->waiting.front().second);
            self->waiting.pop_front();
            self->busy = true;
            lock.unlock();
            job();
            job = nullptr; // what it owns goes on this thread, outside the lock
            lock.lock();
            self->busy = false;
            self->changed.notify_all();
        }
    }
};

Worker::Worker() : m_state(std::make_shared<State>())
{
    auto &fleet = State::Fleet::get();
    const std::lock_guard lock(fleet.mutex);
    ++fleet.standing;
}

Worker::~Worker()
{
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        m_state->changed.notify_all();
    }
    auto &fleet = State::Fleet::get();
    std::vector<std::shared_ptr<State>> stopped;
    {
        const std::lock_guard lock(fleet.mutex);
        if (m_state->thread.joinable()) {
            fleet.stopped.push_back(m_state);
        }
        if (--fleet.standing > 0) {
            // Another worker still stands; this one's jobs go on meanwhile, and the last to
            // go waits for them. Threads that have ended are joined now.
            std::erase_if(fleet.stopped, [](const std::shared_ptr<State> &state) {
                const std::lock_guard stateLock(state->mutex);
                if (state->ended) {
                    state->thread.join(); // returns at once: serve() has returned
                }
                return state->ended;
            });
            return;
        }
        stopped.swap(fleet.stopped);
    }
    const auto deadline = std::chrono::steady_clock::now() + kExitGrace;
    for (const auto &state : stopped) {
        state->finish(deadline);
    }
}

void Worker::post(int kind, Job job)
{
    const std::lock_guard lock(m_state->mutex);
    auto &waiting = m_state->waiting;
    if (!waiting.empty() && waiting.back().first == kind) {
        return;
    }
    if (waiting.size() == kMostWaiting) {
        waiting.pop_back();
    }
    waiting.emplace_back(kind, std::move(job));
    if (!m_state->thread.joinable()) {
        m_state->thread = std::thread(&State::serve, m_state);
    }
    m_state->changed.notify_all();
}

} // namespace quietwatch::dbus
