#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// An exception that nothing caught, as the platform hands it to the process's
// uncaught-exception handler: its type name, its message, and the return
// addresses of the stack it was thrown from (innermost first; empty when not
// known).
struct UncaughtException {
    std::string name;
    std::string reason;
    std::vector<std::uintptr_t> callStackReturnAddresses;
};

using UncaughtExceptionHandler = void (*)(const UncaughtException& exception);

// The process-wide uncaught-exception handler slot. Whoever sees an exception
// escape (the C++ terminate hook, the Qt application's event dispatch) hands
// it to the handler in this slot; the crash capture engine installs its own
// handler here when armed. Reading and writing the slot are atomic.
UncaughtExceptionHandler uncaughtExceptionHandler();
void setUncaughtExceptionHandler(UncaughtExceptionHandler handler);

// Calls the installed handler with the exception; false when the slot is empty.
bool reportUncaughtException(const UncaughtException& exception);

} // namespace platform
