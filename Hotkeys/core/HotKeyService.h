#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace Hotkeys {

// The operating system's global hot-key service, in the shape of the Carbon
// event interface: hot keys are registered under a (signature, id) pair and
// reported as keyboard events of kind 5 (pressed) and 6 (released) to one
// installed handler, which chooses the kinds it receives. On X11 this is a
// key grab on the root window (Hotkeys/linux); tests use
// FakeHotKeyService.

using OSStatus = std::int32_t;
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus eventNotHandledErr = -9874;
inline constexpr OSStatus eventParameterNotFoundErr = -9870;
inline constexpr OSStatus eventHotKeyExistsErr = -9878;  // someone else holds the combination
inline constexpr OSStatus eventHotKeyInvalidErr = -9879; // no such key on this keyboard
inline constexpr OSStatus eventInternalErr = -9868;

inline constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

inline constexpr std::uint32_t kEventClassKeyboard = fourCharCode("keyb");
enum EventKind : std::uint32_t {
    kEventRawKeyDown = 1,
    kEventRawKeyUp = 3,
    kEventHotKeyPressed = 5,
    kEventHotKeyReleased = 6,
};

struct EventHotKeyID {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
    bool operator==(const EventHotKeyID&) const = default;
};

struct EventTypeSpec {
    std::uint32_t eventClass = 0;
    std::uint32_t eventKind = 0;
    bool operator==(const EventTypeSpec&) const = default;
};

// Opaque references handed out by the service.
struct EventHotKeyRef {
    std::uint64_t value = 0;
    bool operator==(const EventHotKeyRef&) const = default;
};
struct EventHandlerRef {
    std::uint64_t value = 0;
    bool operator==(const EventHandlerRef&) const = default;
};

// A keyboard event as the handler receives it. Hot-key events carry the
// hot-key id; raw key events carry the key code and Carbon modifiers. An
// absent parameter reads as eventParameterNotFoundErr.
struct CarbonEvent {
    std::uint32_t eventClass = kEventClassKeyboard;
    std::uint32_t kind = 0;
    std::optional<EventHotKeyID> hotKeyID;
    std::optional<std::uint32_t> keyCode;
    std::optional<std::uint32_t> modifiers;
};

class HotKeyService {
public:
    using EventHandler = std::function<OSStatus(const CarbonEvent*)>;

    virtual ~HotKeyService() = default;
    // noErr with a reference, or a failure status (for example
    // eventHotKeyExistsErr when another program holds the combination).
    virtual OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                                         std::uint32_t options, std::optional<EventHotKeyRef>& outRef) = 0;
    virtual OSStatus unregisterEventHotKey(std::optional<EventHotKeyRef> ref) = 0;
    // Installs a handler that receives no kinds until they are added.
    virtual OSStatus installEventHandler(EventHandler handler, std::optional<EventHandlerRef>& outRef) = 0;
    virtual OSStatus addEventTypesToHandler(EventHandlerRef handler, const std::vector<EventTypeSpec>& specs) = 0;
    virtual OSStatus removeEventTypesFromHandler(EventHandlerRef handler, const std::vector<EventTypeSpec>& specs) = 0;
};

} // namespace Hotkeys
