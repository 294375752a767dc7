#include "Hotkeys/linux/X11HotKeyService.h"

#include "platform/Log.h"

#include "Hotkeys/core/Modifiers.h"

#include <xcb/xcb_keysyms.h>
// xkb.h names a struct member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace Hotkeys::x11 {

using namespace Hotkeys;

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

constexpr std::uint16_t kRelevantModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 |
                                             XCB_MOD_MASK_2 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;

} // namespace

X11HotKeyService::X11HotKeyService(xcb_connection_t* connection, xcb_window_t root)
    : connection_(connection), root_(root) {
    masks_ = readModifierMasks();
    // XKB: detectable autorepeat, so a held hot key does not turn into
    // release/press pairs; and keymap-change events.
    if (auto* ext = xcb_get_extension_data(connection_, &xcb_xkb_id); ext && ext->present) {
        xkbFirstEvent_ = ext->first_event;
        Reply<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
            connection_, xcb_xkb_use_extension(connection_, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
        if (use && use->supported) {
            Reply<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
                connection_,
                xcb_xkb_per_client_flags(connection_, XCB_XKB_ID_USE_CORE_KBD,
                                         XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                         XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
                nullptr));
            detectableAutorepeat_ = flags && (flags->value & XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT);
            // Map and new-keyboard notifications (Qt selects them too; selecting
            // again on the same connection is harmless).
            const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
            xcb_xkb_select_events(connection_, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, 0xFF, 0xFF, nullptr);
        }
    }
    if (!detectableAutorepeat_) platform::logWarning("hot keys: no detectable autorepeat; held keys repeat");
    xcb_flush(connection_);
}

X11HotKeyService::~X11HotKeyService() {
    for (const auto& [ref, g] : grabs_)
        if (!comboInUse(g.keycode, g.modifiers, ref)) ungrab(g.keycode, g.modifiers);
    xcb_flush(connection_);
}

X11HotKeyService::ModifierMasks X11HotKeyService::readModifierMasks() const {
    ModifierMasks masks;
    masks.scrollLock = 0;
    Reply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr));
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
    if (!mapping || !symbols) {
        if (symbols) xcb_key_symbols_free(symbols);
        return masks;
    }
    auto maskOf = [&](xcb_keysym_t sym) -> std::uint16_t {
        std::unique_ptr<xcb_keycode_t, FreeDeleter> codes(xcb_key_symbols_get_keycode(symbols, sym));
        if (!codes) return 0;
        const int perModifier = mapping->keycodes_per_modifier;
        const xcb_keycode_t* table = xcb_get_modifier_mapping_keycodes(mapping.get());
        for (int mod = 0; mod < 8; ++mod)
            for (int k = 0; k < perModifier; ++k) {
                xcb_keycode_t kc = table[mod * perModifier + k];
                if (!kc) continue;
                for (const xcb_keycode_t* c = codes.get(); *c != XCB_NO_SYMBOL; ++c)
                    if (*c == kc) return static_cast<std::uint16_t>(1u << mod);
            }
        return 0;
    };
    if (auto m = maskOf(XK_Alt_L) ? maskOf(XK_Alt_L) : maskOf(XK_Meta_L)) masks.alt = m;
    if (auto m = maskOf(XK_Super_L) ? maskOf(XK_Super_L) : maskOf(XK_Super_R)) masks.super = m;
    masks.numLock = maskOf(XK_Num_Lock);
    masks.scrollLock = maskOf(XK_Scroll_Lock);
    xcb_key_symbols_free(symbols);
    return masks;
}

std::uint16_t X11HotKeyService::x11Modifiers(std::uint32_t carbon) const {
    std::uint16_t mods = 0;
    if (carbon & CarbonShift) mods |= XCB_MOD_MASK_SHIFT;
    if (carbon & CarbonControl) mods |= XCB_MOD_MASK_CONTROL;
    if (carbon & CarbonOption) mods |= masks_.alt;
    if (carbon & CarbonCommand) mods |= masks_.super;
    return mods;
}

