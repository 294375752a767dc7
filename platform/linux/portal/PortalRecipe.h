#pragma once

#include "platform/linux/portal/GlobalShortcutsPortal.h"
#include "platform/linux/shortcuts/Recipe.h"

namespace platform::portal {

// The shortcut ids Zelvo binds through the portal.
inline constexpr const char* kShowShortcutId = "show";
inline constexpr const char* kShowReverseShortcutId = "show-reverse";

// A combination in the portal's spelling ("ALT+Tab", "LOGO+SHIFT+Tab").
std::string portalTrigger(const ShortcutKeys& keys);

// The hot key bound through the desktop portal: the shortcut and, with Shift
// added, its reverse. The portal keeps them for Zelvo's session only, so
// they are bound again at each start.
class PortalRecipe : public shortcuts::Recipe {
public:
    explicit PortalRecipe(GlobalShortcutsPortal& portal) : portal_(portal) {}

    std::string describe(const ShortcutKeys& keys) const override;
    shortcuts::TakeOverOutcome takeOver(const ShortcutKeys& keys) override;
    std::string giveBack(const ShortcutKeys& keys, const Value& restore) override;
    bool sessionOnly() const override { return true; }

private:
    GlobalShortcutsPortal& portal_;
};

} // namespace platform::portal
