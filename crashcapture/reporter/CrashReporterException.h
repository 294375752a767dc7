#pragma once

#include <stdexcept>
#include <string>

namespace crashcapture {

// Raised for a misuse of an enabled reporter: enabling it a second time, or
// changing its crash callbacks once it is enabled.
class CrashReporterException : public std::logic_error {
public:
    static constexpr const char* kName = "CrashReporterException";
    explicit CrashReporterException(const std::string& reason) : std::logic_error(reason) {}
    const char* name() const noexcept { return kName; }
};

} // namespace crashcapture
