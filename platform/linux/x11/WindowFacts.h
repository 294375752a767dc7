#pragma once

#include "platform/Workspace.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform::x11 {

// What the window manager's hints say a client window is for.
enum class WindowKind { Normal, Dialog, Utility, Dock, Desktop, Other };

// The facts of one managed client window, read from its properties.
struct WindowFacts {
    std::uint32_t window = 0;
    pid_t pid = 0;                // _NET_WM_PID; 0 when absent
    std::uint32_t leader = 0;     // WM_CLIENT_LEADER; 0 when absent
    std::string clientMachine;    // WM_CLIENT_MACHINE: the host the client runs on
    std::string wmInstance;       // WM_CLASS, first part
    std::string wmClass;          // WM_CLASS, second part
    std::string gtkApplicationId; // _GTK_APPLICATION_ID
    std::string kdeDesktopFile;   // _KDE_NET_WM_DESKTOP_FILE
    WindowKind kind = WindowKind::Normal;
    bool skipTaskbar = false; // _NET_WM_STATE_SKIP_TASKBAR
    bool hidden = false;      // _NET_WM_STATE_HIDDEN (iconified)
};

// The key that puts windows of one application together: the process when
// the window names it, else the client leader, else the WM_CLASS class. A
// process id alone names no application: clients on other hosts
// (WM_CLIENT_MACHINE) and sandboxed ones (Flatpak, each in its own process
// namespace, often with the same small pid) share ids, so the host and the
// WM_CLASS class belong to the key too.
std::string applicationKey(const WindowFacts& window);

// Regular when some window is an ordinary or dialog window shown in the
// taskbar; prohibited when every window is a dock or desktop; accessory
// otherwise (panels, utilities, skip-taskbar-only applications).
ActivationPolicy activationPolicyOf(const std::vector<WindowFacts>& windows);

// Desktop-entry ids to look for, best first: the GTK application id, the KDE
// desktop file, the WM_CLASS class and instance (as given and lower-case).
std::vector<std::string> desktopIdCandidates(const WindowFacts& window);

// The client windows (in client-list order) grouped by application key, the
// groups in the order their first window appears.
struct WindowGroup {
    std::string key;
    std::vector<WindowFacts> windows;
};
std::vector<WindowGroup> groupWindows(const std::vector<WindowFacts>& windows);

} // namespace platform::x11