std::vector<std::uint16_t> X11HotKeyService::lockVariants() const {
    std::vector<std::uint16_t> locks = {XCB_MOD_MASK_LOCK};
    if (masks_.numLock) locks.push_back(masks_.numLock);
    if (masks_.scrollLock && masks_.scrollLock != masks_.numLock) locks.push_back(masks_.scrollLock);
    std::vector<std::uint16_t> variants;
    for (unsigned subset = 0; subset < (1u << locks.size()); ++subset) {
        std::uint16_t m = 0;
        for (std::size_t i = 0; i < locks.size(); ++i)
            if (subset & (1u << i)) m |= locks[i];
        variants.push_back(m);
    }
    return variants;
}

bool X11HotKeyService::grab(xcb_keycode_t keycode, std::uint16_t modifiers) {
    std::vector<xcb_void_cookie_t> cookies;
    const auto variants = lockVariants();
    for (auto lock : variants)
        cookies.push_back(xcb_grab_key_checked(connection_, 0, root_, modifiers | lock, keycode, XCB_GRAB_MODE_ASYNC,
                                               XCB_GRAB_MODE_ASYNC));
    bool ok = true;
    for (auto cookie : cookies) {
        // Checked requests report their error here instead of as an
        // asynchronous X error (which would end a program using Xlib's default handler).
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            ok = false;
            std::free(error);
        }
    }
    return ok;
}

void X11HotKeyService::ungrab(xcb_keycode_t keycode, std::uint16_t modifiers) {
    for (auto lock : lockVariants()) xcb_ungrab_key(connection_, keycode, root_, modifiers | lock);
}

bool X11HotKeyService::comboInUse(xcb_keycode_t keycode, std::uint16_t modifiers, std::uint64_t except) const {
    for (const auto& [ref, g] : grabs_)
        if (ref != except && g.keycode == keycode && g.modifiers == modifiers) return true;
    return false;
}

OSStatus X11HotKeyService::registerEventHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, EventHotKeyID id,
                                               std::uint32_t, std::optional<EventHotKeyRef>& outRef) {
    outRef.reset();
    auto keycode = x11KeycodeForCarbon(keyCode);
    if (!keycode) return eventHotKeyInvalidErr;
    const std::uint16_t modifiers = x11Modifiers(carbonModifiers);
    if (!grab(*keycode, modifiers)) {
        // Keep our own grabs of the same combination (another registration).
        if (!comboInUse(*keycode, modifiers, 0)) ungrab(*keycode, modifiers);
        xcb_flush(connection_);
        return eventHotKeyExistsErr;
    }
    const std::uint64_t ref = nextRef_++;
    grabs_[ref] = Grab{*keycode, carbonModifiers, modifiers, id};
    outRef = EventHotKeyRef{ref};
    return noErr;
}

OSStatus X11HotKeyService::unregisterEventHotKey(std::optional<EventHotKeyRef> ref) {
    if (!ref) return eventHotKeyInvalidErr;
    auto it = grabs_.find(ref->value);
    if (it == grabs_.end()) return eventHotKeyInvalidErr;
    const Grab g = it->second;
    grabs_.erase(it);
    if (!comboInUse(g.keycode, g.modifiers, 0)) ungrab(g.keycode, g.modifiers);
    for (auto& [keycode, ids] : held_) std::erase(ids, g.id);
    xcb_flush(connection_);
    return noErr;
}

OSStatus X11HotKeyService::installEventHandler(EventHandler handler, std::optional<EventHandlerRef>& outRef) {
    handler_ = std::move(handler);
    outRef = EventHandlerRef{1};
    return noErr;
}

OSStatus X11HotKeyService::addEventTypesToHandler(EventHandlerRef, const std::vector<EventTypeSpec>& specs) {
    for (const auto& s : specs)
        if (s.eventClass == kEventClassKeyboard) kinds_.insert(s.eventKind);
    return noErr;
}

