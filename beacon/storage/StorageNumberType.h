#pragma once

#include "beacon/storage/StorageBindableType.h"

#include <cstdint>

namespace beacon {

// A number parameter, bound as a signed 64-bit integer.
class StorageNumberType final : public StorageBindableType {
public:
    explicit StorageNumberType(std::int64_t value);

    int bindWithStatement(sqlite3_stmt* statement, int index) const override;

    std::int64_t value() const { return value_; }

private:
    std::int64_t value_;
};

} // namespace beacon
