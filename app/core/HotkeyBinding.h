#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace app {

// A shortcut as stored: a Carbon virtual key code and Carbon modifier bits
// (cmdKey 0x100, shiftKey 0x200, optionKey 0x800, controlKey 0x1000).
struct HotkeyShortcut {
    std::uint32_t keyCode = 0;
    std::uint32_t carbonModifiers = 0;
};

// What the delegate reads of a stored shortcut.
struct StoredShortcut {
    // Its modifiers in the platform's event modifier-flag bits
    // (platform::ModifierOption, ...), as carried by platform::Event.
    std::uint64_t eventModifiers = 0;
    // Its name as users read it, for example "Alt+Tab".
    std::string description;
    // Its Carbon virtual key code.
    std::uint32_t keyCode = 0;
    // Its modifiers as Carbon bits.
    std::uint32_t carbonModifiers = 0;
};

// Named global hot keys, persisted in user defaults.
class HotkeyBinding {
public:
    virtual ~HotkeyBinding() = default;
    // Calls `handler` on the main thread each time the shortcut stored for
    // `name` is pressed. `defaultShortcut` is the shortcut of the name while
    // the user has stored none.
    virtual void addKeyDownHandler(const std::string& name, std::optional<HotkeyShortcut> defaultShortcut,
                                   std::function<void()> handler) = 0;
    // The shortcut currently in effect for `name`; nothing when the user
    // cleared it.
    virtual std::optional<StoredShortcut> storedShortcut(const std::string& name) = 0;
    // Whether the shortcut of `name` is in effect: false while another
    // program holds the combination.
    virtual bool isAvailable(const std::string&) { return true; }
    // Lets go of the combination of `name` (so that the program it was
    // taken from can have it again), or asks for it again.
    virtual void release(const std::string&) {}
    virtual void retry(const std::string&) {}
};

} // namespace app
