#include "beacon/crashes/hooks/CrashesCXXExceptionWrapperException.h"

#include <cstdlib>
#include <cxxabi.h>

namespace beacon {

CrashesCXXExceptionWrapperException::CrashesCXXExceptionWrapperException(const CrashesUncaughtCXXExceptionInfo& info)
    : info_(info), name_(demangle(info.exceptionTypeName)),
      reason_(info.exceptionMessage ? info.exceptionMessage : "") {}

std::vector<std::uint64_t> CrashesCXXExceptionWrapperException::callStackReturnAddresses() const {
    std::vector<std::uint64_t> addresses;
    addresses.reserve(info_.exceptionFramesCount);
    for (std::uint32_t i = 0; i < info_.exceptionFramesCount; ++i) addresses.push_back(info_.exceptionFrames[i]);
    return addresses;
}

std::string CrashesCXXExceptionWrapperException::demangle(const char* mangledName) {
    if (!mangledName) return {};
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangledName, nullptr, nullptr, &status);
    if (status != 0 || !demangled) return mangledName;
    std::string name(demangled);
    std::free(demangled);
    return name;
}

} // namespace beacon
