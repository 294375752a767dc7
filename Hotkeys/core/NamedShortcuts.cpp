#include "Hotkeys/core/State.h"
#include "platform/Scheduler.h"
#include "platform/UserDefaults.h"

#include <atomic>
#include <set>

namespace Hotkeys {

using detail::state;

namespace {

void postChange(const Name& name) {
    if (auto* center = state().services.notificationCenter)
        center->post(ShortcutByNameDidChangeNotification, nullptr, {{"name", name}});
}

void handleShortcutEvent(EventType type, const Shortcut& pressed) {
    auto& s = state();
    if (s.handlingPaused) return;
    // Copies: an action may add or clear handlers while we walk the tables.
    auto plain = type == EventType::keyDown ? s.downHandlers : s.upHandlers;
    auto streams = type == EventType::keyDown ? s.downStreamHandlers : s.upStreamHandlers;
    for (const auto& [name, actions] : plain)
        if (storedShortcut(name) == pressed)
            for (const auto& action : actions) (*action)();
    for (const auto& [name, actions] : streams)
        if (storedShortcut(name) == pressed)
            for (const auto& [id, action] : actions) (*action)();
}

void registerShortcut(const Shortcut& shortcut) {
    CarbonHotkeys::registerHotKey(
        shortcut, [](const Shortcut& s) { handleShortcutEvent(EventType::keyDown, s); },
        [](const Shortcut& s) { handleShortcutEvent(EventType::keyUp, s); });
    state().activeShortcuts.insert(shortcut);
}

void unregisterShortcut(const Shortcut& shortcut) {
    CarbonHotkeys::unregisterHotKey(shortcut);
    state().activeShortcuts.erase(shortcut);
}

std::string makeSubscriptionId() {
    // Unique within the process, which is all the tables need.
    static std::atomic<std::uint64_t> counter{0};
    return "stream-" + std::to_string(++counter);
}

// After a stream ends: unregister the name's shortcut unless another name
// still in use (any handler table) is stored with the same shortcut.
void unregisterIfUnused(const Name& name) {
    auto shortcut = storedShortcut(name);
    if (!shortcut) return;
    auto& s = state();
    std::set<Name> names;
    for (const auto* table : {&s.downHandlers, &s.upHandlers})
        for (const auto& [n, actions] : *table) names.insert(n);
    for (const auto* table : {&s.downStreamHandlers, &s.upStreamHandlers})
        for (const auto& [n, actions] : *table) names.insert(n);
    for (const auto& n : names)
        if (storedShortcut(n) == shortcut) return;
    unregisterShortcut(*shortcut);
}

void removeStreamEntry(std::map<Name, std::map<std::string, detail::Action>>& table, const Name& name,
                       const std::string& id) {
    auto it = table.find(name);
    if (it == table.end()) return;
    it->second.erase(id);
    // A name with no subscription left no longer counts as using its shortcut.
    if (it->second.empty()) table.erase(it);
}

EventStream makeStream(const Name& name, bool down, bool up, std::optional<EventType> keepOnly) {
    auto channel = std::make_shared<EventStream::Channel>();
    const std::string id = makeSubscriptionId();
    std::weak_ptr<EventStream::Channel> weak = channel;
    auto& s = state();
    if (down && (!keepOnly || *keepOnly == EventType::keyDown))
        s.downStreamHandlers[name][id] = std::make_shared<std::function<void()>>([weak] {
            if (auto c = weak.lock()) c->yield(EventType::keyDown);
        });
    else if (down) s.downStreamHandlers[name][id] = std::make_shared<std::function<void()>>([] {});
    if (up && (!keepOnly || *keepOnly == EventType::keyUp))
        s.upStreamHandlers[name][id] = std::make_shared<std::function<void()>>([weak] {
            if (auto c = weak.lock()) c->yield(EventType::keyUp);
        });
    else if (up) s.upStreamHandlers[name][id] = std::make_shared<std::function<void()>>([] {});
    detail::registerIfNeeded(name);

    platform::Scheduler* scheduler = s.services.scheduler;
    channel->onTermination = [name, id, down, up, scheduler] {
        auto cleanup = [name, id, down, up] {
            auto& st = state();
            if (down) removeStreamEntry(st.downStreamHandlers, name, id);
            if (up) removeStreamEntry(st.upStreamHandlers, name, id);
            unregisterIfUnused(name);
        };
        if (scheduler) scheduler->mainQueue().async(cleanup);
        else cleanup();
    };
    return EventStream(channel);
}

} // namespace

namespace detail {

void registerIfNeeded(const Name& name) {
    auto shortcut = storedShortcut(name);
    if (!shortcut || state().activeShortcuts.count(*shortcut)) return;
    registerShortcut(*shortcut);
}

void startMenuObservation() {
    auto& s = state();
    auto* center = s.services.menuNotificationCenter;
    if (!center || s.menuBeginToken) return;
    auto setTracking = [](bool tracking) {
        auto& st = state();
        if (st.menuTracking == tracking) return;
        st.menuTracking = tracking;
        CarbonHotkeys::refreshEventHandling();
    };
    s.menuBeginToken = center->addObserver(MenuDidBeginTrackingNotification, nullptr,
                                           [setTracking](const platform::Notification&) { setTracking(true); });
    s.menuEndToken = center->addObserver(MenuDidEndTrackingNotification, nullptr,
                                         [setTracking](const platform::Notification&) { setTracking(false); });
}

} // namespace detail

Name::Name(std::string raw, std::optional<Shortcut> defaultValue)
    : rawValue(std::move(raw)), defaultShortcut(std::move(defaultValue)) {
    if (defaultShortcut) {
        auto* defaults = state().services.defaults;
        if (defaults && !defaults->object(userDefaultsKey())) storeShortcut(defaultShortcut, *this);
    }
    detail::startMenuObservation();
}

std::optional<Shortcut> Name::currentShortcut() const { return storedShortcut(*this); }
void Name::setCurrentShortcut(std::optional<Shortcut> shortcut) const { storeShortcut(std::move(shortcut), *this); }

std::optional<Shortcut> storedShortcut(const Name& name) {
    auto* defaults = state().services.defaults;
    if (!defaults) return std::nullopt;
    auto text = defaults->stringForKey(name.userDefaultsKey());
    if (!text) return std::nullopt;
    return Shortcut::fromJson(*text);
}

void storeShortcut(std::optional<Shortcut> shortcut, const Name& name) {
    auto& s = state();
    auto* defaults = s.services.defaults;
    if (!defaults) return;
    if (shortcut) {
        const std::string json = shortcut->toJson();
        if (auto old = storedShortcut(name)) unregisterShortcut(*old);
        if (!s.activeShortcuts.count(*shortcut)) registerShortcut(*shortcut);
        defaults->set(name.userDefaultsKey(), json);
        postChange(name);
        return;
    }
    auto old = storedShortcut(name);
    if (!old) return;
    if (name.defaultShortcut) defaults->set(name.userDefaultsKey(), false);
    else defaults->remove(name.userDefaultsKey());
    unregisterShortcut(*old);
    postChange(name);
}

void resetToDefault(const std::vector<Name>& names) {
    for (const auto& name : names) storeShortcut(name.defaultShortcut, name);
}

void enableShortcuts(const std::vector<Name>& names) {
    for (const auto& name : names) detail::registerIfNeeded(name);
}

void disableShortcuts(const std::vector<Name>& names) {
    for (const auto& name : names)
        if (auto shortcut = storedShortcut(name)) unregisterShortcut(*shortcut);
}

void addKeyDownHandler(const Name& name, std::function<void()> action) {
    state().downHandlers[name].push_back(std::make_shared<std::function<void()>>(std::move(action)));
    detail::registerIfNeeded(name);
}

void addKeyUpHandler(const Name& name, std::function<void()> action) {
    state().upHandlers[name].push_back(std::make_shared<std::function<void()>>(std::move(action)));
    detail::registerIfNeeded(name);
}

void clearHandlers() {
    auto& s = state();
    std::unordered_set<Shortcut> shortcuts;
    for (const auto* table : {&s.downHandlers, &s.upHandlers})
        for (const auto& [name, actions] : *table)
            if (auto sc = storedShortcut(name)) shortcuts.insert(*sc);
    for (const auto* table : {&s.downStreamHandlers, &s.upStreamHandlers})
        for (const auto& [name, actions] : *table)
            if (auto sc = storedShortcut(name)) shortcuts.insert(*sc);
    for (const auto& sc : shortcuts) unregisterShortcut(sc);
    // Released after the tables are empty: an action's captures may call back in.
    auto down = std::move(s.downHandlers);
    auto up = std::move(s.upHandlers);
    s.downHandlers.clear();
    s.upHandlers.clear();
}

EventStream eventStream(const Name& name) { return makeStream(name, true, true, std::nullopt); }

EventStream eventStream(EventType type, const Name& name) {
    return makeStream(name, type == EventType::keyDown, type == EventType::keyUp, std::nullopt);
}

EventStream filteredEventStream(EventType type, const Name& name) { return makeStream(name, true, true, type); }

bool hotKeysEnabled() { return state().hotKeysEnabled; }
void setHotKeysEnabled(bool enabled) {
    auto& s = state();
    if (s.hotKeysEnabled == enabled) return;
    s.hotKeysEnabled = enabled;
    CarbonHotkeys::refreshEventHandling();
}
bool handlingPaused() { return state().handlingPaused; }
void setHandlingPaused(bool paused) { state().handlingPaused = paused; }
bool menuTracking() { return state().menuTracking; }

const std::unordered_set<Shortcut>& activeShortcuts() { return state().activeShortcuts; }

} // namespace Hotkeys
