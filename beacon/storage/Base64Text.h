#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace beacon::base64_text {

// Standard Base64 (RFC 4648) without line breaks.
std::string encode(std::span<const std::uint8_t> bytes);

// Decodes Base64 text, skipping any character outside the alphabet (line breaks,
// blanks, stray bytes); stops at the first "=".
std::vector<std::uint8_t> decode(std::string_view text);

} // namespace beacon::base64_text
