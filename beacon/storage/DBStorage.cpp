#include "beacon/storage/DBStorage.h"

#include "beacon/logger/Logger.h"

#include <sqlite3.h>

#include <ctime>
#include <mutex>
#include <system_error>

namespace beacon {
namespace {

std::string errorMessage(sqlite3* db) { return db ? sqlite3_errmsg(db) : ""; }

// SQLite is told once per process to accept URI file names.
void configureSQLiteOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        const int result = sqlite3_config(SQLITE_CONFIG_URI, 1);
        if (result == SQLITE_OK) {
            BEACON_LOG_DEBUG("SQLite global configuration successfully updated.");
        } else {
            // Happens when SQLite was already initialised by someone else; every open
            // passes SQLITE_OPEN_URI as well, so URIs keep working.
            BEACON_LOG_ERROR(std::string("Failed to update SQLite global configuration. Error: ") +
                             sqlite3_errstr(result) + ".");
        }
    });
}

// "file:" URI of an absolute path. Everything but unreserved characters and "/" is
// percent-encoded, so that "?", "#" or "%" in a directory name cannot turn into
// URI parameters.
std::string fileURI(const std::filesystem::path& file) {
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : std::filesystem::absolute(file).string()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 0xf];
        }
    }
    return uri;
}

std::int64_t firstInteger(const std::vector<StorageRow>& rows) {
    if (rows.empty() || rows.front().empty()) {
        return 0;
    }
    if (const auto* value = std::get_if<std::int64_t>(&rows.front().front())) {
        return *value;
    }
    return 0;
}

std::int64_t pragmaInteger(const std::string& pragma, sqlite3* db, int* result) {
    int code = SQLITE_OK;
    const auto rows = DBStorage::executeSelectionQuery("PRAGMA " + pragma + ";", db, &code);
    if (result) {
        *result = code;
    }
    return code == SQLITE_OK ? firstInteger(rows) : 0;
}

bool isCorruption(int result) { return result == SQLITE_CORRUPT || result == SQLITE_NOTADB; }

// SQLITE_OK when "PRAGMA quick_check" finds the file sound, SQLITE_CORRUPT
// when it reports damage, else the code that kept it from running.
int quickCheck(sqlite3* db) {
    int result = SQLITE_OK;
    const auto rows = DBStorage::executeSelectionQuery("PRAGMA quick_check;", db, &result);
    if (result != SQLITE_OK) {
        return result;
    }
    const std::string* verdict = rows.empty() || rows.front().empty() ? nullptr : std::get_if<std::string>(&rows[0][0]);
    if (rows.size() == 1 && verdict && *verdict == "ok") {
        return SQLITE_OK;
    }
    BEACON_LOG_ERROR("Database integrity check failed: " + (verdict ? *verdict : std::string("no answer")));
    return SQLITE_CORRUPT;
}

std::string utcTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

constexpr const char* kJournalSuffixes[] = {"-journal", "-wal", "-shm"};

} // namespace

DBStorage::DBStorage(StorageSchema schema, std::uint64_t version, std::filesystem::path file)
    : DBStorage(std::optional<StorageSchema>(std::move(schema)), version, std::move(file), DeferConfiguration{}) {
    initializeDatabase();
}

DBStorage::DBStorage(std::uint64_t version, std::filesystem::path file)
    : DBStorage(std::nullopt, version, std::move(file), DeferConfiguration{}) {
    initializeDatabase();
}

DBStorage::DBStorage(std::optional<StorageSchema> schema, std::uint64_t version, std::filesystem::path file,
                     DeferConfiguration)
    : dbFileURL_(std::move(file)), schema_(std::move(schema)), version_(version) {
    configureSQLiteOnce();
}

DBStorage::~DBStorage() { closeConnection(); }

