#pragma once

// Linux: systemd-logind over the system bus. There is no privilege step (the platform
// code is not NT); polkit decides whether the caller may power off. The request is
// sent without waiting for its answer, so a missing, refusing or hung logind costs
// the caller nothing and stays silent.

#include "powercontrol.h"

#include <QDBusConnection>
#include <functional>

namespace quietwatch {

class LogindPowerPlatform final : public PowerPlatform
{
public:
    using ConnectionFactory = std::function<QDBusConnection()>;

    // The connection is made on the first request only: an idle program never touches D-Bus.
    explicit LogindPowerPlatform(ConnectionFactory connect = &answeringSystemBus);

    // The system bus, or a connection that is not connected when the bus's socket does not
    // answer a greeting within half a second. Qt connects on the caller's thread and libdbus
    // waits without limit for a bus that accepts the connection but never answers (a hung or
    // stopped daemon); that wait would freeze the window for good.
    static QDBusConnection answeringSystemBus();

    int platformCode() override { return 1; }
    std::optional<TokenHandle> openProcessToken(std::uint32_t) override { return std::nullopt; }
    std::optional<Luid> lookupPrivilegeValue(std::string_view) override { return std::nullopt; }
    bool adjustTokenPrivileges(TokenHandle, const TokenPrivileges &, TokenPrivileges &, std::uint32_t &) override
    {
        return false;
    }
    void closeHandle(TokenHandle) override {}
    // 8 calls Manager.PowerOff(true), 2 calls Manager.Reboot(true); other flags do nothing.
    void exitWindows(ExitFlags flags, std::uint32_t reason) override;

private:
    ConnectionFactory m_connect;
};

} // namespace quietwatch