OSStatus X11HotKeyService::removeEventTypesFromHandler(EventHandlerRef, const std::vector<EventTypeSpec>& specs) {
    for (const auto& s : specs)
        if (s.eventClass == kEventClassKeyboard) kinds_.erase(s.eventKind);
    return noErr;
}

void X11HotKeyService::deliver(std::uint32_t kind, const EventHotKeyID& id) {
    if (!handler_ || !kinds_.count(kind)) return;
    CarbonEvent event;
    event.kind = kind;
    event.hotKeyID = id;
    auto handler = handler_; // the handler may replace itself
    handler(&event);
}

void X11HotKeyService::releaseHeldKeys() {
    auto held = std::move(held_);
    held_.clear();
    for (const auto& [keycode, ids] : held)
        for (const auto& id : ids) deliver(kEventHotKeyReleased, id);
}

void X11HotKeyService::keymapChanged() {
    for (const auto& observer : keymapObservers_) observer();
    const ModifierMasks fresh = readModifierMasks();
    if (fresh == masks_) return; // same modifier assignment: the grabs still hold
    for (const auto& [ref, g] : grabs_) ungrab(g.keycode, g.modifiers);
    masks_ = fresh;
    for (auto& [ref, g] : grabs_) {
        g.modifiers = x11Modifiers(g.carbonModifiers);
        if (!grab(g.keycode, g.modifiers))
            platform::logWarning("hot keys: a hot key is held by another program after the keymap change");
    }
    ++regrabCount_;
    xcb_flush(connection_);
}

bool X11HotKeyService::handleEvent(const xcb_generic_event_t* event) {
    if (!event) return false;
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (type == XCB_KEY_PRESS) {
            if (key->event != root_) return false; // typed into one of our own windows
            const std::uint16_t mods = key->state & kRelevantModifiers & ~(masks_.numLock | masks_.scrollLock);
            std::vector<EventHotKeyID> ids;
            for (const auto& [ref, g] : grabs_)
                if (g.keycode == key->detail && g.modifiers == mods) ids.push_back(g.id);
            if (ids.empty()) return false;
            // A repeat of a held key (detectable autorepeat): one press per press.
            if (held_.count(key->detail)) return true;
            held_[key->detail] = ids;
            lastPressTime_ = key->time;
            if (pressObserver_) pressObserver_(key->time);
            for (const auto& id : ids) deliver(kEventHotKeyPressed, id);
            if (pressHandledObserver_) pressHandledObserver_(mods);
            return true;
        }
        // The release may come after the modifiers were let go: match the key
        // only. When one of our windows took the keyboard meanwhile (the
        // switcher panel), the release goes to that window; it still ends the
        // press here and is left for the window too.
        auto it = held_.find(key->detail);
        if (it == held_.end()) return false;
        auto ids = std::move(it->second);
        held_.erase(it);
        for (const auto& id : ids) deliver(kEventHotKeyReleased, id);
        return key->event == root_;
    }
    if (type == XCB_FOCUS_OUT) {
        // One of our windows gave up a keyboard grab (the switcher panel
        // hiding). A hot key still held then has its release go to the
        // window with the focus, never to us: end its press now, or its next
        // press would pass for autorepeat and be swallowed.
        const auto* focus = reinterpret_cast<const xcb_focus_out_event_t*>(event);
        if (focus->mode == XCB_NOTIFY_MODE_UNGRAB) releaseHeldKeys();
        return false;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        const auto* mapping = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        if (mapping->request != XCB_MAPPING_POINTER) keymapChanged();
        return false; // Qt needs it too
    }
    if (xkbFirstEvent_ && type == xkbFirstEvent_) {
        const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(event)[1];
        if (xkbType == XCB_XKB_MAP_NOTIFY || xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY) keymapChanged();
        return false;
    }
    return false;
}

} // namespace Hotkeys::x11
