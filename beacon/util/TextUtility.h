#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace beacon {

// JSON text laid out for reading ("/" left unescaped); the bytes as text
// when they are not JSON.
std::string prettyPrintJson(const std::vector<std::uint8_t>& data);
// The bytes as lower-case hexadecimal digits, two per byte.
std::string hexText(std::span<const std::uint8_t> bytes);
// Replaces every case-insensitive match of the pattern (ECMAScript syntax)
// by the template ($1 etc. name groups); nothing for a bad pattern.
std::optional<std::string> obfuscateString(const std::string& text, const std::string& pattern,
                                           const std::string& replacement);

} // namespace beacon
