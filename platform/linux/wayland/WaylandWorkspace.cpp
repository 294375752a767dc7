#include "platform/linux/wayland/WaylandWorkspace.h"

#include "platform/ApplicationId.h"
#include "platform/Log.h"
#include "platform/linux/desktop/ProcessLauncher.h"
#include "platform/linux/wayland/LayerPanelSurface.h"
#include "platform/linux/wayland/protocols/Protocols.h"

#include <algorithm>
#include <cstdlib>
#include <cctype>
#include <cstring>

namespace platform::wayland {

// One toplevel handle and what its events said since the last `done`.
struct WaylandWorkspace::Handle {
    WaylandWorkspace* workspace = nullptr;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    ToplevelFacts pending;
};

namespace {

ToplevelId idOf(zwlr_foreign_toplevel_handle_v1* handle) { return reinterpret_cast<ToplevelId>(handle); }

} // namespace

// The listeners are plain functions over the handle record.
struct HandleEvents {
    static void title(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
        static_cast<WaylandWorkspace::Handle*>(data)->pending.title = title ? title : "";
    }
    static void appId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
        static_cast<WaylandWorkspace::Handle*>(data)->pending.appId = appId ? appId : "";
    }
    static void outputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void outputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        auto& pending = static_cast<WaylandWorkspace::Handle*>(data)->pending;
        pending.activated = pending.minimized = false;
        const auto* values = static_cast<const std::uint32_t*>(states->data);
        for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i) {
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) pending.activated = true;
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED) pending.minimized = true;
        }
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1*) {
        auto* h = static_cast<WaylandWorkspace::Handle*>(data);
        h->workspace->done(*h);
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1*) {
        auto* h = static_cast<WaylandWorkspace::Handle*>(data);
        h->workspace->closed(*h);
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
};

namespace {

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener{
    &HandleEvents::title, &HandleEvents::appId, &HandleEvents::outputEnter, &HandleEvents::outputLeave,
    &HandleEvents::state, &HandleEvents::done,  &HandleEvents::closed,      &HandleEvents::parent,
};

struct ManagerEvents {
    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle);
    static void finished(void*, zwlr_foreign_toplevel_manager_v1*) {
        logWarning("Wayland: the compositor stopped sending its window list");
    }
};

} // namespace

struct ManagerAccess {
    static void added(WaylandWorkspace* workspace, zwlr_foreign_toplevel_handle_v1* handle) {
        workspace->added(handle);
    }
};

namespace {

void ManagerEvents::toplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
    ManagerAccess::added(static_cast<WaylandWorkspace*>(data), handle);
}

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener{&ManagerEvents::toplevel, &ManagerEvents::finished};

} // namespace

std::unique_ptr<WaylandWorkspace> WaylandWorkspace::connect(const char* display) {
    auto connection = WaylandConnection::open(display);
    if (!connection || !connection->globals().toplevelManager) return nullptr;
    return std::make_unique<WaylandWorkspace>(std::move(connection), desktop::DesktopEntries());
}

WaylandWorkspace::WaylandWorkspace(std::unique_ptr<WaylandConnection> connection, desktop::DesktopEntries entries)
    : connection_(std::move(connection)), entries_(std::move(entries)),
      applications_(
          center_, this, *this,
          [this](const std::string& appId, const std::string& title) { return resolve(appId, title); },
          kApplicationId) {
    zwlr_foreign_toplevel_manager_v1_add_listener(connection_->globals().toplevelManager, &kManagerListener, this);
    // What runs already is the starting state: it arrives before the
    // notifications anybody listens for.
    connection_->roundtrip();
}

desktop::PanelSurface* WaylandWorkspace::panelSurface() {
    if (!panelSurface_ && connection_->globals().layerShell)
        panelSurface_ = std::make_unique<LayerPanelSurface>(*connection_);
    return panelSurface_.get();
}

WaylandWorkspace::~WaylandWorkspace() {
    panelSurface_.reset();
    for (auto& [handle, record] : handles_) zwlr_foreign_toplevel_handle_v1_destroy(handle);
    handles_.clear();
    connection_->flush();
}

