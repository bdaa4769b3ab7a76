#pragma once

// Linux: the desktop's own inhibition through the XDG desktop portal on the session bus
// (GNOME and KDE honour it), or, where no portal answers, logind's idle inhibitor on the
// system bus. The wake is a timer of the user's service manager (userwaketimer.h); while
// held the worker hears logind's resumes, and keeping the machine up after one blocks the
// lid switch's handling. Every bus call runs on a worker thread of its own, started on the
// first hold: a missing, refusing or hung bus never holds up the window, and an idle program
// never touches D-Bus.

#include "keepawake.h"

#include <memory>
#include <string>

namespace quietwatch {

namespace dbus {
class Worker;
}

// The addresses of the two buses; an empty one is not used.
struct InhibitBuses
{
    std::string session;
    std::string system;

    // From the environment. Without DBUS_SESSION_BUS_ADDRESS only $XDG_RUNTIME_DIR/bus is
    // tried: libdbus would otherwise autolaunch a bus daemon that outlives the program.
    static InhibitBuses fromEnvironment();
};

class LinuxKeepAwake final : public KeepAwake
{
public:
    explicit LinuxKeepAwake(InhibitBuses buses = InhibitBuses::fromEnvironment());
    // Lets go and gives the worker two seconds, shared with the power sender's (dbus::Worker);
    // a worker stuck on a hung bus is left to the end of the process, which drops the
    // inhibition with the connection.
    ~LinuxKeepAwake() override;
    LinuxKeepAwake(const LinuxKeepAwake &) = delete;
    LinuxKeepAwake &operator=(const LinuxKeepAwake &) = delete;

    void hold() override;
    void release() override;
    void wakeAt(std::optional<std::chrono::sys_seconds> moment) override;
    void stayUp(bool up) override;
    void onResume(std::function<void()> handler) override;

private:
    void post(); // the worker brings the buses to the wish
    struct Inhibition;
    std::shared_ptr<Inhibition> m_inhibition; // owned by the worker's jobs
    std::unique_ptr<dbus::Worker> m_worker;
    bool m_held = false; // ever asked to hold
};

} // namespace quietwatch
