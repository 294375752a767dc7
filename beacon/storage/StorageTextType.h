#pragma once

#include "beacon/storage/StorageBindableType.h"

#include <optional>
#include <string>

namespace beacon {

// A text parameter: bound as UTF-8 text that SQLite copies, or NULL when absent.
class StorageTextType final : public StorageBindableType {
public:
    explicit StorageTextType(std::optional<std::string> value);

    int bindWithStatement(sqlite3_stmt* statement, int index) const override;

    const std::optional<std::string>& value() const { return value_; }

private:
    std::optional<std::string> value_;
};

} // namespace beacon
