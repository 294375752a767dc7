#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// A global shortcut in its stored form: a Carbon virtual key code and Carbon
// modifier bits (cmdKey 0x100, shiftKey 0x200, optionKey 0x800, controlKey
// 0x1000), with its name as users read it ("Alt+Tab").
struct ShortcutKeys {
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;
    std::string displayName;
    bool operator==(const ShortcutKeys& other) const {
        return keyCode == other.keyCode && modifiers == other.modifiers;
    }
};

// The program that decides what a global shortcut does on this desktop: a
// window manager, which may hold a combination Zelvo wants to grab itself,
// or a compositor, which runs `zelvo --show` for the combination it has bound
// to it. The program's settings change only through takeOver(), which is
// called once the user agreed to what takeOverDescription() says.
class ShortcutHost {
public:
    virtual ~ShortcutHost() = default;

    // The program's name as users know it ("xfwm4", "sway"); empty when it
    // cannot be told.
    virtual std::string name() const = 0;
    // True where the program runs `zelvo --show` for the shortcut, false
    // where Zelvo grabs the keys itself.
    virtual bool runsZelvoShow() const = 0;

    // Whether takeOver() knows how to change this program's settings.
    virtual bool canTakeOver(const ShortcutKeys& keys) const = 0;
    // What takeOver() will change, in a sentence for the user.
    virtual std::string takeOverDescription(const ShortcutKeys& keys) const = 0;
    // Where Zelvo grabs the keys: removes the program's own binding of `keys`.
    // Where the program runs `zelvo --show`: binds `keys` to it. Kept across
    // starts until giveBack(). Empty on success, else what failed.
    virtual std::string takeOver(const ShortcutKeys& keys) = 0;
    // Undoes takeOver(): restores the program's own binding, or removes
    // Zelvo's. Empty on success, else what failed.
    virtual std::string giveBack() = 0;
    // The shortcut taken over, while it is.
    virtual std::optional<ShortcutKeys> takenOver() const = 0;
    // Called at each start and whenever the shortcut changes: a binding that
    // lasts only for the program's session is made again, for `current`.
    virtual void renew(const ShortcutKeys& current) = 0;

    // The line to add to the program's configuration so that `keys` runs
    // `zelvo --show`, and the file it goes into; empty when there is none.
    virtual std::string configLine(const ShortcutKeys& keys) const = 0;
    virtual std::string configFile() const = 0;
    // The command that shows Zelvo's switcher, for a binding made by hand.
    virtual std::string showCommand() const = 0;
};

} // namespace platform
