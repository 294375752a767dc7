#pragma once

#include <cstdint>
#include <exception>
#include <vector>

namespace beacon {

// What the hook hands its handlers about a C++ exception that nobody caught.
// Valid only during the handler call.
struct CrashesUncaughtCXXExceptionInfo {
    const std::exception_ptr& exception; // the exception being terminated on
    const char* exceptionTypeName;       // mangled name from its type information
    const char* exceptionMessage;        // what(), the string's text, or null
    std::uint32_t exceptionFramesCount;
    const std::uintptr_t* exceptionFrames; // return addresses, the throw site's first
};

using CrashesUncaughtCXXExceptionHandler = void (*)(const CrashesUncaughtCXXExceptionInfo& info);

// Makes uncaught C++ exceptions visible with the stack of their throw site.
// Every C++ throw of the program goes through the program's own __cxa_throw,
// which (while a handler is registered) records up to 128 return addresses
// per thread before handing over to the C++ runtime. The hook's terminate
// handler gives each registered handler the exception's type name, message
// and the recorded stack, then chains to the terminate handler it replaced.
class CrashesUncaughtCXXExceptionHandlerManager {
public:
    static constexpr std::uint32_t kMaxFrames = 128;

    // Adds a handler (the same one may be added more than once); the first
    // addition installs the hook's terminate handler.
    static void addCXXExceptionHandler(CrashesUncaughtCXXExceptionHandler handler);
    // Removes one occurrence; when none is left the terminate handler that
    // was replaced is put back, unless another component replaced the hook's
    // own meanwhile, whose handler then stays in force.
    static void removeCXXExceptionHandler(CrashesUncaughtCXXExceptionHandler handler);
    static std::size_t countCXXExceptionHandler();
    // The stack recorded at the calling thread's last throw, from the throw
    // site up (without the hook's own frames); empty when nothing was recorded.
    static std::vector<std::uintptr_t> currentThreadThrowFrames();
};

} // namespace beacon
