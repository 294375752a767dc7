#include "platform/linux/qt/KeyboardGrab.h"
#include "platform/linux/qt/X11Connection.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace platform::qt {

bool grabKeyboard(QWindow* window) {
    xcb_connection_t* c = qtX11Connection();
    if (!c) return true;
    if (!window) return false;
    // owner_events: keys meant for our other windows (a menu) still go there.
    auto cookie = xcb_grab_keyboard(c, 1, static_cast<xcb_window_t>(window->winId()), XCB_CURRENT_TIME,
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(c, cookie, nullptr);
    bool ok = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    return ok;
}

void ungrabKeyboard() {
    xcb_connection_t* c = qtX11Connection();
    if (!c) return;
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
}

} // namespace platform::qt
