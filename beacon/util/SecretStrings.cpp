#include "beacon/util/SecretStrings.h"

#include "beacon/util/TextUtility.h"

#include <openssl/sha.h>

#include <vector>

namespace beacon {

namespace {

constexpr std::string_view kTargetKey = "target=";
constexpr std::string_view kAppSecretKey = "appsecret=";

std::vector<std::string_view> components(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find(';', start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string removingAll(std::string_view text, std::string_view part) {
    std::string out;
    std::size_t start = 0;
    for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, start)) {
        out.append(text.substr(start, at - start));
        start = at + part.size();
    }
    out.append(text.substr(start));
    return out;
}

} // namespace

std::optional<std::string> appSecretFrom(std::string_view secretString) {
    const bool platformKeyed = contains(secretString, kPlatformSecretKey);
    for (auto component : components(secretString)) {
        if (component.empty() || contains(component, kTargetKey)) continue;
        std::string secret;
        if (platformKeyed) {
            if (!contains(component, kPlatformSecretKey)) continue;
            secret = removingAll(component, kPlatformSecretKey);
        } else {
            secret = removingAll(component, kAppSecretKey);
        }
        if (!secret.empty()) return secret;
    }
    return std::nullopt;
}

std::optional<std::string> transmissionTargetTokenFrom(std::string_view secretString) {
    for (auto component : components(secretString)) {
        if (!contains(component, kTargetKey)) continue;
        auto token = removingAll(component, kTargetKey);
        if (!token.empty()) return token;
    }
    return std::nullopt;
}

std::optional<std::string> targetKeyFromTargetToken(std::string_view token) {
    auto key = token.substr(0, token.find('-'));
    if (key.empty()) return std::nullopt;
    return std::string(key);
}

std::optional<std::string> iKeyFromTargetToken(std::string_view token) {
    auto key = targetKeyFromTargetToken(token);
    if (!key) return std::nullopt;
    return "o:" + *key;
}

std::string sha256(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
    return hexText(digest);
}

} // namespace beacon
