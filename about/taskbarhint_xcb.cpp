#include "taskbarhint.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace quietwatch {

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const QByteArray &name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, false, static_cast<uint16_t>(name.size()), name.constData());
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

// X11 task bars leave out windows in the EWMH state _NET_WM_STATE_SKIP_TASKBAR. Qt
// keeps states already present on an unmapped window when it maps it, so the state is set
// on the native window before it is mapped. Other platforms (Wayland, offscreen) have
// no X11 connection and are left alone.
void keepOffTaskBar(QWidget &window)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    const QWindow *handle = window.windowHandle();
    if (!x11 || !window.isWindow() || !handle || handle->isVisible()) {
        return;
    }
    // The offscreen platform answers the X11 interface too, but without a connection.
    xcb_connection_t *connection = x11->connection();
    if (!connection || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    const xcb_atom_t state = internAtom(connection, QByteArrayLiteral("_NET_WM_STATE"));
    const xcb_atom_t skipTaskbar = internAtom(connection, QByteArrayLiteral("_NET_WM_STATE_SKIP_TASKBAR"));
    if (state == XCB_ATOM_NONE || skipTaskbar == XCB_ATOM_NONE) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &skipTaskbar);
    xcb_flush(connection);
}

} // namespace quietwatch
