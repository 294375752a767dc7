#pragma once

#include <string>

namespace beacon {

// The application's identifier, in the role of a main bundle identifier:
// it names the keychain service and the telemetry storage folder.
inline constexpr const char* kDefaultBundleIdentifier = "com.zelvo.Zelvo";

std::string mainBundleIdentifier();
// For embedders other than Zelvo; takes effect for names computed later.
void setMainBundleIdentifier(std::string identifier);

} // namespace beacon
