#pragma once

#include <QGuiApplication>

#include <xcb/xcb.h>

namespace platform::qt {

// Qt's own connection to the X server; null when Qt does not run on X11.
inline xcb_connection_t* qtX11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace platform::qt
