#pragma once

#include <string_view>

namespace platform {

// Diagnostic lines of the application shell, one per call, on stderr.
void logError(std::string_view message);
void logWarning(std::string_view message);
void logInfo(std::string_view message);

} // namespace platform
