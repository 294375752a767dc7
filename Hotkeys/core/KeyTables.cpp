#include "Hotkeys/core/Shortcut.h"

#include <map>

namespace Hotkeys {

namespace {

std::map<std::int64_t, std::string> makeGlyphTable() {
    const std::string keycap = "\u20E3";
    std::map<std::int64_t, std::string> t = {
        {36, "\u21A9"},          {51, "\u232B"},     {117, "\u2326"},    {119, "\u2198"},         {53, "\u238B"},
        {114, "?\u20DD"},        {115, "\u2196"},    {49, "Space"},      {48, "\u21E5"},          {116, "\u21DE"},
        {121, "\u21DF"},         {126, "\u2191"},    {124, "\u2192"},    {125, "\u2193"},         {123, "\u2190"},
        {71, "\u2612" + keycap}, {65, "." + keycap}, {75, "/" + keycap}, {76, "\u21A9" + keycap}, {81, "=" + keycap},
        {78, "-" + keycap},      {67, "*" + keycap}, {69, "+" + keycap},
    };
    const Key functionKeys[] = {Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,  Key::f6,  Key::f7,
                                Key::f8,  Key::f9,  Key::f10, Key::f11, Key::f12, Key::f13, Key::f14,
                                Key::f15, Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
    for (int n = 0; n < 20; ++n) t[functionKeys[n].rawValue] = "F" + std::to_string(n + 1);
    const Key keypad[] = {Key::keypad0, Key::keypad1, Key::keypad2, Key::keypad3, Key::keypad4,
                          Key::keypad5, Key::keypad6, Key::keypad7, Key::keypad8, Key::keypad9};
    for (int n = 0; n < 10; ++n) t[keypad[n].rawValue] = std::to_string(n) + keycap;
    return t;
}

std::map<std::int64_t, std::string> makeLinuxNameTable() {
    std::map<std::int64_t, std::string> t = {
        {36, "Return"},     {51, "Backspace"}, {117, "Delete"},  {119, "End"},         {53, "Escape"},
        {114, "Insert"},    {115, "Home"},     {49, "Space"},    {48, "Tab"},          {116, "Page Up"},
        {121, "Page Down"}, {126, "Up"},       {124, "Right"},   {125, "Down"},        {123, "Left"},
        {71, "Num Lock"},   {65, "Keypad ."},  {75, "Keypad /"}, {76, "Keypad Enter"}, {81, "Keypad ="},
        {78, "Keypad -"},   {67, "Keypad *"},  {69, "Keypad +"},
    };
    const Key functionKeys[] = {Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,  Key::f6,  Key::f7,
                                Key::f8,  Key::f9,  Key::f10, Key::f11, Key::f12, Key::f13, Key::f14,
                                Key::f15, Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
    for (int n = 0; n < 20; ++n) t[functionKeys[n].rawValue] = "F" + std::to_string(n + 1);
    const Key keypad[] = {Key::keypad0, Key::keypad1, Key::keypad2, Key::keypad3, Key::keypad4,
                          Key::keypad5, Key::keypad6, Key::keypad7, Key::keypad8, Key::keypad9};
    for (int n = 0; n < 10; ++n) t[keypad[n].rawValue] = "Keypad " + std::to_string(n);
    return t;
}

std::map<std::int64_t, std::string> makeMenuTable() {
    std::map<std::int64_t, std::string> t = {{Key::space.rawValue, " "}};
    const Key functionKeys[] = {Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,  Key::f6,  Key::f7,
                                Key::f8,  Key::f9,  Key::f10, Key::f11, Key::f12, Key::f13, Key::f14,
                                Key::f15, Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
    for (int n = 1; n <= 20; ++n) {
        char32_t cp = 0xF703 + n; // the platform's private-use function-key characters
        std::string s;
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
        t[functionKeys[n - 1].rawValue] = s;
    }
    return t;
}

} // namespace

std::optional<std::string> keyGlyph(std::int64_t code) {
    static const auto table = makeGlyphTable();
    auto it = table.find(code);
    if (it == table.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> linuxKeyName(std::int64_t code) {
    static const auto table = makeLinuxNameTable();
    auto it = table.find(code);
    if (it == table.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> menuKeyEquivalentEntry(std::int64_t code) {
    static const auto table = makeMenuTable();
    auto it = table.find(code);
    if (it == table.end()) return std::nullopt;
    return it->second;
}

} // namespace Hotkeys
