#include "beacon/storage/StorageNumberType.h"

#include <sqlite3.h>

namespace beacon {

StorageNumberType::StorageNumberType(std::int64_t value) : value_(value) {}

int StorageNumberType::bindWithStatement(sqlite3_stmt* statement, int index) const {
    return sqlite3_bind_int64(statement, index, value_);
}

} // namespace beacon