sqlite3* DBStorage::connection(int* result) {
    if (connection_) {
        return connection_;
    }
    connection_ = openDatabaseAtFileURL(dbFileURL_, result);
    connectionMaxPageCount_ = 0;
    if (connection_) {
        // Set on every new connection: files made before keep working the same way.
        executeSelectionQuery("PRAGMA journal_mode = WAL;", connection_);
        executeNonSelectionQuery("PRAGMA synchronous = NORMAL;", connection_);
        // Checkpoints leave the log no larger than this, so that it never
        // keeps the space of a past burst of writes.
        executeSelectionQuery("PRAGMA journal_size_limit = " + std::to_string(kJournalSizeLimit) + ";", connection_);
    }
    return connection_;
}

void DBStorage::closeConnection() {
    if (connection_) {
        sqlite3_close(connection_);
        connection_ = nullptr;
    }
}

void DBStorage::initializeDatabase() {
    int result = configureDatabase();
    if (isCorruption(result)) {
        moveDamagedFileAside();
        result = configureDatabase();
    }
    if (result != SQLITE_OK) {
        BEACON_LOG_ERROR("Failed to initialize database.");
    }
}

void DBStorage::customizeDatabase(sqlite3*) {}

void DBStorage::migrateDatabase(sqlite3*, std::uint64_t) {}

int DBStorage::configureDatabase() {
    std::error_code error;
    const bool existed = std::filesystem::exists(dbFileURL_, error);
    if (dbFileURL_.has_parent_path()) {
        std::filesystem::create_directories(dbFileURL_.parent_path(), error);
    }
    maxSizeInBytes_ = kDefaultMaxSizeInBytes;
    closeConnection();

    int result = SQLITE_OK;
    sqlite3* db = openDatabaseAtFileURL(dbFileURL_, &result);
    if (!db) {
        return result;
    }
    pageSize_ = getPageSizeInOpenedDatabase(db, &result);
    if (pageSize_ == 0) {
        BEACON_LOG_ERROR("Failed to get storage page size.");
        sqlite3_close(db);
        // A file that is not a database fails right here; its code is kept so that
        // the caller can recreate the file.
        return isCorruption(result) ? result : SQLITE_ERROR;
    }
    // Configuration reads only the schema; a damaged page among the rows would
    // otherwise fail every later load and insert.
    if (existed) {
        const int check = quickCheck(db);
        if (isCorruption(check)) {
            sqlite3_close(db);
            return check;
        }
    }
    const std::uint64_t storedVersion = versionInOpenedDatabase(db, &result);
    if (result == SQLITE_OK && schema_) {
        result = createTablesWithSchema(*schema_, db);
        if (result != SQLITE_OK) {
            BEACON_LOG_ERROR("Failed to create tables with schema with error \"" + std::to_string(result) + "\".");
        }
    }
    if (result == SQLITE_OK) {
        const std::string name = dbFileURL_.filename().string();
        if (existed && storedVersion < version_) {
            BEACON_LOG_INFO("Migrating \"" + name + "\" database from version " + std::to_string(storedVersion) +
                            " to " + std::to_string(version_) + ".");
            migrateDatabase(db, storedVersion);
        } else if (!existed) {
            BEACON_LOG_INFO("Created \"" + name + "\" database with " + std::to_string(version_) + " version.");
            customizeDatabase(db);
        }
        result = enableAutoVacuumInOpenedDatabase(db);
        if (result == SQLITE_OK) {
            result = setVersion(version_, db);
        }
        if (result == SQLITE_OK) {
            // Persistent in the file: commits append to "-wal" instead of
            // rewriting pages behind a rollback journal.
            executeSelectionQuery("PRAGMA journal_mode = WAL;", db);
        }
    }
    sqlite3_close(db);
    return result;
}

int DBStorage::executeQueryUsingBlock(const std::function<int(sqlite3*)>& block) {
    int result = SQLITE_OK;
    sqlite3* db = connection(&result);
    if (!db) {
        return result;
    }
    if (pageSize_ == 0) {
        BEACON_LOG_ERROR("The database was not configured correctly. The page size is expected to be non zero.");
        return SQLITE_ERROR;
    }
    const std::int64_t maxPageCount = maxSizeInBytes_ / pageSize_;
    if (maxPageCount != connectionMaxPageCount_) {
        result = setMaxPageCount(maxPageCount, db);
        if (isCorruption(result)) {
            replaceDamagedDatabase();
            return result;
        }
        if (result == SQLITE_OK) {
            connectionMaxPageCount_ = maxPageCount;
        } else {
            BEACON_LOG_ERROR("Failed to open database with specified maximum size constraint.");
        }
    }
    result = block(db);
    if (isCorruption(result)) {
        replaceDamagedDatabase();
    } else {
        keepFilesWithinCap(db);
    }
    return result;
}

