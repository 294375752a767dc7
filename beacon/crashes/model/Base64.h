#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace beacon::base64 {

// Standard Base64 with padding and without line breaks.
std::string encode(std::span<const std::uint8_t> bytes);
// Nothing for text that is not such Base64.
std::optional<std::vector<std::uint8_t>> decode(std::string_view text);

} // namespace beacon::base64
