#include "beacon/storage/StorageTextType.h"

#include <sqlite3.h>

namespace beacon {

StorageTextType::StorageTextType(std::optional<std::string> value) : value_(std::move(value)) {}

int StorageTextType::bindWithStatement(sqlite3_stmt* statement, int index) const {
    if (!value_) {
        return sqlite3_bind_null(statement, index);
    }
    return sqlite3_bind_text64(statement, index, value_->data(), value_->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

} // namespace beacon
