#pragma once

#include <cstdint>

namespace app {

// Carbon virtual key codes of the keys the panel and its menu answer.
enum KeyCode : std::uint16_t {
    kKeyReturn = 36,
    kKeyTab = 48,
    kKeySpace = 49,
    kKeyEscape = 53,
    kKeyKeypadEnter = 76,
    kKeyDownArrow = 125,
    kKeyUpArrow = 126,
};

} // namespace app
