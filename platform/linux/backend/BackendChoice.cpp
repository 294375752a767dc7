#include "platform/linux/backend/BackendChoice.h"

#include "platform/linux/wayland/WaylandWorkspace.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11Workspace.h"

#include <cstdlib>

namespace platform::desktop {

namespace {

constexpr const char* kWhatWorks =
    "Zelvo needs an X11 session or a wlroots compositor (sway, Hyprland, labwc, niri, wayfire, river)";

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// "ubuntu:GNOME" names the GNOME session.
std::string sessionLabel(const std::string& desktop) {
    if (desktop.empty()) return "this Wayland session";
    auto colon = desktop.rfind(':');
    return "this " + (colon == std::string::npos ? desktop : desktop.substr(colon + 1)) + " Wayland session";
}

} // namespace

BackendChoice decideBackend(const SessionFacts& f) {
    if (f.waylandConnected) {
        if (f.hasForeignToplevel && f.hasLayerShell) return {BackendKind::Wayland, {}};
        std::string missing;
        if (!f.hasForeignToplevel) missing = "zwlr_foreign_toplevel_manager_v1";
        if (!f.hasLayerShell) missing += std::string(missing.empty() ? "" : " and ") + "zwlr_layer_shell_v1";
        return {std::nullopt, sessionLabel(f.desktop) + " offers no window list or panel layer to other programs (" +
                                  missing + " missing); " + kWhatWorks};
    }
    if (f.x11Connected) return {BackendKind::X11, {}};
    std::string reason;
    if (!f.waylandDisplay.empty()) reason = "cannot connect to the Wayland compositor \"" + f.waylandDisplay + "\"";
    if (!f.display.empty())
        reason += (reason.empty() ? "cannot open" : " nor open") + std::string(" the X11 display \"") + f.display + "\"";
    if (reason.empty()) reason = "neither WAYLAND_DISPLAY nor DISPLAY is set";
    return {std::nullopt, "no display: " + reason + "; " + kWhatWorks};
}

SessionFacts probeSession() {
    SessionFacts facts;
    facts.waylandDisplay = env("WAYLAND_DISPLAY");
    facts.display = env("DISPLAY");
    facts.desktop = env("XDG_CURRENT_DESKTOP");
    if (!facts.waylandDisplay.empty()) {
        if (auto connection = wayland::WaylandConnection::open(facts.waylandDisplay.c_str())) {
            facts.waylandConnected = true;
            facts.hasForeignToplevel = connection->globals().toplevelManager != nullptr;
            facts.hasLayerShell = connection->globals().layerShell != nullptr;
        }
    }
    // An X server is only looked at when the compositor cannot decide.
    if (!facts.waylandConnected && !facts.display.empty())
        facts.x11Connected = x11::X11Connection::open(facts.display.c_str()) != nullptr;
    return facts;
}

const BackendChoice& chosenBackend() {
    static const BackendChoice choice = decideBackend(probeSession());
    return choice;
}

std::unique_ptr<DesktopBackend> openBackend(BackendKind kind) {
    if (kind == BackendKind::Wayland) return wayland::WaylandWorkspace::connect();
    return x11::X11Workspace::connect();
}

std::string sessionName(BackendKind kind) {
    return kind == BackendKind::Wayland ? "wayland-" + env("WAYLAND_DISPLAY") : env("DISPLAY");
}

} // namespace platform::desktop