void DBStorage::keepFilesWithinCap(sqlite3* db) {
    std::error_code error;
    const auto walSize = std::filesystem::file_size(dbFileURL_.string() + "-wal", error);
    if (error || walSize == 0) {
        return;
    }
    const auto fileSize = std::filesystem::file_size(dbFileURL_, error);
    if (!error && static_cast<std::int64_t>(fileSize + walSize) <= maxSizeInBytes_) {
        return;
    }
    // The log's pages go into the file (which its page cap bounds) and the log
    // is emptied; this costs a flush, so only when the cap is reached.
    const int result = sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    if (result != SQLITE_OK) {
        BEACON_LOG_DEBUG("Could not checkpoint the write-ahead log, result=" + std::to_string(result));
    }
}

void DBStorage::moveDamagedFileAside() {
    closeConnection();
    const std::filesystem::path folder = dbFileURL_.parent_path().empty() ? "." : dbFileURL_.parent_path();
    const std::string prefix = dbFileURL_.filename().string() + kCorruptSuffix;
    std::error_code error;
    // One copy is enough to look into; a file damaged again and again must
    // not fill the disk.
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            std::error_code ignored;
            std::filesystem::remove(entry.path(), ignored);
        }
    }
    const std::filesystem::path aside = folder / (prefix + utcTimeStamp());
    std::filesystem::rename(dbFileURL_, aside, error);
    // The journals belong to the damaged file: they go with it, and applied to
    // a new file they would damage it.
    for (const char* suffix : kJournalSuffixes) {
        std::error_code ignored;
        std::filesystem::rename(dbFileURL_.string() + suffix, aside.string() + suffix, ignored);
    }
    if (error) {
        BEACON_LOG_ERROR("Failed to move the damaged database aside: " + error.message());
        dropDatabase();
        return;
    }
    BEACON_LOG_ERROR("The database " + dbFileURL_.string() + " is damaged; it was moved to " + aside.string() +
                     " and a new one is created.");
}

void DBStorage::replaceDamagedDatabase() {
    const std::int64_t maxSize = maxSizeInBytes_;
    moveDamagedFileAside();
    if (configureDatabase() != SQLITE_OK) {
        BEACON_LOG_ERROR("Failed to initialize database.");
    }
    maxSizeInBytes_ = maxSize;
    databaseReplaced();
}

int DBStorage::executeNonSelectionQuery(const std::string& query) {
    return executeNonSelectionQuery(query, StorageBindableArray{});
}

int DBStorage::executeNonSelectionQuery(const std::string& query, const StorageBindableArray& values) {
    return executeQueryUsingBlock([&](sqlite3* db) { return executeNonSelectionQuery(query, db, values); });
}

std::vector<StorageRow> DBStorage::executeSelectionQuery(const std::string& query, const StorageBindableArray& values) {
    std::vector<StorageRow> rows;
    executeQueryUsingBlock([&](sqlite3* db) {
        int result = SQLITE_OK;
        rows = executeSelectionQuery(query, db, &result, values);
        return result;
    });
    return rows;
}

bool DBStorage::createTable(const std::string& tableName, const StorageColumnsSchema& columnsSchema) {
    const int result = executeQueryUsingBlock([&](sqlite3* db) {
        int code = SQLITE_OK;
        if (tableExists(tableName, db, &code) || code != SQLITE_OK) {
            return code;
        }
        return executeNonSelectionQuery(
            "CREATE TABLE " + quoted(tableName) + " (" + columnsQueryFromColumnsSchema(columnsSchema) + ");", db);
    });
    return result == SQLITE_OK;
}

