#pragma once

#include <optional>
#include <string>

namespace crashcapture {

struct CrashReportApplicationInfo {
    std::string applicationIdentifier;
    std::string applicationVersion;
    std::optional<std::string> applicationMarketingVersion;
};

} // namespace crashcapture
