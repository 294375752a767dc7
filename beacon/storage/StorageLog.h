#pragma once

#include <string>

namespace beacon::storage_log {

// Diagnostic lines of the storage, under the core's "Beacon" tag.
enum Level : unsigned { Verbose = 2, Debug = 3, Info = 4, Warning = 5, Error = 6 };

void write(Level level, const char* function, int line, std::string message);

} // namespace beacon::storage_log

#define BCN_STORAGE_LOG(level, message) \
    ::beacon::storage_log::write(::beacon::storage_log::level, __func__, __LINE__, (message))
