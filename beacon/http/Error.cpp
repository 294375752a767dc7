#include "beacon/http/Error.h"

namespace beacon {

Error makeError(ErrorCode code) {
    switch (code) {
    case kInvalidContainerErrorCode: return {kErrorDomain, code, "Invalid log container."};
    case kCanceledErrorCode: return {kErrorDomain, code, "The operation was canceled."};
    case kDisabledErrorCode: return {kErrorDomain, code, "The service is disabled."};
    case kCanceledWithDeletionErrorCode: return {kErrorDomain, code, "Canceled, connection paused with log deletion."};
    }
    return {kErrorDomain, code, "Unknown error."};
}

} // namespace beacon
