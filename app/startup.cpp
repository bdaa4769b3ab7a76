#include "startup.h"

#include <QList>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace {

// Messages Qt gives while it opens the display. They are held back: if the display cannot
// be opened, Qt ends with a fatal message and an abort, and the user gets one line from us
// instead; otherwise they are passed on unchanged.
struct HeldMessage
{
    QtMsgType type;
    // Source locations and category names are string literals; they outlive the message.
    const char *file;
    int line;
    const char *function;
    const char *category;
    QString text;
};

QtMessageHandler previousHandler = nullptr;
const char *programName = "quietwatch";
QList<HeldMessage> heldMessages;

// Where the program looked for a display, as the environment told it.
QString describeDisplay()
{
    QStringList parts;
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty()) {
            parts << QStringLiteral("%1=%2").arg(QLatin1String(name), value);
        }
    }
    return parts.isEmpty() ? QStringLiteral("DISPLAY is not set") : parts.join(QStringLiteral(", "));
}

void holdStartupMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s: cannot open a display (%s)\n", programName, qPrintable(describeDisplay()));
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE); // Qt would abort right after this handler returns
    }
    heldMessages.append({type, context.file, context.line, context.function, context.category, message});
}

void releaseStartupMessages()
{
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage &held : std::as_const(heldMessages)) {
        const QMessageLogContext context(held.file, held.line, held.function, held.category);
        qt_message_output(held.type, context, held.text);
    }
    heldMessages.clear();
}

// A Wayland client cannot place its windows, and both windows have fixed places. Where a
// Wayland session also offers an X display (Xwayland) and the user has chosen no platform,
// the X11 platform keeps them; Wayland itself stays the fallback should that display not open.
void preferXwayland()
{
    const bool waylandSession = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
                                !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (waylandSession && !qEnvironmentVariableIsEmpty("DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");
    }
}

} // namespace

namespace quietwatch {

std::unique_ptr<QApplication> openApplication(int &argc, char **argv, const char *name)
{
    programName = name;
    preferXwayland();
    previousHandler = qInstallMessageHandler(holdStartupMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    releaseStartupMessages();
    return app;
}

} // namespace quietwatch
