#include "dbusworker.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace quietwatch::dbus {

namespace {

constexpr std::chrono::milliseconds kHandshakeLimit{25000};
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

} // namespace

void ConnectionCloser::operator()(DBusConnection *connection) const
{
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

Connection connect(const std::string &address)
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
    std::thread thread;

    static void serve(const std::shared_ptr<State> &self)
    {
        std::unique_lock lock(self->mutex);
        for (;;) {
            self->changed.wait(lock, [&] { return !self->waiting.empty() || self->stopping; });
            if (self->waiting.empty()) {
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

Worker::Worker() : m_state(std::make_shared<State>()) {}

Worker::~Worker()
{
    std::unique_lock lock(m_state->mutex);
    m_state->stopping = true;
    m_state->changed.notify_all();
    const bool idle =
        m_state->changed.wait_for(lock, kExitGrace, [this] { return m_state->waiting.empty() && !m_state->busy; });
    lock.unlock();
    if (!m_state->thread.joinable()) {
        return;
    }
    if (idle) {
        m_state->thread.join();
    } else {
        m_state->thread.detach(); // it holds the state, which outlives this object
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
