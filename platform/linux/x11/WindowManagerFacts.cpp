#include "platform/linux/x11/WindowManagerFacts.h"

#include <cstring>

namespace platform::x11 {

namespace {

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_ATOM_NONE;
}

} // namespace

desktop::ShortcutHostFacts windowManagerFacts(X11Connection& connection) {
    desktop::ShortcutHostFacts facts;
    xcb_connection_t* c = connection.connection();
    const xcb_atom_t check = intern(c, "_NET_SUPPORTING_WM_CHECK");
    const xcb_atom_t obConfig = intern(c, "_OB_CONFIG_FILE");
    const auto onRoot = connection.cardinals(connection.requestProperty(connection.root(), check, XCB_ATOM_WINDOW, 1));
    if (onRoot.empty()) return facts;
    // The check window names itself too; a stale property from a window
    // manager that died points at a window that is gone or names another.
    const xcb_window_t window = onRoot[0];
    const auto onSelf = connection.cardinals(connection.requestProperty(window, check, XCB_ATOM_WINDOW, 1));
    if (onSelf.empty() || onSelf[0] != window) return facts;
    const auto& atoms = connection.atoms();
    facts.name = connection.text(connection.requestProperty(window, atoms.netWmName, atoms.utf8String, 256));
    if (const auto pid = connection.cardinals(connection.requestProperty(window, atoms.netWmPid, XCB_ATOM_CARDINAL, 1));
        !pid.empty())
        facts.pid = static_cast<int>(pid[0]);
    if (obConfig != XCB_ATOM_NONE)
        facts.configFile =
            connection.text(connection.requestProperty(connection.root(), obConfig, atoms.utf8String, 1024));
    return facts;
}

} // namespace platform::x11
