#include "crashcapture/report/Utf8Text.h"

#include <cstdint>

namespace crashcapture {

namespace {

// Length of the well-formed sequence at the start of `s`, or 0 (RFC 3629:
// no overlong forms, no surrogates, nothing above U+10FFFF).
std::size_t sequenceLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const auto continuation = [&](std::size_t i, std::uint8_t low = 0x80, std::uint8_t high = 0xBF) {
        return i < s.size() && byte(i) >= low && byte(i) <= high;
    };
    const std::uint8_t b0 = byte(0);
    if (b0 < 0x80) return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF) return continuation(1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        const std::uint8_t low = b0 == 0xE0 ? 0xA0 : 0x80;
        const std::uint8_t high = b0 == 0xED ? 0x9F : 0xBF;
        return continuation(1, low, high) && continuation(2) ? 3 : 0;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        const std::uint8_t low = b0 == 0xF0 ? 0x90 : 0x80;
        const std::uint8_t high = b0 == 0xF4 ? 0x8F : 0xBF;
        return continuation(1, low, high) && continuation(2) && continuation(3) ? 4 : 0;
    }
    return 0;
}

} // namespace

std::string validUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        std::size_t length = sequenceLength(bytes);
        if (length == 0) {
            text += "\xEF\xBF\xBD";
            length = 1;
        } else {
            text.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
    return text;
}

} // namespace crashcapture
