#include "Hotkeys/core/KeyboardLayout.h"

namespace Hotkeys {

std::optional<std::string> UsKeyboardLayout::translate(std::uint16_t code) const {
    // Index = Carbon key code 0...50; a blank entry is a key this table does not type.
    static const char* const kCharacters[] = {
        "a",  "s", "d", "f", "h",     "g", "z", "x", "c", "v", nullptr, "b", "q", "w", "e", "r", // 0-15
        "y",  "t", "1", "2", "3",     "4", "6", "5", "=", "9", "7",     "-", "8", "0", "]", "o", // 16-31
        "u",  "[", "i", "p", nullptr, "l", "j", "'", "k", ";", "\\",    ",", "/", "n", "m", ".", // 32-47
        "\t", " ", "`",                                                                          // 48-50
    };
    if (code < std::size(kCharacters) && kCharacters[code]) return std::string(kCharacters[code]);
    if (code >= 54 && code <= 63) return std::string(); // modifier keys type nothing
    return std::nullopt;
}

} // namespace Hotkeys
