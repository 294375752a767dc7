#include "platform/linux/portal/PortalRecipe.h"

#include "platform/linux/shortcuts/KeyNames.h"

namespace platform::portal {

namespace {
constexpr std::uint32_t kShiftBit = 0x200;
}

std::string portalTrigger(const ShortcutKeys& keys) {
    const std::string key = shortcuts::keysymName(keys.keyCode);
    if (key.empty()) return {};
    return shortcuts::spellModifiers(keys, {"LOGO", "CTRL", "ALT", "SHIFT", "+"}) + key;
}

std::string PortalRecipe::describe(const ShortcutKeys& keys) const {
    return "Zelvo asks your desktop to show its switcher for " + keys.displayName +
           "; the desktop may ask you to confirm, and can change the combination in its keyboard settings.";
}

shortcuts::TakeOverOutcome PortalRecipe::takeOver(const ShortcutKeys& keys) {
    ShortcutKeys reverse = keys;
    reverse.modifiers |= kShiftBit;
    std::vector<PortalShortcut> wanted{{kShowShortcutId, "Show the Zelvo switcher", portalTrigger(keys)}};
    // Shift+Tab moves the highlight back; with Shift in the hot key already
    // there is no reverse.
    if (!(keys.modifiers & kShiftBit))
        wanted.push_back({kShowReverseShortcutId, "Show the Zelvo switcher, highlight going back",
                          portalTrigger(reverse)});
    portal_.bind(std::move(wanted));
    return {};
}

std::string PortalRecipe::giveBack(const ShortcutKeys&, const Value&) {
    portal_.unbind();
    return {};
}

} // namespace platform::portal
