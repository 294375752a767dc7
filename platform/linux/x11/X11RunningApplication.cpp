#include "platform/linux/x11/X11RunningApplication.h"

#include "platform/linux/x11/UserTime.h"

#include <algorithm>

namespace platform::x11 {

namespace {
// Source indication of EWMH requests: a pager, acting for the user.
constexpr std::uint32_t kSourcePager = 2;
} // namespace

Icon chooseIcon(const std::uint32_t* data, std::size_t count, int preferred) {
    const std::uint32_t* best = nullptr;
    std::size_t pos = 0;
    auto better = [&](const std::uint32_t* candidate) {
        if (!best) return true;
        std::uint32_t w = candidate[0], bw = best[0];
        bool fits = w >= std::uint32_t(preferred), bestFits = bw >= std::uint32_t(preferred);
        if (fits != bestFits) return fits;
        return fits ? w < bw : w > bw;
    };
    while (pos + 2 <= count) {
        std::uint64_t w = data[pos], h = data[pos + 1];
        if (w == 0 || h == 0 || w > 1024 || h > 1024 || pos + 2 + w * h > count) break; // damaged data
        if (better(data + pos)) best = data + pos;
        pos += 2 + w * h;
    }
    Icon icon;
    if (!best) return icon;
    icon.width = int(best[0]);
    icon.height = int(best[1]);
    icon.argb.assign(best + 2, best + 2 + std::size_t(icon.width) * icon.height);
    return icon;
}

X11RunningApplication::X11RunningApplication(std::shared_ptr<X11Connection> connection, Identity identity)
    : connection_(std::move(connection)), identity_(std::move(identity)) {}

Icon X11RunningApplication::icon() const {
    if (iconLoaded_) return icon_;
    iconLoaded_ = true;
    icon_ = {};
    for (const auto& w : windows_) {
        auto cookie =
            connection_->requestProperty(w.window, connection_->atoms().netWmIcon, XCB_ATOM_CARDINAL, 1024 * 1024);
        auto reply = connection_->property(cookie);
        if (!reply || reply->format != 32) continue;
        auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
        std::size_t count = std::size_t(xcb_get_property_value_length(reply.get())) / 4;
        icon_ = chooseIcon(data, count);
        if (!icon_.empty()) break;
    }
    return icon_;
}

namespace {

constexpr std::uint32_t kIconPixmapHint = 4;
constexpr std::uint32_t kIconMaskHint = 32;
constexpr int kLargestHintIcon = 256;

// The pixels of a pixmap as 0xAARRGGBB (opaque), or nothing for depths other
// than 1 (a bitmap: set bits black on white) and 24/32 (32 bits a pixel).
std::optional<std::vector<std::uint32_t>> readPixmap(xcb_connection_t* c, xcb_pixmap_t pixmap, int width, int height,
                                                     int depth) {
    const bool bitmap = depth == 1;
    if (!bitmap && depth != 24 && depth != 32) return std::nullopt;
    Reply<xcb_get_image_reply_t> image(
        xcb_get_image_reply(c,
                            xcb_get_image(c, bitmap ? XCB_IMAGE_FORMAT_XY_PIXMAP : XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0,
                                          0, width, height, bitmap ? 1u : ~0u),
                            nullptr));
    if (!image) return std::nullopt;
    const std::uint8_t* data = xcb_get_image_data(image.get());
    const std::size_t length = std::size_t(xcb_get_image_data_length(image.get()));
    std::vector<std::uint32_t> pixels(std::size_t(width) * height);
    if (!bitmap) {
        if (length < pixels.size() * 4) return std::nullopt;
        const bool msb = xcb_get_setup(c)->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::uint8_t* p = data + 4 * i;
            const std::uint32_t v =
                msb ? (p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]) : (p[3] << 24 | p[2] << 16 | p[1] << 8 | p[0]);
            pixels[i] = 0xFF000000u | (v & 0xFFFFFFu);
        }
        return pixels;
    }
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int pad = setup->bitmap_format_scanline_pad;
    const std::size_t stride = std::size_t((width + pad - 1) / pad * pad / 8);
    if (length < stride * height) return std::nullopt;
    const bool lsbBits = setup->bitmap_format_bit_order == XCB_IMAGE_ORDER_LSB_FIRST;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t byte = data[y * stride + x / 8];
            bool set = lsbBits ? (byte >> (x % 8)) & 1 : (byte >> (7 - x % 8)) & 1;
            pixels[std::size_t(y) * width + x] = set ? 0xFF000000u : 0xFFFFFFFFu;
        }
    return pixels;
}

} // namespace

