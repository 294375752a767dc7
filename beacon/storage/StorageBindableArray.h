#pragma once

#include "beacon/storage/StorageBindableType.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace beacon {

// The ordered parameter values of one statement; the first value is parameter 1.
class StorageBindableArray {
public:
    void addString(std::optional<std::string> value);
    void addNumber(std::int64_t value);

    // Binds every value in order; stops at the first failure and returns its SQLite
    // result code (SQLITE_OK when all were bound).
    int bindAllValuesWithStatement(sqlite3_stmt* statement) const;

    std::size_t count() const { return values_.size(); }
    bool empty() const { return values_.empty(); }

private:
    std::vector<std::shared_ptr<const StorageBindableType>> values_;
};

} // namespace beacon
