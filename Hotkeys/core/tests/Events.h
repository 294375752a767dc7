#pragma once

#include "platform/Event.h"

namespace Hotkeys {

// An event as an event source delivers it to the monitors.
inline platform::Event makeEvent(platform::EventType type, std::uint16_t keyCode = 0, std::uint64_t flags = 0) {
    platform::Event e;
    e.type = type;
    e.keyCode = keyCode;
    e.modifierFlags = flags;
    return e;
}

} // namespace Hotkeys