Icon X11RunningApplication::fallbackIcon() const {
    if (fallbackLoaded_) return fallbackIcon_;
    fallbackLoaded_ = true;
    fallbackIcon_ = {};
    xcb_connection_t* c = connection_->connection();
    for (const auto& w : windows_) {
        auto hints =
            connection_->cardinals(connection_->requestProperty(w.window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 9));
        if (hints.size() < 8 || !(hints[0] & kIconPixmapHint) || !hints[3]) continue;
        const xcb_pixmap_t pixmap = hints[3];
        const xcb_pixmap_t mask = (hints[0] & kIconMaskHint) ? hints[7] : 0;
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap), nullptr));
        if (!geometry || geometry->width == 0 || geometry->height == 0 || geometry->width > kLargestHintIcon ||
            geometry->height > kLargestHintIcon)
            continue;
        const int width = geometry->width, height = geometry->height;
        auto pixels = readPixmap(c, pixmap, width, height, geometry->depth);
        if (!pixels) continue;
        if (mask) {
            Reply<xcb_get_geometry_reply_t> maskGeometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, mask), nullptr));
            if (maskGeometry && maskGeometry->depth == 1 && maskGeometry->width == width &&
                maskGeometry->height == height)
                if (auto bits = readPixmap(c, mask, width, height, 1))
                    for (std::size_t i = 0; i < pixels->size(); ++i)
                        if ((*bits)[i] != 0xFF000000u) (*pixels)[i] = 0; // outside the mask: transparent
        }
        fallbackIcon_.width = width;
        fallbackIcon_.height = height;
        fallbackIcon_.argb = std::move(*pixels);
        break;
    }
    return fallbackIcon_;
}

bool X11RunningApplication::isHidden() const {
    if (windows_.empty()) return false;
    return std::all_of(windows_.begin(), windows_.end(), [](const WindowFacts& w) { return w.hidden; });
}

bool X11RunningApplication::owns(std::uint32_t window) const {
    return std::any_of(windows_.begin(), windows_.end(), [&](const WindowFacts& w) { return w.window == window; });
}

void X11RunningApplication::setWindows(std::vector<WindowFacts> windows) {
    auto ids = [](const std::vector<WindowFacts>& list) {
        std::vector<std::uint32_t> out;
        for (const auto& w : list) out.push_back(w.window);
        return out;
    };
    const bool changed = ids(windows) != ids(windows_);
    windows_ = std::move(windows);
    if (changed) invalidateIcon(); // the icons come from the windows
}

void X11RunningApplication::updateWindow(const WindowFacts& facts) {
    for (auto& w : windows_)
        if (w.window == facts.window) w = facts;
}

namespace {
bool usable(const WindowFacts& w) { return w.kind != WindowKind::Dock && w.kind != WindowKind::Desktop; }
// _NET_WM_DESKTOP of a window shown on every desktop.
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
} // namespace

const WindowFacts* X11RunningApplication::factsOf(std::uint32_t window) const {
    auto it = std::find_if(windows_.begin(), windows_.end(), [&](const WindowFacts& w) { return w.window == window; });
    return it == windows_.end() ? nullptr : &*it;
}

