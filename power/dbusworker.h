#pragma once

// Linux: what the power request and the idle-sleep inhibition share. Each talks to its
// buses through libdbus on a worker thread of its own, one job at a time in the order asked,
// so the window never waits on a bus, however slow or hung. libdbus rather than Qt DBus:
// Qt makes every connection on one shared thread and holds the caller until it is made, so
// one hung bus would stall every Qt DBus user of the process.

#include <chrono>
#include <dbus/dbus.h>
#include <functional>
#include <memory>
#include <string>

namespace quietwatch::dbus {

struct ConnectionCloser
{
    void operator()(DBusConnection *connection) const;
};
// Always a private connection of our own, never libdbus's shared one.
using Connection = std::unique_ptr<DBusConnection, ConnectionCloser>;

struct MessageUnref
{
    void operator()(DBusMessage *message) const { dbus_message_unref(message); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

// A connection registered on the bus, trying each address of a ';'-separated list in turn
// (open, handshake, Hello) and taking the first that completes; none when no address does.
// An address with others after it gets 5 s, the last as long as libdbus gives a reply (25 s),
// the socket's connect included; an address whose connect still hangs from an earlier try is
// passed over at once.
Connection connect(const std::string &addresses);

// The connection kept in `kept` if it still stands (whatever arrived on it meanwhile is
// dropped), otherwise a fresh one, kept there in its place; nullptr if none can be made.
DBusConnection *keptOrFresh(Connection &kept, const std::string &address);

// Calls a method and waits for its answer as long as libdbus gives one (25 s), on the calling
// (worker's) thread. Nothing on an error; the error's name in `errorName` where one is given.
Message callAndWait(DBusConnection *bus, DBusMessage *message, std::string *errorName = nullptr);

// Runs jobs on a thread of its own, started with the first job. A job of the same kind as
// the last one still waiting joins it; at most two wait, the newest taking the place of
// the one before. Jobs must own what they use.
//
// Destroying a worker while another still stands returns at once, its jobs left going on;
// destroying the last one gives the jobs left of all of them two seconds in all, one
// deadline shared, then lets a thread stuck on a hung bus go: it ends with the process.
// So the program's exit waits at most two seconds, however many workers are stuck.
class Worker
{
public:
    using Job = std::function<void()>;

    Worker();
    ~Worker();
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    void post(int kind, Job job);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace quietwatch::dbus
