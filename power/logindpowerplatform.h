#pragma once

// Linux: systemd-logind over the system bus. There is no privilege step (the platform
// code is not NT); polkit decides whether the caller may power off.
//
// A request is handed to a sender thread of its own and the caller returns at once: a bus
// may take any time to connect, or never answer at all, and the window must keep ticking
// meanwhile. Missing, refusing and hung buses all stay silent.

#include "powercontrol.h"

#include <memory>
#include <string>

namespace quietwatch {

namespace dbus {
class Worker;
}

class LogindPowerPlatform final : public PowerPlatform
{
public:
    // busAddress: a D-Bus address list, tried in turn (dbus::connect). Nothing connects
    // and no thread starts until the first request: an idle program never touches D-Bus.
    explicit LogindPowerPlatform(std::string busAddress = systemBusAddress());
    // Gives a request still on its way two seconds to go out, then lets its sender go; the
    // two seconds are shared with the keep-awake's worker (dbus::Worker).
    ~LogindPowerPlatform() override;
    LogindPowerPlatform(const LogindPowerPlatform &) = delete;
    LogindPowerPlatform &operator=(const LogindPowerPlatform &) = delete;

    // DBUS_SYSTEM_BUS_ADDRESS, or libdbus's own default for the system bus.
    static std::string systemBusAddress();

    int platformCode() override { return 1; }
    std::optional<TokenHandle> openProcessToken(std::uint32_t) override { return std::nullopt; }
    std::optional<Luid> lookupPrivilegeValue(std::string_view) override { return std::nullopt; }
    bool adjustTokenPrivileges(TokenHandle, const TokenPrivileges &, TokenPrivileges &, std::uint32_t &) override
    {
        return false;
    }
    void closeHandle(TokenHandle) override {}
    // 8 asks for Manager.PowerOff(true), 2 for Manager.Reboot(true); other flags do nothing.
    // Returns without waiting: the sender connects and sends on its own thread. The same call
    // asked within a second of one still waiting for logind's answer is not sent again.
    void exitWindows(ExitFlags flags, std::uint32_t reason) override;

private:
    struct Link;
    std::shared_ptr<Link> m_link;           // the bus and its connection, owned by the sender's jobs
    std::unique_ptr<dbus::Worker> m_sender; // destroyed first: a request on its way gets a grace
};

} // namespace quietwatch
