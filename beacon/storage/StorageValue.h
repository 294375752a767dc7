#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace beacon {

// One column value read back from the database: NULL, a signed 64-bit integer or text.
using StorageValue = std::variant<std::monostate, std::int64_t, std::string>;

// One result row: its column values in column order.
using StorageRow = std::vector<StorageValue>;

} // namespace beacon
