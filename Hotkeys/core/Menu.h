#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Hotkeys {

class Menu;

// A menu item as the shortcut code sees it: a key equivalent (the text of
// its key, an upper-case letter standing for Shift plus the letter) and a
// modifier mask in event flags. The Qt adapter wraps a QAction.
class MenuItem {
public:
    // Clears every ObjectAssociation slot of the item.
    virtual ~MenuItem();
    virtual std::string keyEquivalent() const = 0;
    virtual std::uint64_t keyEquivalentModifierMask() const = 0;
    virtual void setKeyEquivalent(const std::string& keyEquivalent) = 0;
    virtual void setKeyEquivalentModifierMask(std::uint64_t mask) = 0;
    // Whether the platform may adapt the key equivalent to the keyboard
    // layout; off while a shortcut's layout text is shown.
    virtual void setAllowsAutomaticKeyEquivalentLocalization(bool allows) {}
    virtual const Menu* submenu() const { return nullptr; }
    // The item's visible title (for messages that name it).
    virtual std::string title() const { return {}; }
};

class Menu {
public:
    virtual ~Menu() = default;
    virtual std::vector<const MenuItem*> items() const = 0;
};

} // namespace Hotkeys