bool DBStorage::dropTable(const std::string& tableName) {
    const int result = executeQueryUsingBlock(
        [&](sqlite3* db) { return executeNonSelectionQuery("DROP TABLE IF EXISTS " + quoted(tableName) + ";", db); });
    return result == SQLITE_OK;
}

bool DBStorage::dropDatabase() {
    closeConnection();
    std::error_code error;
    const bool removed = std::filesystem::remove(dbFileURL_, error);
    // A journal left by an interrupted write belongs to the old file; applied to a
    // new file it would damage it, so it goes too.
    for (const char* suffix : kJournalSuffixes) {
        std::error_code ignored;
        std::filesystem::remove(dbFileURL_.string() + suffix, ignored);
    }
    if (removed && !error) {
        BEACON_LOG_VERBOSE("Database " + dbFileURL_.string() + " has been deleted.");
        return true;
    }
    BEACON_LOG_ERROR("Failed to delete database.");
    return false;
}

std::uint64_t DBStorage::countEntriesForTable(const std::string& tableName, const std::optional<std::string>& condition,
                                              const StorageBindableArray& values) {
    std::string query = "SELECT COUNT(*) FROM " + quoted(tableName) + " ";
    if (condition && !condition->empty()) {
        query += "WHERE " + *condition;
    }
    const auto count = firstInteger(executeSelectionQuery(query, values));
    return count > 0 ? static_cast<std::uint64_t>(count) : 0;
}

void DBStorage::setMaxStorageSize(std::int64_t sizeInBytes, const std::function<void(bool)>& completionHandler) {
    int openResult = SQLITE_OK;
    sqlite3* db = openDatabaseAtFileURL(dbFileURL_, &openResult);
    if (!db) {
        // The caller learns that nothing changed rather than waiting for an answer.
        if (completionHandler) {
            completionHandler(false);
        }
        return;
    }
    bool success = false;
    if (pageSize_ == 0) {
        BEACON_LOG_ERROR("The database was not configured correctly. The page size is expected to be non zero.");
    } else {
        const std::int64_t pageCount = getPageCountInOpenedDatabase(db);
        BEACON_LOG_DEBUG("Found " + std::to_string(pageCount) + " pages in the database.");
        const std::int64_t requestedPages = sizeInBytes <= 0 ? 0 : (sizeInBytes + pageSize_ - 1) / pageSize_;
        if (requestedPages < pageCount) {
            BEACON_LOG_WARNING("Cannot change database size to " + std::to_string(sizeInBytes) +
                               " bytes as it would cause a loss of data. Maximum database size will not "
                               "be changed.");
        } else {
            const int result = setMaxPageCount(requestedPages, db);
            const std::int64_t currentPages = result == SQLITE_OK ? getMaxPageCountInOpenedDatabase(db) : 0;
            if (result != SQLITE_OK) {
                BEACON_LOG_ERROR("Could not change maximum database size to " + std::to_string(sizeInBytes) +
                                 " bytes. SQLite error code: " + std::to_string(result));
            } else if (currentPages != requestedPages) {
                BEACON_LOG_ERROR("Could not change maximum database size to " + std::to_string(sizeInBytes) +
                                 " bytes, current maximum size is " + std::to_string(currentPages * pageSize_) +
                                 " bytes.");
            } else {
                const std::int64_t newMaximum = requestedPages * pageSize_;
                if (newMaximum == sizeInBytes) {
                    BEACON_LOG_INFO("Changed maximum database size to " + std::to_string(newMaximum) + " bytes.");
                } else {
                    BEACON_LOG_INFO("Changed maximum database size to " + std::to_string(newMaximum) +
                                    " bytes (next multiple of 4KiB).");
                }
                maxSizeInBytes_ = newMaximum;
                success = true;
            }
        }
    }
    sqlite3_close(db);
    if (completionHandler) {
        completionHandler(success);
    }
}

std::map<std::string, std::map<std::string, std::size_t>> DBStorage::columnsIndexes(const StorageSchema& schema) {
    std::map<std::string, std::map<std::string, std::size_t>> indexes;
    for (const auto& [table, columns] : schema) {
        auto& tableIndexes = indexes[table];
        for (std::size_t i = 0; i < columns.size(); ++i) {
            tableIndexes[columns[i].first] = i;
        }
    }
    return indexes;
}

