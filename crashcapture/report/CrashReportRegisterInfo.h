#pragma once

#include <cstdint>
#include <string>

namespace crashcapture {

struct CrashReportRegisterInfo {
    std::string registerName;
    std::uint64_t registerValue = 0;

    bool operator==(const CrashReportRegisterInfo&) const = default;
};

} // namespace crashcapture
