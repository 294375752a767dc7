#pragma once

#include "Hotkeys/core/AsyncStream.h"
#include "Hotkeys/core/Shortcut.h"

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace Hotkeys {

class MenuItem;

// A named, persisted shortcut slot. Creating a name with a default stores
// the default the first time (when the preference store has nothing at all
// under its key) and registers it. Equality and ordering use the raw value only.
struct Name {
    std::string rawValue;
    std::optional<Shortcut> defaultShortcut;

    Name(std::string rawValue, std::optional<Shortcut> defaultShortcut = std::nullopt);

    std::optional<Shortcut> currentShortcut() const;
    void setCurrentShortcut(std::optional<Shortcut> shortcut) const;

    // The preference key: "Hotkeys_" followed by the raw value.
    std::string userDefaultsKey() const { return "Hotkeys_" + rawValue; }

    bool operator==(const Name& other) const { return rawValue == other.rawValue; }
    bool operator<(const Name& other) const { return rawValue < other.rawValue; }
};

enum class EventType { keyDown = 0, keyUp = 1 };

using EventStream = AsyncStream<EventType>;

// Posted on the default notification centre when a name's shortcut changes;
// user info "name" holds the Name.
inline constexpr const char* ShortcutByNameDidChangeNotification = "Hotkeys_shortcutByNameDidChange";

std::optional<Shortcut> storedShortcut(const Name& name);
// Stores the shortcut (registering it) or removes it (nothing: a name with a
// default keeps a boolean false so the default is not applied again).
void storeShortcut(std::optional<Shortcut> shortcut, const Name& name);
void resetToDefault(const std::vector<Name>& names);
void enableShortcuts(const std::vector<Name>& names);
void disableShortcuts(const std::vector<Name>& names);

void addKeyDownHandler(const Name& name, std::function<void()> action);
void addKeyUpHandler(const Name& name, std::function<void()> action);
// Unregisters the shortcuts of every name with handlers or streams and drops
// the plain handlers; stream subscriptions stay but receive nothing.
void clearHandlers();

// Key-down and key-up events of the name's shortcut, buffered without bound.
EventStream eventStream(const Name& name);
// Events of one type only (its own subscription).
EventStream eventStream(EventType type, const Name& name);
// The full subscription, keeping only events of the given type.
EventStream filteredEventStream(EventType type, const Name& name);

bool hotKeysEnabled();
void setHotKeysEnabled(bool enabled);
bool handlingPaused();
void setHandlingPaused(bool paused);
// True while one of the application's menus is open.
bool menuTracking();

// Shows the name's shortcut as the item's key equivalent and keeps it
// current; nothing unbinds the item.
void setMenuShortcut(MenuItem& item, const std::optional<Name>& name);
void applyMenuShortcut(MenuItem& item, const std::optional<Shortcut>& shortcut);

// Every shortcut for which a registration was requested.
const std::unordered_set<Shortcut>& activeShortcuts();

} // namespace Hotkeys

template <> struct std::hash<Hotkeys::Name> {
    std::size_t operator()(const Hotkeys::Name& n) const noexcept { return std::hash<std::string>{}(n.rawValue); }
};
