#include "beacon/crashes/model/Base64.h"

#include <openssl/evp.h>

namespace beacon::base64 {

std::string encode(std::span<const std::uint8_t> bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3), '\0');
    if (bytes.empty()) return text;
    int written =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(), static_cast<int>(bytes.size()));
    text.resize(written < 0 ? 0 : static_cast<std::size_t>(written));
    return text;
}

std::optional<std::vector<std::uint8_t>> decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    if (text.empty()) return std::vector<std::uint8_t>{};
    std::vector<std::uint8_t> bytes(text.size() / 4 * 3);
    int written = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (written < 0) return std::nullopt;
    // EVP_DecodeBlock counts the padding as zero bytes.
    std::size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
    bytes.resize(static_cast<std::size_t>(written) - padding);
    return bytes;
}

} // namespace beacon::base64
