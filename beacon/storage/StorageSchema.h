#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace beacon {

// One column: its name and its attribute words ("INTEGER", "PRIMARY", "KEY", ...).
using StorageColumnSchema = std::pair<std::string, std::vector<std::string>>;

// The columns of one table, in column order.
using StorageColumnsSchema = std::vector<StorageColumnSchema>;

// Table name -> its columns.
using StorageSchema = std::map<std::string, StorageColumnsSchema>;

} // namespace beacon
