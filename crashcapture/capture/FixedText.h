#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace crashcapture::capture {

// Text in a fixed buffer, filled while arming and read from the crash path
// without allocation. Longer text is cut at the capacity.
template <std::size_t Capacity> struct FixedText {
    char data[Capacity] = {};
    std::size_t size = 0;
    bool present = false;

    void assign(std::string_view text) {
        size = text.size() < Capacity ? text.size() : Capacity;
        std::memcpy(data, text.data(), size);
        present = true;
    }
    void clear() {
        size = 0;
        present = false;
    }
    std::string_view view() const { return {data, size}; }
};

// Decimal text of a number into `out` (at least 21 bytes), async-signal-safe.
inline std::size_t formatInteger(long long value, char* out) {
    char digits[24];
    std::size_t count = 0;
    unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::size_t length = 0;
    if (value < 0) out[length++] = '-';
    while (count > 0) out[length++] = digits[--count];
    return length;
}

} // namespace crashcapture::capture
