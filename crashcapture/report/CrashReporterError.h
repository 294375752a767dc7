#pragma once

#include <string>

namespace crashcapture {

// Error values of the reporter and the reader.
struct CrashReporterError {
    static constexpr const char* kDomain = "CrashReporterErrorDomain";

    enum Code : int {
        Unknown = 0,
        OperatingSystem = 1,    // a file operation failed; the text says which
        InvalidCrashReport = 2, // every failure of the reader
        AlreadyEnabled = 3,
    };

    std::string domain = kDomain;
    int code = Unknown;
    std::string localizedDescription;
};

} // namespace crashcapture