int DBStorage::executeNonSelectionQuery(const std::string& query, sqlite3* db, const StorageBindableArray& values) {
    return executeQuery(query, db, values, [db](sqlite3_stmt* statement) {
        const int result = sqlite3_step(statement);
        if (result == SQLITE_DONE) {
            return SQLITE_OK;
        }
        const std::string detail = std::to_string(result) + "\n\t" + errorMessage(db);
        if (isCorruption(result)) {
            BEACON_LOG_ERROR("A database file is corrupted, result=" + detail);
        } else if (result == SQLITE_FULL) {
            BEACON_LOG_DEBUG("Query failed with error: " + detail);
        } else {
            BEACON_LOG_ERROR("Could not execute the statement, result=" + detail);
        }
        return result;
    });
}

std::vector<StorageRow> DBStorage::executeSelectionQuery(const std::string& query, sqlite3* db, int* result,
                                                         const StorageBindableArray& values) {
    std::vector<StorageRow> rows;
    const int code = executeQuery(query, db, values, [&](sqlite3_stmt* statement) {
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            const int columns = sqlite3_column_count(statement);
            if (columns <= 0) {
                continue;
            }
            StorageRow row;
            row.reserve(static_cast<std::size_t>(columns));
            for (int i = 0; i < columns; ++i) {
                row.push_back(columnValueFromStatement(statement, i));
            }
            rows.push_back(std::move(row));
        }
        if (step != SQLITE_DONE) {
            BEACON_LOG_ERROR("Query failed with error: " + std::to_string(step) + "\n\t" + errorMessage(db));
            return step;
        }
        return SQLITE_OK;
    });
    if (result) {
        *result = code;
    }
    return rows;
}

int DBStorage::executeQuery(const std::string& query, sqlite3* db, const StorageBindableArray& values,
                            const std::function<int(sqlite3_stmt*)>& block) {
    sqlite3_stmt* statement = nullptr;
    int result = sqlite3_prepare_v2(db, query.c_str(), static_cast<int>(query.size()), &statement, nullptr);
    if (result != SQLITE_OK) {
        BEACON_LOG_ERROR("Failed to prepare SQLite statement, result=" + std::to_string(result) + "\n\t" +
                         errorMessage(db));
        sqlite3_finalize(statement);
        return result;
    }
    result = values.bindAllValuesWithStatement(statement);
    if (result == SQLITE_OK) {
        result = block(statement);
    }
    // sqlite3_finalize repeats the error of the last step; only a failure of its own
    // (the statement ran fine) is worth a line.
    const int finalizeResult = sqlite3_finalize(statement);
    if (finalizeResult != SQLITE_OK && result == SQLITE_OK) {
        BEACON_LOG_ERROR("Failed to finalize SQLite statement, result=" + std::to_string(finalizeResult) + "\n\t" +
                         errorMessage(db));
    }
    return result;
}

bool DBStorage::tableExists(const std::string& tableName, sqlite3* db, int* result) {
    StorageBindableArray values;
    values.addString(tableName);
    int code = SQLITE_OK;
    const auto rows = executeSelectionQuery(
        "SELECT COUNT(*) FROM \"sqlite_master\" WHERE \"type\"='table' AND \"name\"=?;", db, &code, values);
    if (result) {
        *result = code;
    }
    return code == SQLITE_OK && firstInteger(rows) > 0;
}

std::uint64_t DBStorage::versionInOpenedDatabase(sqlite3* db, int* result) {
    const auto version = pragmaInteger("user_version", db, result);
    return version > 0 ? static_cast<std::uint64_t>(version) : 0;
}

int DBStorage::setVersion(std::uint64_t version, sqlite3* db) {
    // user_version is a signed 32-bit field of the file header.
    return executeNonSelectionQuery("PRAGMA user_version = " + std::to_string(static_cast<std::int32_t>(version)), db);
}

