#pragma once

#include <string>

namespace platform::http {

// An error value handed to completion handlers: a domain, a code within it and
// a readable description. Transport failures use kTransportErrorDomain with
// the libcurl result code; libraries above add domains of their own.
struct Error {
    std::string domain;
    long code = 0;
    std::string description;
    // The system's errno behind a transport failure, when known (a failed
    // connect tells "no route" from "refused" this way).
    int osErrno = 0;

    bool is(const std::string& errorDomain, long errorCode) const { return domain == errorDomain && code == errorCode; }
};

inline constexpr const char* kTransportErrorDomain = "libcurl";

} // namespace platform::http
