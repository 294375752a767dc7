#pragma once

#include <string>

namespace beacon {

// An error value handed to completion handlers: a domain, a code within it and
// a readable description. Telemetry errors use kErrorDomain; transport
// failures use kTransportErrorDomain with the libcurl result code.
struct Error {
    std::string domain;
    long code = 0;
    std::string description;
    // The system's errno behind a transport failure, when known (a failed
    // connect tells "no route" from "refused" this way).
    int osErrno = 0;

    bool is(const std::string& errorDomain, long errorCode) const {
        return domain == errorDomain && code == errorCode;
    }
};

inline constexpr const char* kErrorDomain = "com.zelvo.beacon.ErrorDomain";
inline constexpr const char* kTransportErrorDomain = "libcurl";

enum ErrorCode : long {
    kInvalidContainerErrorCode = 1,
    kCanceledErrorCode = 2,
    kDisabledErrorCode = 3,
    kCanceledWithDeletionErrorCode = 100,
};

// The telemetry error of `code` with its fixed description.
Error makeError(ErrorCode code);

} // namespace beacon
