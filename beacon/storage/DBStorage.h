#pragma once

#include "beacon/storage/StorageBindableArray.h"
#include "beacon/storage/StorageSchema.h"
#include "beacon/storage/StorageValue.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace beacon {

// A small layer over one SQLite file: creates the schema, migrates older versions,
// caps the file size by page count and runs statements with bound values.
//
// Operations share one connection, opened on first use and kept until the
// storage goes away (or the file is dropped or found corrupt). The file is in
// write-ahead-log mode with synchronous NORMAL: a commit is one append to the
// log without a flush to disk, and every committed row survives the process
// being killed (only a power loss may take the last commits). Not
// thread-safe: one owner calls it from one queue.
class DBStorage {
public:
    static constexpr std::int64_t kDefaultMaxSizeInBytes = 10 * 1024 * 1024;
    static constexpr std::int64_t kJournalSizeLimit = 64 * 1024;

    // Opens (creating when needed) the database file at `file` with the given
    // schema and version. A corrupt or foreign file (one that fails
    // "PRAGMA quick_check" included) is moved aside and created anew.
    DBStorage(StorageSchema schema, std::uint64_t version, std::filesystem::path file);
    DBStorage(std::uint64_t version, std::filesystem::path file);
    virtual ~DBStorage();

    DBStorage(const DBStorage&) = delete;
    DBStorage& operator=(const DBStorage&) = delete;

    const std::filesystem::path& dbFileURL() const { return dbFileURL_; }
    std::int64_t maxSizeInBytes() const { return maxSizeInBytes_; }
    std::int64_t pageSize() const { return pageSize_; }
    const std::optional<StorageSchema>& schema() const { return schema_; }

    // Runs `block` with the open handle, the size cap applied; answers the
    // block's SQLite result code (or the failure that kept it from running).
    // A block that meets a damaged file (SQLITE_CORRUPT, SQLITE_NOTADB) has
    // the file moved aside and replaced by an empty one before this returns.
    int executeQueryUsingBlock(const std::function<int(sqlite3*)>& block);

    int executeNonSelectionQuery(const std::string& query);
    int executeNonSelectionQuery(const std::string& query, const StorageBindableArray& values);
    std::vector<StorageRow> executeSelectionQuery(const std::string& query, const StorageBindableArray& values = {});

    bool createTable(const std::string& tableName, const StorageColumnsSchema& columnsSchema);
    bool dropTable(const std::string& tableName);
    // Deletes the database file and its journal files.
    bool dropDatabase();
    std::uint64_t countEntriesForTable(const std::string& tableName, const std::optional<std::string>& condition,
                                       const StorageBindableArray& values = {});

    // Changes the size cap. The size is rounded up to whole pages; a cap below the
    // pages already in use is refused. `completionHandler` gets the outcome.
    void setMaxStorageSize(std::int64_t sizeInBytes, const std::function<void(bool)>& completionHandler);

    // Column name -> position in its table, for every table of `schema`.
    static std::map<std::string, std::map<std::string, std::size_t>> columnsIndexes(const StorageSchema& schema);

    // Forms that work on an already open handle.
    static int executeNonSelectionQuery(const std::string& query, sqlite3* db, const StorageBindableArray& values = {});
    static std::vector<StorageRow> executeSelectionQuery(const std::string& query, sqlite3* db, int* result = nullptr,
                                                         const StorageBindableArray& values = {});
    // Prepares `query`, binds `values`, runs `block` with the statement, finalizes;
    // answers the block's result (or the prepare/bind failure).
    static int executeQuery(const std::string& query, sqlite3* db, const StorageBindableArray& values,
                            const std::function<int(sqlite3_stmt*)>& block);
    static bool tableExists(const std::string& tableName, sqlite3* db, int* result = nullptr);
    static std::uint64_t versionInOpenedDatabase(sqlite3* db, int* result = nullptr);
    static int setVersion(std::uint64_t version, sqlite3* db);
    static int enableAutoVacuumInOpenedDatabase(sqlite3* db);
    static int createTablesWithSchema(const StorageSchema& schema, sqlite3* db);
    static std::string columnsQueryFromColumnsSchema(const StorageColumnsSchema& columnsSchema);
    static std::int64_t getPageSizeInOpenedDatabase(sqlite3* db, int* result = nullptr);
    static std::int64_t getPageCountInOpenedDatabase(sqlite3* db, int* result = nullptr);
    static std::int64_t getMaxPageCountInOpenedDatabase(sqlite3* db, int* result = nullptr);
    static int setMaxPageCount(std::int64_t maxPageCount, sqlite3* db);
    // Opens the file read-write, creating it; nullptr on failure, with the code in `result`.
    static sqlite3* openDatabaseAtFileURL(const std::filesystem::path& file, int* result = nullptr);
    static StorageValue columnValueFromStatement(sqlite3_stmt* statement, int index);

    // "name" with embedded quotes doubled, for table and column names in statements.
    static std::string quoted(const std::string& identifier);

protected:
    struct DeferConfiguration {};
    // For subclasses whose hooks must run: they call initializeDatabase() once
    // they are fully constructed.
    DBStorage(std::optional<StorageSchema> schema, std::uint64_t version, std::filesystem::path file,
              DeferConfiguration);

    // Configures the file, recreating it once when it is corrupt or not a database.
    void initializeDatabase();

    // Called once on a newly created file, inside configuration.
    virtual void customizeDatabase(sqlite3* db);
    // Called when the file holds an older version than requested.
    virtual void migrateDatabase(sqlite3* db, std::uint64_t fromVersion);
    // Called after a damaged file was replaced at run time: whatever the
    // subclass keeps about rows of the old file no longer holds.
    virtual void databaseReplaced() {}

    // ".corrupt-" and the UTC time: the name a damaged file is moved to,
    // beside the original; only the latest such copy is kept.
    static constexpr const char* kCorruptSuffix = ".corrupt-";

private:
    int configureDatabase();
    // Moves the damaged file and its journals aside as
    // "<name>.corrupt-<time>", dropping an older copy.
    void moveDamagedFileAside();
    // Run-time form: the file is replaced by a configured empty one, keeping
    // the size cap.
    void replaceDamagedDatabase();
    // The kept connection, opened when there is none; null on failure.
    sqlite3* connection(int* result);
    void closeConnection();
    // The file and its write-ahead log together stay within the size cap: past
    // it, the log is checkpointed into the file and truncated.
    void keepFilesWithinCap(sqlite3* db);

    std::filesystem::path dbFileURL_;
    std::optional<StorageSchema> schema_;
    std::uint64_t version_ = 0;
    std::int64_t maxSizeInBytes_ = kDefaultMaxSizeInBytes;
    std::int64_t pageSize_ = 0;
    sqlite3* connection_ = nullptr;
    std::int64_t connectionMaxPageCount_ = 0; // the cap applied to the kept connection
};

} // namespace beacon
