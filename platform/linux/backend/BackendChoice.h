#pragma once

#include "platform/linux/desktop/DesktopBackend.h"

#include <memory>
#include <optional>
#include <string>

namespace platform::desktop {

enum class BackendKind { Wayland, X11 };

// What the environment and a quick look at the display servers tell.
struct SessionFacts {
    std::string waylandDisplay; // $WAYLAND_DISPLAY
    bool waylandConnected = false;
    bool hasForeignToplevel = false; // zwlr_foreign_toplevel_manager_v1
    bool hasLayerShell = false;      // zwlr_layer_shell_v1
    std::string display;             // $DISPLAY
    bool x11Connected = false;
    std::string desktop; // $XDG_CURRENT_DESKTOP, for the message
};

// The backend to run, or one line saying why none can.
struct BackendChoice {
    std::optional<BackendKind> kind;
    std::string problem;
};

// A Wayland compositor with both switcher protocols runs the Wayland
// backend. One without them is refused, naming the session: falling back to
// its X11 server would list only the X11 programs. Otherwise an X11 display
// runs the X11 backend.
BackendChoice decideBackend(const SessionFacts& facts);

// Connects to what the environment names and asks what it offers.
SessionFacts probeSession();

// The choice for this process, probed once and kept.
const BackendChoice& chosenBackend();

// Opens the chosen backend's connection; nothing when it fails.
std::unique_ptr<DesktopBackend> openBackend(BackendKind kind);

// The name of the display session Zelvo runs in, for the instance socket:
// "wayland-<name>" for the Wayland backend, the X display otherwise.
std::string sessionName(BackendKind kind);

} // namespace platform::desktop
