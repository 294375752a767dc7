#pragma once

#include "platform/http/Error.h"

namespace beacon {

// Errors handed to the telemetry's completion handlers: the transport's error
// value, with kErrorDomain for the telemetry's own failures next to the
// transport's kTransportErrorDomain.
using Error = platform::http::Error;
using platform::http::kTransportErrorDomain;

inline constexpr const char* kErrorDomain = "com.zelvo.beacon.ErrorDomain";

enum ErrorCode : long {
    kInvalidContainerErrorCode = 1,
    kCanceledErrorCode = 2,
    kDisabledErrorCode = 3,
    kCanceledWithDeletionErrorCode = 100,
};

// The telemetry error of `code` with its fixed description.
Error makeError(ErrorCode code);

} // namespace beacon