int DBStorage::enableAutoVacuumInOpenedDatabase(sqlite3* db) {
    int result = SQLITE_OK;
    const auto mode = pragmaInteger("auto_vacuum", db, &result);
    if (result != SQLITE_OK || mode == 1) {
        return result;
    }
    BEACON_LOG_DEBUG("Vacuuming database and enabling auto_vacuum");
    result = executeNonSelectionQuery("PRAGMA auto_vacuum = FULL;", db);
    if (result == SQLITE_OK) {
        result = executeNonSelectionQuery("VACUUM;", db);
    }
    return result;
}

int DBStorage::createTablesWithSchema(const StorageSchema& schema, sqlite3* db) {
    std::vector<std::string> statements;
    for (const auto& [table, columns] : schema) {
        int result = SQLITE_OK;
        if (tableExists(table, db, &result)) {
            continue;
        }
        if (result != SQLITE_OK) {
            return result;
        }
        statements.push_back("CREATE TABLE " + quoted(table) + " (" + columnsQueryFromColumnsSchema(columns) + ");");
    }
    for (const auto& statement : statements) {
        const int result = executeNonSelectionQuery(statement, db);
        if (result != SQLITE_OK) {
            return result;
        }
    }
    return SQLITE_OK;
}

std::string DBStorage::columnsQueryFromColumnsSchema(const StorageColumnsSchema& columnsSchema) {
    std::string query;
    for (const auto& [name, attributes] : columnsSchema) {
        if (!query.empty()) {
            query += ", ";
        }
        query += quoted(name);
        query += ' ';
        for (std::size_t i = 0; i < attributes.size(); ++i) {
            if (i > 0) {
                query += ' ';
            }
            query += attributes[i];
        }
    }
    return query;
}

std::int64_t DBStorage::getPageSizeInOpenedDatabase(sqlite3* db, int* result) {
    return pragmaInteger("page_size", db, result);
}

std::int64_t DBStorage::getPageCountInOpenedDatabase(sqlite3* db, int* result) {
    return pragmaInteger("page_count", db, result);
}

std::int64_t DBStorage::getMaxPageCountInOpenedDatabase(sqlite3* db, int* result) {
    return pragmaInteger("max_page_count", db, result);
}

int DBStorage::setMaxPageCount(std::int64_t maxPageCount, sqlite3* db) {
    // The pragma answers the resulting count as a row; only its success matters here.
    int result = SQLITE_OK;
    executeSelectionQuery("PRAGMA max_page_count = " + std::to_string(maxPageCount), db, &result);
    return result;
}

sqlite3* DBStorage::openDatabaseAtFileURL(const std::filesystem::path& file, int* result) {
    sqlite3* db = nullptr;
    const int code = sqlite3_open_v2(fileURI(file).c_str(), &db,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr);
    if (result) {
        *result = code;
    }
    if (code != SQLITE_OK) {
        BEACON_LOG_ERROR("Failed to open database with result: " + std::to_string(code) + ".");
        sqlite3_close(db);
        return nullptr;
    }
    // Another process of the same user may hold the file for a moment.
    sqlite3_busy_timeout(db, 2000);
    return db;
}

StorageValue DBStorage::columnValueFromStatement(sqlite3_stmt* statement, int index) {
    const int type = sqlite3_column_type(statement, index);
    switch (type) {
    case SQLITE_NULL: return std::monostate{};
    case SQLITE_INTEGER: return static_cast<std::int64_t>(sqlite3_column_int64(statement, index));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
        const int bytes = sqlite3_column_bytes(statement, index);
        return text ? std::string(text, static_cast<std::size_t>(bytes)) : std::string();
    }
    default:
        BEACON_LOG_ERROR("Could not retrieve column value at index " + std::to_string(index) +
                         " from statement: unknown type " + std::to_string(type) + ".");
        return std::monostate{};
    }
}

std::string DBStorage::quoted(const std::string& identifier) {
    std::string text = "\"";
    for (char c : identifier) {
        text += c;
        if (c == '"') {
            text += '"';
        }
    }
    text += '"';
    return text;
}

} // namespace beacon