void WaylandWorkspace::added(zwlr_foreign_toplevel_handle_v1* handle) {
    auto record = std::make_unique<Handle>();
    record->workspace = this;
    record->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, record.get());
    handles_[handle] = std::move(record);
}

void WaylandWorkspace::done(Handle& handle) { applications_.update(idOf(handle.handle), handle.pending); }

void WaylandWorkspace::closed(Handle& handle) {
    auto* h = handle.handle;
    applications_.closed(idOf(h));
    zwlr_foreign_toplevel_handle_v1_destroy(h);
    handles_.erase(h); // `handle` is gone from here on
}

bool WaylandWorkspace::activate(ToplevelId toplevel) {
    auto* seat = connection_->globals().seat;
    auto* handle = reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(toplevel);
    if (!seat || !handles_.count(handle)) return false;
    zwlr_foreign_toplevel_handle_v1_activate(handle, seat);
    connection_->flush();
    return true;
}

void WaylandWorkspace::unsetMinimized(ToplevelId toplevel) {
    auto* handle = reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(toplevel);
    if (handles_.count(handle)) zwlr_foreign_toplevel_handle_v1_unset_minimized(handle);
}

void WaylandWorkspace::setMinimized(ToplevelId toplevel) {
    auto* handle = reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(toplevel);
    if (!handles_.count(handle)) return;
    zwlr_foreign_toplevel_handle_v1_set_minimized(handle);
    connection_->flush();
}

void WaylandWorkspace::close(ToplevelId toplevel) {
    auto* handle = reinterpret_cast<zwlr_foreign_toplevel_handle_v1*>(toplevel);
    if (!handles_.count(handle)) return;
    zwlr_foreign_toplevel_handle_v1_close(handle);
    connection_->flush();
}

ApplicationIdentity WaylandWorkspace::resolve(const std::string& appId, const std::string& title) {
    ApplicationIdentity identity;
    if (appId.empty()) {
        // Nothing names the program: its window's title does.
        if (!title.empty()) identity.name = title;
        return identity;
    }
    std::string lower = appId;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    // Programs that set no desktop-file app id often set the entry's
    // StartupWMClass instead.
    if (auto entry = entries_.forCandidates({appId, lower}, {appId})) {
        identity.bundleIdentifier = entry->id;
        if (!entry->name.empty()) identity.name = entry->name;
        if (!entry->icon.empty()) identity.iconName = entry->icon;
        identity.bundleURL = entry->path.string();
    } else {
        identity.bundleIdentifier = appId;
        identity.iconName = appId; // a theme icon named after the id, when there is one
    }
    if (!identity.name) identity.name = appId;
    return identity;
}

std::optional<std::string> WaylandWorkspace::urlForApplication(const std::string& bundleIdentifier) {
    if (auto entry = entries_.find(bundleIdentifier)) return entry->path.string();
    return std::nullopt;
}

void WaylandWorkspace::openApplication(const std::string& url, const OpenConfiguration&, OpenCompletion completion) {
    desktop::openApplication(url, runningApplications(), completion);
}

bool WaylandWorkspace::openURL(const std::string& url) { return desktop::openWithDefaultHandler(url); }

desktop::ShortcutHostFacts WaylandWorkspace::shortcutHostFacts() {
    desktop::ShortcutHostFacts facts;
    facts.compositor = true;
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    if (set("SWAYSOCK")) facts.name = "sway";
    else if (set("HYPRLAND_INSTANCE_SIGNATURE")) facts.name = "Hyprland";
    else if (set("NIRI_SOCKET")) facts.name = "niri";
    else if (set("LABWC_PID")) facts.name = "labwc";
    else if (const char* desktop = std::getenv("XDG_CURRENT_DESKTOP"); desktop && *desktop) {
        // "river", "wayfire", or the first of a colon-separated list.
        facts.name = desktop;
        facts.name = facts.name.substr(0, facts.name.find(':'));
    }
    return facts;
}

} // namespace platform::wayland
