#pragma once

#include "platform/ShortcutHost.h"
#include "platform/UserDefaults.h"
#include "platform/linux/desktop/DesktopBackend.h"
#include "platform/linux/portal/GlobalShortcutsPortal.h"

#include <functional>
#include <memory>

namespace platform::portal {

// What decides the hot key on this desktop, and Zelvo's way to bind it: on a
// compositor whose desktop portal binds global shortcuts, the portal (its
// presses reach `shown`, true for the reverse); otherwise the window
// manager's or compositor's own settings.
struct DesktopShortcuts {
    std::unique_ptr<GlobalShortcutsPortal> portal;
    std::unique_ptr<ShortcutHost> host;
};
DesktopShortcuts makeDesktopShortcuts(const desktop::ShortcutHostFacts& facts, UserDefaults& defaults,
                                      std::function<void(bool reverse)> shown);

} // namespace platform::portal
