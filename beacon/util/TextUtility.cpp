#include "beacon/util/TextUtility.h"

#include "beacon/logger/Logger.h"

#include <nlohmann/json.hpp>

#include <regex>

namespace beacon {

std::string prettyPrintJson(const std::vector<std::uint8_t>& data) {
    std::string text(data.begin(), data.end());
    auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded()) return text;
    std::string pretty = json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    for (std::size_t at = pretty.find("\\/"); at != std::string::npos; at = pretty.find("\\/", at)) pretty.erase(at, 1);
    return pretty;
}

std::optional<std::string> obfuscateString(const std::string& text, const std::string& pattern,
                                           const std::string& replacement) {
    try {
        const std::regex expression(pattern, std::regex::ECMAScript | std::regex::icase);
        return std::regex_replace(text, expression, replacement);
    } catch (const std::regex_error& error) {
        BEACON_LOG_ERROR("Couldn't create regular expression with pattern\"", pattern, "\": ", error.what());
        return std::nullopt;
    }
}

std::string hexText(std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * bytes.size());
    for (auto byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

} // namespace beacon
