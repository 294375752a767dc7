#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Modifier-flag bits carried by every event (the device-independent bits are
// masked by 0xFFFF0000).
enum ModifierFlag : std::uint64_t {
    ModifierCapsLock = 0x10000,
    ModifierShift = 0x20000,
    ModifierControl = 0x40000,
    ModifierOption = 0x80000,   // Alt on a PC keyboard
    ModifierCommand = 0x100000, // Super
    ModifierNumericPad = 0x200000,
    ModifierFunction = 0x800000,
    DeviceIndependentModifierMask = 0xFFFF0000,
};

enum class EventType { KeyDown, KeyUp, FlagsChanged, LeftMouseDown, LeftMouseUp, RightMouseDown, RightMouseUp };

// An input event as the application's monitors see it. Key codes are the
// Carbon virtual key codes (Tab 48, Return 36, Escape 53, ...), whatever the
// platform's own codes are.
struct Event {
    EventType type = EventType::KeyDown;
    std::uint16_t keyCode = 0;
    std::string characters;
    std::string charactersIgnoringModifiers;
    std::uint64_t modifierFlags = 0;
    bool isARepeat = false;
    double x = 0, y = 0;          // pointer position in window coordinates (mouse events)
    const void* window = nullptr; // the window the event belongs to, if any
};

// Mask bits for monitors.
enum EventMask : unsigned {
    EventMaskKeyDown = 1u << 0,
    EventMaskKeyUp = 1u << 1,
    EventMaskFlagsChanged = 1u << 2,
    EventMaskLeftMouseDown = 1u << 3,
    EventMaskLeftMouseUp = 1u << 4,
    EventMaskRightMouseDown = 1u << 5,
    EventMaskRightMouseUp = 1u << 6,
};

inline unsigned maskFor(EventType type) {
    switch (type) {
    case EventType::KeyDown: return EventMaskKeyDown;
    case EventType::KeyUp: return EventMaskKeyUp;
    case EventType::FlagsChanged: return EventMaskFlagsChanged;
    case EventType::LeftMouseDown: return EventMaskLeftMouseDown;
    case EventType::LeftMouseUp: return EventMaskLeftMouseUp;
    case EventType::RightMouseDown: return EventMaskRightMouseDown;
    case EventType::RightMouseUp: return EventMaskRightMouseUp;
    }
    return 0;
}

} // namespace platform