X11RunningApplication::Target X11RunningApplication::target() const {
    // All questions first, then the answers: one round trip.
    auto& c = *connection_;
    const auto& atoms = c.atoms();
    auto stackingCookie = c.requestProperty(c.root(), atoms.netClientListStacking, XCB_ATOM_WINDOW);
    auto currentCookie = c.requestProperty(c.root(), atoms.netCurrentDesktop, XCB_ATOM_CARDINAL, 1);
    std::vector<xcb_get_property_cookie_t> desktopCookies;
    for (const auto& w : windows_)
        desktopCookies.push_back(c.requestProperty(w.window, atoms.netWmDesktop, XCB_ATOM_CARDINAL, 1));
    auto stacking = c.cardinals(stackingCookie);
    auto current = c.cardinals(currentCookie);
    Target t;
    for (std::size_t i = 0; i < windows_.size(); ++i)
        if (auto desktop = c.cardinals(desktopCookies[i]); !desktop.empty())
            t.desktops[windows_[i].window] = desktop[0];

    // Our windows bottom to top; windows the stacking list does not know go
    // below the others.
    for (const auto& w : windows_)
        if (std::find(stacking.begin(), stacking.end(), w.window) == stacking.end()) t.order.push_back(w.window);
    for (auto window : stacking)
        if (owns(window)) t.order.push_back(window);

    // A window on the desktop in view (or on all of them) is preferred: the
    // user stays where they are. Without a desktop hint a window counts as
    // here.
    auto desktopOf = [&](std::uint32_t window) -> std::optional<std::uint32_t> {
        auto it = t.desktops.find(window);
        if (it == t.desktops.end() || it->second == kAllDesktops) return std::nullopt;
        return it->second;
    };
    auto here = [&](std::uint32_t window) {
        auto desktop = desktopOf(window);
        return current.empty() || !desktop || *desktop == current[0];
    };
    t.window = frontWindow(t.order, here);
    if (!t.window) {
        t.window = frontWindow(t.order, [](std::uint32_t) { return true; });
        if (t.window) t.switchToDesktop = desktopOf(t.window);
    }
    return t;
}

std::uint32_t X11RunningApplication::frontWindow(const std::vector<std::uint32_t>& order,
                                                 const std::function<bool(std::uint32_t)>& allowed) const {
    // The topmost ordinary window shown in the taskbar, else the topmost
    // usable one (iconified windows count: activating de-iconifies).
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const auto* f = factsOf(*it);
        if ((f->kind == WindowKind::Normal || f->kind == WindowKind::Dialog) && !f->skipTaskbar && allowed(*it))
            return *it;
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        if (usable(*factsOf(*it)) && allowed(*it)) return *it;
    return 0;
}

bool X11RunningApplication::activate(unsigned options) {
    if (windows_.empty() || connection_->broken()) return false;
    const Target t = target();
    if (!t.window) return false;

    const auto& atoms = connection_->atoms();
    const std::uint32_t time = lastUserTime();
    if (t.switchToDesktop)
        connection_->sendRootMessage(connection_->root(), atoms.netCurrentDesktop, *t.switchToDesktop, time);
    if (options & ActivateAllWindows) {
        // Only the windows on screen with the target: minimised ones and
        // those on other desktops stay where they are.
        auto desktop = [&](std::uint32_t window) {
            auto it = t.desktops.find(window);
            return it == t.desktops.end() ? kAllDesktops : it->second;
        };
        for (auto window : t.order) {
            const auto* f = factsOf(window);
            if (window == t.window || f->hidden || !usable(*f)) continue;
            if (desktop(window) != kAllDesktops && desktop(t.window) != kAllDesktops &&
                desktop(window) != desktop(t.window))
                continue;
            // _NET_RESTACK_WINDOW: no sibling, Above = raise to the top.
            connection_->sendRootMessage(window, atoms.netRestackWindow, kSourcePager, XCB_NONE, XCB_STACK_MODE_ABOVE);
        }
    }
    if (factsOf(t.window)->hidden) xcb_map_window(connection_->connection(), t.window);
    connection_->sendRootMessage(t.window, atoms.netActiveWindow, kSourcePager, time, XCB_NONE);
    connection_->flush();
    if (activationListener_) activationListener_(*this);
    return true;
}

bool X11RunningApplication::unhide() {
    if (connection_->broken()) return false;
    // Only the window that activation brings to the front leaves the
    // iconic state (ICCCM: by mapping it); the user's other minimised
    // windows stay where they put them.
    const std::uint32_t window = windows_.empty() ? 0 : target().window;
    const auto* f = window ? factsOf(window) : nullptr;
    if (f && f->hidden) {
        xcb_map_window(connection_->connection(), window);
        connection_->flush();
    }
    return true;
}

} // namespace platform::x11
