#include "platform/Log.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace platform {

namespace {
std::mutex logMutex;
void write(const char* level, std::string_view message) {
    std::lock_guard lock(logMutex);
    std::fprintf(stderr, "zelvo %s: %.*s\n", level, static_cast<int>(message.size()), message.data());
}
} // namespace

void logError(std::string_view message) { write("error", message); }
void logWarning(std::string_view message) { write("warning", message); }
void logInfo(std::string_view message) { write("info", message); }

} // namespace platform
