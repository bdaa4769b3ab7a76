#include "startup.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

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

// Whether the Wayland display named by the environment has a socket to connect to.
bool waylandSocketExists()
{
    if (qEnvironmentVariableIsSet("WAYLAND_SOCKET")) {
        return true; // handed over as an open connection
    }
    QString name = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    if (!QDir::isAbsolutePath(name)) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty()) {
            return false;
        }
        name = runtime + QLatin1Char('/') + name;
    }
    return QFileInfo::exists(name);
}

// A Wayland client cannot place its windows, and both windows have fixed places. In a
// Wayland session that also offers an X display (Xwayland) the X11 platform keeps them,
// with Wayland itself as the fallback; the user's own QT_QPA_PLATFORM always wins. A
// Wayland display without a socket is not tried at all: the Wayland library would print
// its own complaint beside our one line.
void choosePlatform()
{
    const bool waylandSession = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
                                !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!waylandSession || qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        return;
    }
    QStringList platforms;
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        platforms << QStringLiteral("xcb");
    }
    if (waylandSocketExists()) {
        platforms << QStringLiteral("wayland");
    }
    if (platforms.isEmpty()) {
        platforms << QStringLiteral("xcb"); // fails, and says so in one line
    }
    qputenv("QT_QPA_PLATFORM", platforms.join(QLatin1Char(';')).toLocal8Bit());
}

} // namespace

namespace quietwatch {

std::unique_ptr<QApplication> openApplication(char *programPath, const char *name)
{
    // Qt keeps these for the application's lifetime. A process started without even a
    // program name (argc 0) is given the name.
    static std::string path = programPath != nullptr ? programPath : name;
    static int argc = 1;
    static std::array<char *, 2> argv{path.data(), nullptr};

    programName = name;
    choosePlatform();
    previousHandler = qInstallMessageHandler(holdStartupMessage);
    auto app = std::make_unique<QApplication>(argc, argv.data());
    releaseStartupMessages();
    return app;
}

} // namespace quietwatch
