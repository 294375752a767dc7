#pragma once

#include "Hotkeys/core/HotKeyService.h"
#include "platform/linux/keycodes/CarbonKeyCodes.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace Hotkeys::x11 {

// Global hot keys on X11: each registration grabs its key on the root window
// for every combination of the lock modifiers (Caps Lock, Num Lock, Scroll
// Lock), so a lit lock never disables the hot key. Presses and releases are
// reported to the handler as hot-key events (kinds 5 and 6) carrying the
// registration's (signature, id). A grab that another client holds is a
// refused registration, known before registerEventHotKey returns.
//
// The service does not read the connection itself: whoever owns the event
// loop passes every event to handleEvent() (the Qt native event filter in
// production, the test's loop otherwise).
class X11HotKeyService : public Hotkeys::HotKeyService {
public:
    X11HotKeyService(xcb_connection_t* connection, xcb_window_t root);
    ~X11HotKeyService() override;
    X11HotKeyService(const X11HotKeyService&) = delete;
    X11HotKeyService& operator=(const X11HotKeyService&) = delete;

    Hotkeys::OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, Hotkeys::EventHotKeyID id,
                                          std::uint32_t options,
                                          std::optional<Hotkeys::EventHotKeyRef>& outRef) override;
    Hotkeys::OSStatus unregisterEventHotKey(std::optional<Hotkeys::EventHotKeyRef> ref) override;
    Hotkeys::OSStatus installEventHandler(EventHandler handler,
                                          std::optional<Hotkeys::EventHandlerRef>& outRef) override;
    Hotkeys::OSStatus addEventTypesToHandler(Hotkeys::EventHandlerRef handler,
                                             const std::vector<Hotkeys::EventTypeSpec>& specs) override;
    Hotkeys::OSStatus removeEventTypesFromHandler(Hotkeys::EventHandlerRef handler,
                                                  const std::vector<Hotkeys::EventTypeSpec>& specs) override;

    // True when the event was a hot-key press or release and is used up.
    bool handleEvent(const xcb_generic_event_t* event);

    // Called on each hot-key press before the handler, with the server time
    // of the key event (for latency measurements).
    void setPressObserver(std::function<void(xcb_timestamp_t)> observer) { pressObserver_ = std::move(observer); }
    // Called after each hot-key press was handed to the handler, with the
    // modifiers held at the press (lock modifiers left out).
    void setPressHandledObserver(std::function<void(std::uint16_t)> observer) {
        pressHandledObserver_ = std::move(observer);
    }
    // Server time of the last delivered hot-key press.
    xcb_timestamp_t lastPressTime() const { return lastPressTime_; }
    // Whether the server agreed to detectable autorepeat (a held key then
    // repeats presses only, without releases in between).
    bool detectableAutorepeat() const { return detectableAutorepeat_; }

    // The modifier masks in use: Alt, Super, Num Lock and Scroll Lock as
    // the server's modifier mapping assigns them.
    struct ModifierMasks {
        std::uint16_t alt = XCB_MOD_MASK_1;
        std::uint16_t super = XCB_MOD_MASK_4;
        std::uint16_t numLock = XCB_MOD_MASK_2;
        std::uint16_t scrollLock = 0;
        bool operator==(const ModifierMasks&) const = default;
    };
    const ModifierMasks& masks() const { return masks_; }
    // How many times the grabs were renewed after a keymap change.
    int regrabCount() const { return regrabCount_; }
    // Told of every keymap notification (key names and characters are read
    // from a cached keymap that must then be read again).
    void addKeymapObserver(std::function<void()> observer) { keymapObservers_.push_back(std::move(observer)); }

private:
    struct Grab {
        xcb_keycode_t keycode;
        std::uint32_t carbonModifiers;
        std::uint16_t modifiers; // X modifier mask without locks, from carbonModifiers
        Hotkeys::EventHotKeyID id;
    };

    std::uint16_t x11Modifiers(std::uint32_t carbonModifiers) const;
    std::vector<std::uint16_t> lockVariants() const;
    bool grab(xcb_keycode_t keycode, std::uint16_t modifiers);
    void ungrab(xcb_keycode_t keycode, std::uint16_t modifiers);
    bool comboInUse(xcb_keycode_t keycode, std::uint16_t modifiers, std::uint64_t except) const;
    ModifierMasks readModifierMasks() const;
    void keymapChanged();
    void releaseHeldKeys();
    void deliver(std::uint32_t kind, const Hotkeys::EventHotKeyID& id);

    xcb_connection_t* connection_;
    xcb_window_t root_;
    ModifierMasks masks_;
    std::uint8_t xkbFirstEvent_ = 0;
    bool detectableAutorepeat_ = false;
    std::map<std::uint64_t, Grab> grabs_;
    std::uint64_t nextRef_ = 1;
    EventHandler handler_;
    std::set<std::uint32_t> kinds_;
    // Keys whose press was reported and whose release is awaited, with the
    // registrations the press went to.
    std::map<xcb_keycode_t, std::vector<Hotkeys::EventHotKeyID>> held_;
    xcb_timestamp_t lastPressTime_ = 0;
    int regrabCount_ = 0;
    std::function<void(xcb_timestamp_t)> pressObserver_;
    std::function<void(std::uint16_t)> pressHandledObserver_;
    std::vector<std::function<void()>> keymapObservers_;
};

// The X keycode of a Carbon virtual key code: its evdev code plus 8.
using platform::keycodes::x11KeycodeForCarbon;

} // namespace Hotkeys::x11
