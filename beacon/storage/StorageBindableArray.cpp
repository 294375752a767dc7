#include "beacon/storage/StorageBindableArray.h"

#include "beacon/logger/Logger.h"
#include "beacon/storage/StorageNumberType.h"
#include "beacon/storage/StorageTextType.h"

#include <sqlite3.h>

namespace beacon {

void StorageBindableArray::addString(std::optional<std::string> value) {
    values_.push_back(std::make_shared<StorageTextType>(std::move(value)));
}

void StorageBindableArray::addNumber(std::int64_t value) {
    values_.push_back(std::make_shared<StorageNumberType>(value));
}

int StorageBindableArray::bindAllValuesWithStatement(sqlite3_stmt* statement) const {
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        const int result = values_[i]->bindWithStatement(statement, index);
        if (result != SQLITE_OK) {
            BEACON_LOG_ERROR("Binding query parameter " + std::to_string(index) + " failed with error: " +
                             std::to_string(result) + ". Message: " + sqlite3_errmsg(sqlite3_db_handle(statement)));
            return result;
        }
    }
    return SQLITE_OK;
}

} // namespace beacon
