#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Hotkeys::text {

// Unicode helpers for short key texts (UTF-8 in and out; invalid bytes are
// kept as U+FFFD).

// First letter of each word upper-case, the rest lower-case.
std::string capitalized(std::string_view utf8);
std::string lowercased(std::string_view utf8);
// User-perceived characters: combining marks and variation selectors join
// the character before them.
std::size_t characterCount(std::string_view utf8);

} // namespace Hotkeys::text
