#pragma once

#include "platform/Workspace.h"
#include "platform/linux/desktop/PanelSurface.h"

#include <string>

namespace platform::desktop {

// The program that decides what global shortcuts do on this desktop.
struct ShortcutHostFacts {
    std::string name;        // as it calls itself ("Openbox", "sway"); empty when unknown
    bool compositor = false; // a Wayland compositor, which runs `zelvo --show`
    int pid = 0;             // its process, when it says
    std::string configFile;  // its configuration file, when it says
};

// The display system under Zelvo's switcher, X11 or a Wayland compositor:
// its window list and activation, read on the main thread. The embedder
// calls processEvents() when fileDescriptor() is readable and
// processQueuedEvents() before its loop sleeps.
class DesktopBackend {
public:
    virtual ~DesktopBackend() = default;
    virtual Workspace& workspace() = 0;
    virtual int fileDescriptor() const = 0;
    virtual void processEvents() = 0;
    virtual void processQueuedEvents() = 0;
    // The switcher panel's own surface where the toolkit's windows cannot
    // be one (one per backend, made on first use); nothing where the panel is
    // an ordinary toolkit window.
    virtual PanelSurface* panelSurface() { return nullptr; }
    virtual ShortcutHostFacts shortcutHostFacts() = 0;
};

} // namespace platform::desktop
