#include "beacon/storage/StorageLog.h"

namespace beacon::storage_log {

void write(Level, const char*, int, std::string) {}

} // namespace beacon::storage_log
