#pragma once

#include "platform/Event.h"

#include <cstdint>
#include <string>

namespace Hotkeys {

// Carbon modifier bits, the encoding a Shortcut stores.
enum CarbonModifier : std::int64_t {
    CarbonCommand = 0x0100,
    CarbonShift = 0x0200,
    CarbonOption = 0x0800,
    CarbonControl = 0x1000,
};

// A set of event modifier flags (platform::ModifierFlag bits).
struct EventModifiers {
    std::uint64_t rawValue = 0;

    constexpr EventModifiers() = default;
    constexpr explicit EventModifiers(std::uint64_t raw) : rawValue(raw) {}
    // Only Control, Option, Shift and Command have a Carbon bit; all other bits are dropped.
    static EventModifiers fromCarbon(std::int64_t carbonModifiers);

    // The Carbon bits of Control, Option, Shift and Command; every other flag
    // (caps lock, numeric pad, function, device-dependent bits) is dropped.
    std::int64_t carbonValue() const;
    // "⌃⌥⇧⌘" in this order whatever the bits' order, then the globe for Function.
    std::string modifierSymbols() const;
    std::string description() const { return modifierSymbols(); }

    bool contains(std::uint64_t flags) const { return (rawValue & flags) == flags; }
    constexpr bool operator==(const EventModifiers&) const = default;
};

// Converts Carbon bits to event flags and back, keeping only the four known bits.
inline std::int64_t normalizedCarbonModifiers(std::int64_t carbonModifiers) {
    return EventModifiers::fromCarbon(carbonModifiers).carbonValue();
}

// The event's modifier flags restricted to the device-independent bits, with
// caps lock, numeric pad and function removed.
EventModifiers relevantModifiers(const platform::Event& event);

} // namespace Hotkeys
