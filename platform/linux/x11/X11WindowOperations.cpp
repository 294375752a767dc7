// The window operations of an X11 application: its window list with titles
// and desktops, and activating, closing or minimising one window.

#include "platform/linux/x11/X11RunningApplication.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform::x11 {

namespace {
constexpr std::uint32_t kSourcePager = 2;          // EWMH source indication: acting for the user
constexpr std::uint32_t kIconicState = 3;          // ICCCM WM_STATE
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF; // _NET_WM_DESKTOP of a sticky window

bool ordinary(const WindowFacts& w) {
    return (w.kind == WindowKind::Normal || w.kind == WindowKind::Dialog) && !w.skipTaskbar;
}
bool usable(const WindowFacts& w) { return w.kind != WindowKind::Dock && w.kind != WindowKind::Desktop; }
} // namespace

const X11RunningApplication::WindowAtoms& X11RunningApplication::windowAtoms() const {
    if (windowAtoms_) return *windowAtoms_;
    xcb_connection_t* c = connection_->connection();
    WindowAtoms atoms{};
    std::pair<xcb_atom_t*, const char*> names[] = {
        {&atoms.closeWindow, "_NET_CLOSE_WINDOW"}, {&atoms.protocols, "WM_PROTOCOLS"},
        {&atoms.deleteWindow, "WM_DELETE_WINDOW"}, {&atoms.changeState, "WM_CHANGE_STATE"},
        {&atoms.wmDesktop, "_NET_WM_DESKTOP"},     {&atoms.currentDesktop, "_NET_CURRENT_DESKTOP"},
        {&atoms.supported, "_NET_SUPPORTED"},
    };
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (auto& [slot, name] : names) cookies.push_back(xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name));
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
        *names[i].first = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    windowAtoms_ = atoms;
    return *windowAtoms_;
}

std::vector<WindowInfo> X11RunningApplication::windowList() const {
    if (windows_.empty() || connection_->broken()) return {};
    const auto order = stackingOrder(); // bottom to top
    const bool anyOrdinary = std::any_of(windows_.begin(), windows_.end(), ordinary);
    std::vector<std::uint32_t> listed;
    const std::uint32_t front = frontWindow(order);
    if (front) listed.push_back(front);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const auto* f = factsOf(*it);
        if (*it == front || !(anyOrdinary ? ordinary(*f) : usable(*f))) continue;
        listed.push_back(*it);
    }
    if (listed.empty()) return {};

    // One round trip for every title and desktop.
    auto& c = *connection_;
    const auto& atoms = windowAtoms();
    auto current = c.requestProperty(c.root(), atoms.currentDesktop, XCB_ATOM_CARDINAL, 1);
    struct Cookies {
        xcb_get_property_cookie_t netName, name, desktop;
    };
    std::vector<Cookies> cookies;
    for (auto w : listed)
        cookies.push_back({c.requestProperty(w, c.atoms().netWmName, c.atoms().utf8String, 256),
                           c.requestProperty(w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 256),
                           c.requestProperty(w, atoms.wmDesktop, XCB_ATOM_CARDINAL, 1)});
    auto currentDesktop = c.cardinals(current);
    std::vector<WindowInfo> result;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        WindowInfo info;
        info.id = listed[i];
        info.title = c.text(cookies[i].netName);
        std::string legacy = c.text(cookies[i].name);
        if (info.title.empty()) info.title = std::move(legacy);
        info.minimized = factsOf(listed[i])->hidden;
        auto desktop = c.cardinals(cookies[i].desktop);
        if (!desktop.empty() && desktop.front() != kAllDesktops) {
            info.desktopNumber = int(desktop.front()) + 1;
            info.onCurrentDesktop = currentDesktop.empty() || currentDesktop.front() == desktop.front();
        }
        result.push_back(std::move(info));
    }
    return result;
}

bool X11RunningApplication::activateWindow(std::uint64_t id) {
    const auto window = std::uint32_t(id);
    const auto* f = factsOf(window);
    if (!f || connection_->broken()) return false;
    if (f->hidden) xcb_map_window(connection_->connection(), window);
    connection_->sendRootMessage(window, connection_->atoms().netActiveWindow, kSourcePager, XCB_CURRENT_TIME,
                                 XCB_NONE);
    connection_->flush();
    if (activationListener_) activationListener_(*this);
    return true;
}

bool X11RunningApplication::closeWindow(std::uint64_t id) {
    const auto window = std::uint32_t(id);
    if (!factsOf(window) || connection_->broken()) return false;
    auto& c = *connection_;
    const auto& atoms = windowAtoms();
    auto supported = c.requestProperty(c.root(), atoms.supported, XCB_ATOM_ATOM, 4096);
    auto protocols = c.requestProperty(window, atoms.protocols, XCB_ATOM_ATOM, 64);
    auto netSupported = c.cardinals(supported);
    auto windowProtocols = c.cardinals(protocols);
    if (std::find(netSupported.begin(), netSupported.end(), atoms.closeWindow) != netSupported.end()) {
        c.sendRootMessage(window, atoms.closeWindow, XCB_CURRENT_TIME, kSourcePager);
    } else if (std::find(windowProtocols.begin(), windowProtocols.end(), atoms.deleteWindow) != windowProtocols.end()) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atoms.protocols;
        event.data.data32[0] = atoms.deleteWindow;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c.connection(), 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    } else {
        return false; // nothing would close it short of killing its client
    }
    c.flush();
    return true;
}

bool X11RunningApplication::minimizeWindow(std::uint64_t id) {
    const auto window = std::uint32_t(id);
    if (!factsOf(window) || connection_->broken()) return false;
    connection_->sendRootMessage(window, windowAtoms().changeState, kIconicState);
    connection_->flush();
    return true;
}

} // namespace platform::x11
