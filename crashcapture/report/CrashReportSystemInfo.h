#pragma once

#include "crashcapture/report/CrashReportProcessorInfo.h"

#include <chrono>
#include <optional>
#include <string>

namespace crashcapture {

// Values of the report's operating_system field.
enum class CrashReportOperatingSystem : int {
    MacOSX = 0,
    IPhoneOS = 1,
    IPhoneSimulator = 2,
    Unknown = 3,
    AppleTVOS = 4,
    Linux = 5,
};

// Values of the report's architecture field.
enum class CrashReportArchitecture : int {
    X86_32 = 0,
    X86_64 = 1,
    ARMv6 = 2,
    PPC = 3,
    PPC64 = 4,
    ARMv7 = 5,
    Unknown = 6,
};

// The host the crash happened on.
struct CrashReportSystemInfo {
    CrashReportOperatingSystem operatingSystem = CrashReportOperatingSystem::MacOSX;
    std::string operatingSystemVersion;
    std::optional<std::string> operatingSystemBuild;
    CrashReportArchitecture architecture = CrashReportArchitecture::Unknown;
    // The crash time; absent when the capture could not read the clock.
    std::optional<std::chrono::sys_seconds> timestamp;
    // The machine's processor, or one derived from `architecture` when the
    // report has no machine information.
    CrashReportProcessorInfo processorInfo;

    bool operator==(const CrashReportSystemInfo&) const = default;
};

} // namespace crashcapture
