// The window operations of an X11 application: its window list with titles
// and desktops, and activating, closing or minimising one window.

#include "platform/linux/x11/X11RunningApplication.h"

#include "platform/linux/x11/UserTime.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform::x11 {

namespace {
constexpr std::uint32_t kSourcePager = 2;           // EWMH source indication: acting for the user
constexpr std::uint32_t kIconicState = 3;           // ICCCM WM_STATE
constexpr std::uint32_t kEveryDesktop = 0xFFFFFFFF; // _NET_WM_DESKTOP of a sticky window

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
    const Target t = target();
    const bool anyOrdinary = std::any_of(windows_.begin(), windows_.end(), ordinary);
    std::vector<std::uint32_t> listed;
    if (t.window) listed.push_back(t.window);
    for (auto it = t.order.rbegin(); it != t.order.rend(); ++it) {
        const auto* f = factsOf(*it);
        if (*it == t.window || !(anyOrdinary ? ordinary(*f) : usable(*f))) continue;
        listed.push_back(*it);
    }
    if (listed.empty()) return {};

    // Titles are read fresh, all in one round trip.
    auto& c = *connection_;
    auto currentCookie = c.requestProperty(c.root(), c.atoms().netCurrentDesktop, XCB_ATOM_CARDINAL, 1);
    std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> names;
    for (auto w : listed)
        names.emplace_back(c.requestProperty(w, c.atoms().netWmName, c.atoms().utf8String, 256),
                           c.requestProperty(w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 256));
    const auto current = c.cardinals(currentCookie);
    std::vector<WindowInfo> result;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        WindowInfo info;
        info.id = listed[i];
        info.title = c.text(names[i].first);
        std::string legacy = c.text(names[i].second);
        if (info.title.empty()) info.title = std::move(legacy);
        info.minimized = factsOf(listed[i])->hidden;
        if (auto it = t.desktops.find(listed[i]); it != t.desktops.end() && it->second != kEveryDesktop) {
            info.desktopNumber = int(it->second) + 1;
            info.onCurrentDesktop = current.empty() || current.front() == it->second;
        }
        result.push_back(std::move(info));
    }
    return result;
}

bool X11RunningApplication::activateWindow(std::uint64_t id) {
    const auto window = std::uint32_t(id);
    const auto* f = factsOf(window);
    if (!f || connection_->broken()) return false;
    const auto& atoms = connection_->atoms();
    const std::uint32_t time = lastUserTime();
    // A window on another desktop only: that desktop comes into view first.
    const Target t = target();
    if (auto it = t.desktops.find(window); it != t.desktops.end() && it->second != kEveryDesktop)
        connection_->sendRootMessage(connection_->root(), atoms.netCurrentDesktop, it->second, time);
    if (f->hidden) xcb_map_window(connection_->connection(), window);
    connection_->sendRootMessage(window, atoms.netActiveWindow, kSourcePager, time, XCB_NONE);
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
