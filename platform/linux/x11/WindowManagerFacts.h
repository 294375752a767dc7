#pragma once

#include "platform/linux/desktop/DesktopBackend.h"
#include "platform/linux/x11/X11Connection.h"

namespace platform::x11 {

// The running window manager as it announces itself: the name and process
// on its _NET_SUPPORTING_WM_CHECK window, and the configuration file openbox
// names in _OB_CONFIG_FILE. Empty facts without an EWMH window manager.
desktop::ShortcutHostFacts windowManagerFacts(X11Connection& connection);

} // namespace platform::x11
