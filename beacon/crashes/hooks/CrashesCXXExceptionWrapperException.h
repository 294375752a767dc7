#pragma once

#include "beacon/crashes/hooks/UncaughtCXXExceptionHandlerManager.h"

#include <cstdint>
#include <string>
#include <vector>

namespace beacon {

// An uncaught C++ exception as the crash capture sees it: the demangled type
// name, the message and the return addresses of the throw site.
class CrashesCXXExceptionWrapperException {
public:
    // name := the demangled type name (the mangled one when demangling fails,
    // empty when absent); reason := the message or empty text.
    explicit CrashesCXXExceptionWrapperException(const CrashesUncaughtCXXExceptionInfo& info);

    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    // The record's frames, in order: the throw site's stack.
    std::vector<std::uint64_t> callStackReturnAddresses() const;
    const CrashesUncaughtCXXExceptionInfo& info() const { return info_; }

    static std::string demangle(const char* mangledName);

private:
    const CrashesUncaughtCXXExceptionInfo& info_;
    std::string name_;
    std::string reason_;
};

} // namespace beacon
