#include "platform/linux/portal/DesktopShortcutHost.h"

#include "platform/linux/portal/PortalRecipe.h"
#include "platform/linux/shortcuts/LinuxShortcutHost.h"

#include <cstdlib>

namespace platform::portal {

namespace {

// The desktop as users call it ("KDE", "Hyprland"), for the portal's host.
std::string desktopName() {
    const char* current = std::getenv("XDG_CURRENT_DESKTOP");
    std::string name = current ? current : "";
    name = name.substr(0, name.find(':'));
    return name.empty() ? "Your desktop" : name;
}

} // namespace

DesktopShortcuts makeDesktopShortcuts(const desktop::ShortcutHostFacts& facts, UserDefaults& defaults,
                                      std::function<void(bool reverse)> shown) {
    DesktopShortcuts result;
    if (facts.compositor) result.portal = GlobalShortcutsPortal::connect(QDBusConnection::sessionBus());
    if (result.portal) {
        result.portal->setActivatedHandler(
            [shown = std::move(shown)](const std::string& id) { shown(id == kShowReverseShortcutId); });
        result.host = std::make_unique<shortcuts::LinuxShortcutHost>(desktopName(), true, defaults,
                                                                     std::make_unique<PortalRecipe>(*result.portal));
        return result;
    }
    result.host = shortcuts::makeShortcutHost(facts.name, facts.compositor, defaults, facts.pid, facts.configFile);
    return result;
}

} // namespace platform::portal
