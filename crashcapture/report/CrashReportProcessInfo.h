#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace crashcapture {

struct CrashReportProcessInfo {
    std::optional<std::string> processName;
    std::uint32_t processID = 0;
    std::optional<std::string> processPath;
    std::optional<std::chrono::sys_seconds> processStartTime;
    std::optional<std::string> parentProcessName;
    std::uint32_t parentProcessID = 0;
    bool native = true;

    bool operator==(const CrashReportProcessInfo&) const = default;
};

} // namespace crashcapture
