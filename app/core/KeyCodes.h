#pragma once

#include <cstdint>

namespace app {

// Carbon virtual key codes of the keys the panel and its menu answer.
enum KeyCode : std::uint16_t {
    kKeyQ = 12,
    kKeyW = 13,
    kKeyReturn = 36,
    kKeyM = 46,
    kKeyTab = 48,
    kKeySpace = 49,
    kKeyAboveTab = 50, // "`" on US layouts
    kKeyBackspace = 51,
    kKeyEscape = 53,
    kKeyKeypadEnter = 76,
    kKeyLeftArrow = 123,
    kKeyRightArrow = 124,
    kKeyDownArrow = 125,
    kKeyUpArrow = 126,
};

} // namespace app
