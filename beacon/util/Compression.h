#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace beacon {

// gzip compression of request bodies.
class Compression {
public:
    using Data = std::vector<std::uint8_t>;
    // The gzip form of the bytes; nothing for empty input or when zlib fails
    // (logged at error level).
    static std::optional<Data> compressData(const Data& data);
};

} // namespace beacon
