#include "Hotkeys/core/Shortcut.h"

#include "Hotkeys/core/CarbonHotkeys.h"
#include "Hotkeys/core/HotKeyService.h"
#include "Hotkeys/core/KeyboardLayout.h"
#include "Hotkeys/core/Menu.h"
#include "Hotkeys/core/Services.h"
#include "Hotkeys/core/Text.h"

#include <nlohmann/json.hpp>

namespace Hotkeys {

Shortcut::Shortcut(std::int64_t keyCode, std::int64_t modifiers)
    : carbonKeyCode(keyCode), carbonModifiers(normalizedCarbonModifiers(modifiers)) {}

Shortcut::Shortcut(Key key, EventModifiers modifiers)
    : carbonKeyCode(key.rawValue), carbonModifiers(modifiers.carbonValue()) {}

Shortcut Shortcut::unnormalized(std::int64_t keyCode, std::int64_t modifiers) {
    Shortcut s;
    s.carbonKeyCode = keyCode;
    s.carbonModifiers = modifiers;
    return s;
}

std::optional<Shortcut> Shortcut::fromEvent(const platform::Event& event) {
    if (event.type != platform::EventType::KeyDown && event.type != platform::EventType::KeyUp) return std::nullopt;
    return Shortcut(event.keyCode, EventModifiers(event.modifierFlags).carbonValue());
}

std::string Shortcut::toJson() const {
    // Written by hand so that the member order is fixed.
    return "{\"carbonKeyCode\":" + std::to_string(carbonKeyCode) +
           ",\"carbonModifiers\":" + std::to_string(carbonModifiers) + "}";
}

std::optional<Shortcut> Shortcut::fromJson(std::string_view text) {
    auto json = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (json.is_discarded() || !json.is_object()) return std::nullopt;
    auto member = [&](const char* key) -> std::optional<std::int64_t> {
        auto it = json.find(key);
        if (it == json.end()) return std::nullopt;
        if (it->is_number_integer()) {
            // Values above the signed 64-bit range do not fit the model.
            if (it->is_number_unsigned() && it->get<std::uint64_t>() > std::uint64_t(INT64_MAX)) return std::nullopt;
            return it->get<std::int64_t>();
        }
        return std::nullopt;
    };
    auto code = member("carbonKeyCode");
    auto modifiers = member("carbonModifiers");
    if (!code || !modifiers) return std::nullopt;
    return unnormalized(*code, *modifiers);
}

std::optional<std::string> Shortcut::keyCharacter() const {
    if (auto glyph = keyGlyph(carbonKeyCode)) return glyph;
    const KeyboardLayout* layout = services().keyboardLayout;
    if (!layout) return std::nullopt;
    if (carbonKeyCode < 0 || carbonKeyCode > 65535) return std::nullopt;
    return layout->translate(static_cast<std::uint16_t>(carbonKeyCode));
}

std::string Shortcut::description() const {
    std::string text = eventModifiers().modifierSymbols();
    if (auto key = keyCharacter()) text += text::capitalized(*key);
    else text += "\uFFFD";
    return text;
}

std::string Shortcut::displayName() const {
    std::string text;
    const auto modifiers = eventModifiers();
    if (modifiers.contains(platform::ModifierControl)) text += "Ctrl+";
    if (modifiers.contains(platform::ModifierOption)) text += "Alt+";
    if (modifiers.contains(platform::ModifierShift)) text += "Shift+";
    if (modifiers.contains(platform::ModifierCommand)) text += "Super+";
    if (auto name = linuxKeyName(carbonKeyCode)) return text + *name;
    if (auto key = keyCharacter()) return text + text::capitalized(*key);
    return text + "\uFFFD";
}

std::string Shortcut::menuKeyEquivalent() const {
    std::string key = keyCharacter().value_or("");
    if (text::characterCount(key) <= 1) return key;
    return menuKeyEquivalentEntry(carbonKeyCode).value_or("");
}

const MenuItem* Shortcut::conflictingMenuItem(const Menu& menu) const {
    const auto character = keyCharacter();
    const std::uint64_t modifiers = eventModifiers().rawValue;
    for (const MenuItem* item : menu.items()) {
        if (!item) continue;
        std::string equivalent = item->keyEquivalent();
        std::uint64_t mask = item->keyEquivalentModifierMask();
        if (carbonModifiers & CarbonShift) {
            std::string lowered = text::lowercased(equivalent);
            if (lowered != equivalent) {
                equivalent = lowered;
                mask |= platform::ModifierShift;
            }
        }
        if (character && *character == equivalent && mask == modifiers) return item;
        if (const Menu* sub = item->submenu())
            if (const MenuItem* found = conflictingMenuItem(*sub)) return found;
    }
    return nullptr;
}

bool isHeldByAnotherProgram(const Shortcut& shortcut) {
    HotKeyService* service = services().hotKeyService;
    if (!service) return false;
    for (const auto& [id, record] : CarbonHotkeys::hotKeyTable())
        if (record->shortcut == shortcut) return false;
    std::optional<EventHotKeyRef> ref;
    const OSStatus status =
        service->registerEventHotKey(static_cast<std::uint32_t>(shortcut.carbonKeyCode),
                                     static_cast<std::uint32_t>(shortcut.carbonModifiers),
                                     EventHotKeyID{CarbonHotkeys::signature, 0}, 0, ref);
    if (status == noErr) service->unregisterEventHotKey(ref);
    return status == eventHotKeyExistsErr;
}

std::vector<Shortcut> enabledSystemShortcuts() {
    std::vector<Shortcut> result;
    const SymbolicHotKeys* source = services().symbolicHotKeys;
    if (!source) return result;
    auto list = source->copySymbolicHotKeys();
    if (!list || !list->asArray()) return result;
    for (const auto& entry : *list->asArray()) {
        const auto* dict = entry.asDictionary();
        if (!dict) return {}; // not a list of dictionaries at all
        auto field = [&](const char* key) -> const platform::Value* {
            auto it = dict->find(key);
            return it == dict->end() ? nullptr : &it->second;
        };
        const auto* enabled = field("kHISymbolicHotKeyEnabled");
        if (!enabled || enabled->asBool() != std::optional<bool>(true)) continue;
        const auto* code = field("kHISymbolicHotKeyCode");
        const auto* modifiers = field("kHISymbolicHotKeyModifiers");
        if (!code || !modifiers || !code->isInteger() || !modifiers->isInteger()) continue;
        result.emplace_back(*code->asInteger(), *modifiers->asInteger());
    }
    return result;
}

} // namespace Hotkeys
