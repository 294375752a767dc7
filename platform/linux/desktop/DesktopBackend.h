#pragma once

#include "platform/Workspace.h"
#include "platform/linux/desktop/PanelSurface.h"

namespace platform::desktop {

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
};

} // namespace platform::desktop
