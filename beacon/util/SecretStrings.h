#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace beacon {

// The component key that marks this platform's app secret in a secret
// string listing the secrets of several platforms ("linux=<secret>;...").
inline constexpr std::string_view kPlatformSecretKey = "linux=";

// The configured secret string is a list of components separated by ";":
// an app secret (bare, "appsecret=<secret>" or "linux=<secret>") and a
// transmission target token ("target=<token>").

// The app secret: the first non-empty secret among the components that are
// not target tokens. When the string names this platform's secret
// ("linux="), only such components count.
std::optional<std::string> appSecretFrom(std::string_view secretString);
// The first non-empty "target=" value.
std::optional<std::string> transmissionTargetTokenFrom(std::string_view secretString);
// The token's text before the first "-"; nothing when that is empty.
std::optional<std::string> targetKeyFromTargetToken(std::string_view token);
// The instrumentation key, "o:" followed by the target key.
std::optional<std::string> iKeyFromTargetToken(std::string_view token);

// SHA-256 of the text (its bytes up to the first zero byte) as 64 lower-case
// hex digits.
std::string sha256(std::string_view text);

} // namespace beacon
