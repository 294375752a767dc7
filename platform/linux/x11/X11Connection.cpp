#include "platform/linux/x11/X11Connection.h"

#include <cstring>
#include <utility>

namespace platform::x11 {

std::shared_ptr<X11Connection> X11Connection::open(const char* display) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display, &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) xcb_disconnect(connection);
        return nullptr;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::shared_ptr<X11Connection>(new X11Connection(connection, it.data->root));
}

X11Connection::X11Connection(xcb_connection_t* connection, xcb_window_t root) : connection_(connection), root_(root) {
    std::pair<xcb_atom_t*, const char*> names[] = {
        {&atoms_.netClientList, "_NET_CLIENT_LIST"},
        {&atoms_.netClientListStacking, "_NET_CLIENT_LIST_STACKING"},
        {&atoms_.netActiveWindow, "_NET_ACTIVE_WINDOW"},
        {&atoms_.netWmPid, "_NET_WM_PID"},
        {&atoms_.wmClientLeader, "WM_CLIENT_LEADER"},
        {&atoms_.netWmName, "_NET_WM_NAME"},
        {&atoms_.utf8String, "UTF8_STRING"},
        {&atoms_.gtkApplicationId, "_GTK_APPLICATION_ID"},
        {&atoms_.kdeDesktopFile, "_KDE_NET_WM_DESKTOP_FILE"},
        {&atoms_.netWmWindowType, "_NET_WM_WINDOW_TYPE"},
        {&atoms_.typeNormal, "_NET_WM_WINDOW_TYPE_NORMAL"},
        {&atoms_.typeDialog, "_NET_WM_WINDOW_TYPE_DIALOG"},
        {&atoms_.typeUtility, "_NET_WM_WINDOW_TYPE_UTILITY"},
        {&atoms_.typeDock, "_NET_WM_WINDOW_TYPE_DOCK"},
        {&atoms_.typeDesktop, "_NET_WM_WINDOW_TYPE_DESKTOP"},
        {&atoms_.typeToolbar, "_NET_WM_WINDOW_TYPE_TOOLBAR"},
        {&atoms_.typeMenu, "_NET_WM_WINDOW_TYPE_MENU"},
        {&atoms_.typeSplash, "_NET_WM_WINDOW_TYPE_SPLASH"},
        {&atoms_.typeNotification, "_NET_WM_WINDOW_TYPE_NOTIFICATION"},
        {&atoms_.netWmState, "_NET_WM_STATE"},
        {&atoms_.stateSkipTaskbar, "_NET_WM_STATE_SKIP_TASKBAR"},
        {&atoms_.stateHidden, "_NET_WM_STATE_HIDDEN"},
        {&atoms_.netWmIcon, "_NET_WM_ICON"},
        {&atoms_.netRestackWindow, "_NET_RESTACK_WINDOW"},
        {&atoms_.netWmDesktop, "_NET_WM_DESKTOP"},
        {&atoms_.netCurrentDesktop, "_NET_CURRENT_DESKTOP"},
    };
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (auto& [slot, name] : names)
        cookies.push_back(xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name));
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookies[i], nullptr));
        *names[i].first = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
}

X11Connection::~X11Connection() { xcb_disconnect(connection_); }

xcb_get_property_cookie_t X11Connection::requestProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                                         std::uint32_t maxLongs) {
    return xcb_get_property(connection_, 0, window, property, type, 0, maxLongs);
}

Reply<xcb_get_property_reply_t> X11Connection::property(xcb_get_property_cookie_t cookie) {
    return Reply<xcb_get_property_reply_t>(xcb_get_property_reply(connection_, cookie, nullptr));
}

std::vector<std::uint32_t> X11Connection::cardinals(xcb_get_property_cookie_t cookie) {
    auto reply = property(cookie);
    if (!reply || reply->format != 32) return {};
    auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::vector<std::uint32_t>(data, data + count);
}

std::string X11Connection::text(xcb_get_property_cookie_t cookie) {
    auto reply = property(cookie);
    if (!reply || reply->format != 8) return {};
    auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    int length = xcb_get_property_value_length(reply.get());
    return std::string(data, data + length);
}

void X11Connection::sendRootMessage(xcb_window_t window, xcb_atom_t type, std::uint32_t d0, std::uint32_t d1,
                                    std::uint32_t d2, std::uint32_t d3) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    event.data.data32[0] = d0;
    event.data.data32[1] = d1;
    event.data.data32[2] = d2;
    event.data.data32[3] = d3;
    xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
}

} // namespace platform::x11
