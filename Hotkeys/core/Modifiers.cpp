#include "Hotkeys/core/Modifiers.h"

namespace Hotkeys {

namespace {
struct Pair {
    std::int64_t carbon;
    std::uint64_t flag;
};
constexpr Pair kPairs[] = {
    {CarbonControl, platform::ModifierControl},
    {CarbonOption, platform::ModifierOption},
    {CarbonShift, platform::ModifierShift},
    {CarbonCommand, platform::ModifierCommand},
};
} // namespace

EventModifiers EventModifiers::fromCarbon(std::int64_t carbonModifiers) {
    std::uint64_t flags = 0;
    for (const auto& p : kPairs)
        if (carbonModifiers & p.carbon) flags |= p.flag;
    return EventModifiers(flags);
}

std::int64_t EventModifiers::carbonValue() const {
    std::int64_t carbon = 0;
    for (const auto& p : kPairs)
        if (rawValue & p.flag) carbon |= p.carbon;
    return carbon;
}

std::string EventModifiers::modifierSymbols() const {
    std::string text;
    if (rawValue & platform::ModifierControl) text += "\u2303";
    if (rawValue & platform::ModifierOption) text += "\u2325";
    if (rawValue & platform::ModifierShift) text += "\u21E7";
    if (rawValue & platform::ModifierCommand) text += "\u2318";
    if (rawValue & platform::ModifierFunction) text += "\U0001F310\uFE0E";
    return text;
}

EventModifiers relevantModifiers(const platform::Event& event) {
    std::uint64_t flags = event.modifierFlags & platform::DeviceIndependentModifierMask;
    flags &= ~std::uint64_t(platform::ModifierCapsLock | platform::ModifierNumericPad | platform::ModifierFunction);
    return EventModifiers(flags);
}

} // namespace Hotkeys
