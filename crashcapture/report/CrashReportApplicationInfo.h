#pragma once

#include <optional>
#include <string>

namespace crashcapture {

struct CrashReportApplicationInfo {
    std::string applicationIdentifier;
    std::string applicationVersion;
    std::optional<std::string> applicationMarketingVersion;

    bool operator==(const CrashReportApplicationInfo&) const = default;
};

} // namespace crashcapture
