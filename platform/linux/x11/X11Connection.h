#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::x11 {

// The atoms the workspace reads and sends.
struct Atoms {
    xcb_atom_t netClientList, netClientListStacking, netActiveWindow, netWmPid, wmClientLeader, netWmName, utf8String,
        gtkApplicationId, kdeDesktopFile, netWmWindowType, typeNormal, typeDialog, typeUtility, typeDock, typeDesktop,
        typeToolbar, typeMenu, typeSplash, typeNotification, netWmState, stateSkipTaskbar, stateHidden, netWmIcon,
        netRestackWindow, netWmDesktop, netCurrentDesktop;
};

// Frees an xcb reply.
struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

// One connection to the X server, shared by the workspace and its
// application objects (which may outlive the workspace).
class X11Connection {
public:
    // Nothing when the display cannot be opened.
    static std::shared_ptr<X11Connection> open(const char* display = nullptr);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* connection() const { return connection_; }
    xcb_window_t root() const { return root_; }
    const Atoms& atoms() const { return atoms_; }
    bool broken() const { return xcb_connection_has_error(connection_) != 0; }

    xcb_get_property_cookie_t requestProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                              std::uint32_t maxLongs = 1024);
    Reply<xcb_get_property_reply_t> property(xcb_get_property_cookie_t cookie);
    // Values of a 32-bit property (windows, atoms, cardinals).
    std::vector<std::uint32_t> cardinals(xcb_get_property_cookie_t cookie);
    std::string text(xcb_get_property_cookie_t cookie);

    // An EWMH client message to the root window on behalf of `window`.
    void sendRootMessage(xcb_window_t window, xcb_atom_t type, std::uint32_t d0, std::uint32_t d1 = 0,
                         std::uint32_t d2 = 0, std::uint32_t d3 = 0);
    void flush() { xcb_flush(connection_); }

private:
    X11Connection(xcb_connection_t* connection, xcb_window_t root);
    xcb_connection_t* connection_;
    xcb_window_t root_;
    Atoms atoms_{};
};

} // namespace platform::x11
