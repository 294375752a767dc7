#pragma once

struct sqlite3_stmt;

namespace beacon {

// A value that can be bound to a parameter of a prepared statement.
class StorageBindableType {
public:
    virtual ~StorageBindableType() = default;

    // Binds the value to parameter `index` (counted from 1); returns the SQLite result code.
    virtual int bindWithStatement(sqlite3_stmt* statement, int index) const = 0;
};

} // namespace beacon
