#include "platform/linux/qt/Compositing.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace platform::qt {

bool compositingManagerRunning() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return true;
    int screen = 0;
    if (const char* display = std::getenv("DISPLAY")) {
        std::string text(display);
        if (auto dot = text.rfind('.'); dot != std::string::npos && dot > text.rfind(':'))
            screen = std::atoi(text.c_str() + dot + 1);
    }
    const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, name.size(), name.c_str()), nullptr), &std::free);
    if (!atom || atom->atom == XCB_NONE) return false; // nobody ever asked for it
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr), &std::free);
    return owner && owner->owner != XCB_NONE;
}

} // namespace platform::qt
