#include "app/hotkeys/HotkeysBinding.h"

#include "Hotkeys/core/CarbonHotkeys.h"
#include "Hotkeys/core/Name.h"

namespace app {

HotkeysBinding::HotkeysBinding(Notifier tellUser) : tellUser_(std::move(tellUser)) {}

void HotkeysBinding::addKeyDownHandler(const std::string& name, std::optional<HotkeyShortcut> defaultShortcut,
                                       std::function<void()> handler) {
    std::optional<Hotkeys::Shortcut> fallback;
    if (defaultShortcut) fallback = Hotkeys::Shortcut(defaultShortcut->keyCode, defaultShortcut->carbonModifiers);
    Hotkeys::Name hotKeyName(name, fallback);
    names_.insert_or_assign(name, hotKeyName);
    Hotkeys::addKeyDownHandler(hotKeyName, std::move(handler));

    auto stored = Hotkeys::storedShortcut(hotKeyName);
    if (!stored || told_ || !tellUser_ || isAvailable(name)) return;
    told_ = true;
    tellUser_("Hot key unavailable", "Zelvo cannot use the hot key " + stored->displayName() +
                                         " because another program is using it. Choose another one in Settings.");
}

std::optional<StoredShortcut> HotkeysBinding::storedShortcut(const std::string& name) {
    auto stored = Hotkeys::storedShortcut(Hotkeys::Name(name));
    if (!stored) return std::nullopt;
    return StoredShortcut{stored->eventModifiers().rawValue, stored->displayName(),
                          static_cast<std::uint32_t>(stored->carbonKeyCode),
                          static_cast<std::uint32_t>(stored->carbonModifiers)};
}

bool HotkeysBinding::isAvailable(const std::string& name) {
    // Registered means a record in the hot-key table; a stored shortcut
    // without one was refused by the system (another program holds it).
    auto it = names_.find(name);
    auto stored = Hotkeys::storedShortcut(it == names_.end() ? Hotkeys::Name(name) : it->second);
    if (!stored) return false;
    for (const auto& [id, record] : Hotkeys::CarbonHotkeys::hotKeyTable())
        if (record->shortcut == *stored) return true;
    return false;
}

void HotkeysBinding::release(const std::string& name) {
    if (auto it = names_.find(name); it != names_.end()) Hotkeys::disableShortcuts({it->second});
}

void HotkeysBinding::retry(const std::string& name) {
    auto it = names_.find(name);
    if (it == names_.end()) return;
    Hotkeys::disableShortcuts({it->second});
    Hotkeys::enableShortcuts({it->second});
}

} // namespace app
