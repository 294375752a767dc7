#include "platform/UncaughtExceptionHandler.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<UncaughtExceptionHandler> slot{nullptr};
} // namespace

UncaughtExceptionHandler uncaughtExceptionHandler() { return slot.load(std::memory_order_acquire); }

void setUncaughtExceptionHandler(UncaughtExceptionHandler handler) { slot.store(handler, std::memory_order_release); }

bool reportUncaughtException(const UncaughtException& exception) {
    UncaughtExceptionHandler handler = uncaughtExceptionHandler();
    if (!handler) return false;
    handler(exception);
    return true;
}

} // namespace platform
