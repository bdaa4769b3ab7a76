#include "clock.h"
#include "form1.h"
#include "powercontrol.h"
#include "powerplatform.h"
#include "uifonts.h"

#include <QApplication>
#include <QPointer>
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
QList<HeldMessage> heldMessages;
QString firstReason;

QString describeDisplay()
{
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty() && wayland.isEmpty()) {
        return QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set");
    }
    QStringList parts;
    if (!display.isEmpty()) {
        parts << QStringLiteral("DISPLAY=%1").arg(QString::fromLocal8Bit(display));
    }
    if (!wayland.isEmpty()) {
        parts << QStringLiteral("WAYLAND_DISPLAY=%1").arg(QString::fromLocal8Bit(wayland));
    }
    return parts.join(QStringLiteral(", "));
}

void holdStartupMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        const QString reason =
            firstReason.isEmpty() ? QStringLiteral("no window system could be reached") : firstReason;
        std::fprintf(stderr, "quietwatch: cannot open a display (%s): %s\n", qPrintable(describeDisplay()),
                     qPrintable(reason));
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE); // Qt would abort right after this handler returns
    }
    if (firstReason.isEmpty() && type >= QtWarningMsg) {
        firstReason = message.section(QLatin1Char('\n'), 0, 0).trimmed();
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

} // namespace

int main(int argc, char *argv[])
{
    previousHandler = qInstallMessageHandler(holdStartupMessage);
    QApplication app(argc, argv);
    releaseStartupMessages();

    quietwatch::installFontSubstitutions();

    // The platform connects to the system only when a power request is made.
    const quietwatch::SystemClock clock;
    const auto platform = quietwatch::createPowerPlatform();
    quietwatch::PowerControl power(*platform);

    // The window deletes itself when closed; the program ends when no window is open.
    const QPointer<quietwatch::Form1> window = new quietwatch::Form1(clock, power);
    window->show();
    const int exitCode = QApplication::exec();
    delete window.data();
    return exitCode;
}
