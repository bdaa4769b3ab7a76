#include "logindpowerplatform.h"

#include "powerplatform.h"

#include <QDBusMessage>

namespace quietwatch {

namespace {
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

LogindPowerPlatform::LogindPowerPlatform(ConnectionFactory connect) : m_connect(std::move(connect)) {}

void LogindPowerPlatform::exitWindows(ExitFlags flags, std::uint32_t /*reason*/)
{
    QString method;
    if (flags == kExitPowerOff) {
        method = QStringLiteral("PowerOff");
    } else if (flags == kExitReboot) {
        method = QStringLiteral("Reboot");
    } else {
        return;
    }
    const QDBusConnection bus = m_connect();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, method);
    // interactive = true: polkit may ask the user, as the session-end dialog would.
    call << true;
    call.setInteractiveAuthorizationAllowed(true);
    // Fire and forget: a refusal or an error reply is dropped, and nothing waits for it.
    bus.send(call);
}

std::unique_ptr<PowerPlatform> createPowerPlatform()
{
    return std::make_unique<LogindPowerPlatform>();
}

} // namespace quietwatch
