#include "beacon/storage/LogDBStorage.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/crashes/model/UuidText.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/AbstractLog.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/storage/Base64Text.h"
#include "beacon/util/Encrypter.h"
#include "beacon/util/FileUtility.h"
#include "beacon/util/SecretStrings.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <random>

namespace beacon {
namespace {

using Q = DBStorage;

const std::string kTable = Q::quoted(LogDBStorage::kTableName);
const std::string kId = Q::quoted(LogDBStorage::kIdColumnName);
const std::string kGroupId = Q::quoted(LogDBStorage::kGroupIdColumnName);
const std::string kLog = Q::quoted(LogDBStorage::kLogColumnName);
const std::string kTargetToken = Q::quoted(LogDBStorage::kTargetTokenColumnName);
const std::string kTargetKey = Q::quoted(LogDBStorage::kTargetKeyColumnName);
const std::string kPriority = Q::quoted(LogDBStorage::kPriorityColumnName);

// Deletions bind their ids in chunks well below SQLite's parameter limit.
constexpr std::size_t kIdsPerDeletion = 500;

std::string joinIds(const std::vector<std::int64_t>& ids, const char* separator) {
    std::string text;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) {
            text += separator;
        }
        text += std::to_string(ids[i]);
    }
    return text;
}

std::optional<std::int64_t> integerAt(const StorageRow& row, std::size_t index) {
    if (index < row.size()) {
        if (const auto* value = std::get_if<std::int64_t>(&row[index])) {
            return *value;
        }
    }
    return std::nullopt;
}

const std::string* textAt(const StorageRow& row, std::size_t index) {
    return index < row.size() ? std::get_if<std::string>(&row[index]) : nullptr;
}

} // namespace

LogDBStorage::LogDBStorage(std::shared_ptr<Encrypter> targetTokenEncrypter)
    : LogDBStorage(beaconDirectoryURL() / kFileName, std::move(targetTokenEncrypter)) {}

LogDBStorage::LogDBStorage(std::filesystem::path file, std::shared_ptr<Encrypter> targetTokenEncrypter)
    : DBStorage(logsSchema(), kSchemaVersion, std::move(file), DeferConfiguration{}),
      targetTokenEncrypter_(std::move(targetTokenEncrypter)) {
    const auto indexes = columnsIndexes(logsSchema()).at(kTableName);
    idColumnIndex_ = indexes.at(kIdColumnName);
    groupIdColumnIndex_ = indexes.at(kGroupIdColumnName);
    logColumnIndex_ = indexes.at(kLogColumnName);
    targetTokenColumnIndex_ = indexes.at(kTargetTokenColumnName);
    initializeDatabase();
}

StorageSchema LogDBStorage::logsSchema() {
    return {{kTableName,
             {{kIdColumnName, {"INTEGER", "PRIMARY", "KEY", "AUTOINCREMENT"}},
              {kGroupIdColumnName, {"TEXT", "NOT", "NULL"}},
              {kLogColumnName, {"TEXT", "NOT", "NULL"}},
              {kTargetTokenColumnName, {"TEXT"}},
              {kTargetKeyColumnName, {"TEXT"}},
              {kPriorityColumnName, {"INTEGER"}}}}};
}

std::string LogDBStorage::buildKeyFormatWithCount(std::size_t count) {
    std::string format = "(";
    for (std::size_t i = 0; i < count; ++i) {
        format += i == 0 ? "?" : ",?";
    }
    return format + ")";
}

void LogDBStorage::customizeDatabase(sqlite3* db) { createPriorityIndex(db); }

void LogDBStorage::migrateDatabase(sqlite3* db, std::uint64_t) {
    // Older files used another layout; their pending logs are given up.
    if (executeNonSelectionQuery("DROP TABLE IF EXISTS " + kTable + ";", db) == SQLITE_OK) {
        BEACON_LOG_VERBOSE("Table ", kTableName, " has been deleted");
    } else {
        BEACON_LOG_ERROR("Failed to delete table ", kTableName);
    }
    createTablesWithSchema(logsSchema(), db);
    createPriorityIndex(db);
}

int LogDBStorage::createPriorityIndex(sqlite3* db) {
    return executeNonSelectionQuery(
        "CREATE INDEX IF NOT EXISTS \"ix_logs_priority\" ON " + kTable + " (" + kPriority + ")", db);
}

bool LogDBStorage::saveLog(const std::shared_ptr<AbstractLog>& log, const std::string& groupId, std::uint32_t flags) {
    if (!log) {
        return false;
    }
    const auto archive = ArchiverUtil::archiveKeyedData(*log);
    if (!archive) {
        return false;
    }
    const std::string base64 = base64_text::encode(*archive);
    const std::int64_t priority = flags & 0xff;

    StorageBindableArray values;
    std::string query;
    if (dynamic_cast<const CommonSchemaLog*>(log.get())) {
        const auto tokens = log->transmissionTargetTokens();
        std::optional<std::string> encryptedToken;
        std::optional<std::string> targetKey;
        if (!tokens.empty()) {
            const std::string& token = *tokens.begin();
            encryptedToken = targetTokenEncrypter_ ? targetTokenEncrypter_->encryptString(token) : std::nullopt;
            // Stored without its token the log could never be sent: refuse it.
            if (!encryptedToken) {
                BEACON_LOG_ERROR("Failed to encrypt the target token of a log; the log is not saved.");
                return false;
            }
            targetKey = targetKeyFromTargetToken(token);
        }
        query = "INSERT INTO " + kTable + " (" + kGroupId + ", " + kLog + ", " + kTargetToken + ", " + kTargetKey +
                ", " + kPriority + ") VALUES (?, ?, ?, ?, ?)";
        values.addString(groupId);
        values.addString(base64);
        values.addString(encryptedToken);
        values.addString(targetKey);
        values.addNumber(priority);
    } else {
        query = "INSERT INTO " + kTable + " (" + kGroupId + ", " + kLog + ", " + kPriority + ") VALUES (?, ?, ?)";
        values.addString(groupId);
        values.addString(base64);
        values.addNumber(priority);
    }
    auto insert = [&](sqlite3* db) { return insertLog(db, query, values, priority, base64.size()); };
    int result = executeQueryUsingBlock(insert);
    // A damaged file has just been replaced by an empty one: the log goes there.
    if (result == SQLITE_CORRUPT || result == SQLITE_NOTADB) {
        result = executeQueryUsingBlock(insert);
    }
    return result == SQLITE_OK;
}

int LogDBStorage::insertLog(sqlite3* db, const std::string& query, const StorageBindableArray& values,
                            std::int64_t priority, std::size_t archiveSize) {
    const std::int64_t maxSize = getMaxPageCountInOpenedDatabase(db) * pageSize();
    if (static_cast<std::int64_t>(archiveSize) >= maxSize) {
        BEACON_LOG_ERROR("Log is too large (", archiveSize,
                         " bytes) to store in database. Current maximum database size is ", maxSize, " bytes.");
        return SQLITE_ERROR;
    }
    int result = executeNonSelectionQuery(query, db, values);
    if (result == SQLITE_FULL) {
        StorageBindableArray priorityValue;
        priorityValue.addNumber(priority);
        int selectResult = SQLITE_OK;
        const auto candidates = executeSelectionQuery("SELECT " + kId + " FROM " + kTable + " WHERE " + kPriority +
                                                          " <= ? ORDER BY " + kPriority + " ASC, " + kId + " ASC",
                                                      db, &selectResult, priorityValue);
        std::size_t deleted = 0;
        for (const auto& row : candidates) {
            const auto id = integerAt(row, 0);
            if (!id) {
                continue;
            }
            const int deleteResult = deleteLogsFromDBWithColumnValues({*id}, db);
            if (deleteResult != SQLITE_OK) {
                result = deleteResult;
                break;
            }
            ++deleted;
            forgetReservedId(*id);
            BEACON_LOG_DEBUG("Deleted a log with id ", *id, " to store a new log.");
            result = executeNonSelectionQuery(query, db, values);
            if (result != SQLITE_FULL) {
                break;
            }
        }
        if (deleted > 0) {
            BEACON_LOG_DEBUG("Log storage was over capacity, ", deleted,
                             " oldest log(s) with equal or lower priority deleted.");
        }
        if (result == SQLITE_FULL) {
            BEACON_LOG_ERROR("Storage is full and no logs with equal or lower priority exist; discarding the log.");
        }
    }
    if (result == SQLITE_OK) {
        BEACON_LOG_VERBOSE("Log is stored with id: '", static_cast<std::int64_t>(sqlite3_last_insert_rowid(db)), "'");
    }
    return result;
}

std::uint64_t LogDBStorage::countLogs() { return countEntriesForTable(kTableName, std::nullopt); }

bool LogDBStorage::loadLogsWithGroupId(const std::string& groupId, std::size_t limit,
                                       const std::vector<std::string>& excludedTargetKeys,
                                       const LoadCompletionHandler& completionHandler) {
    std::vector<std::int64_t> pendingIds;
    for (const auto& [key, ids] : batches_) {
        if (key.first == groupId) {
            pendingIds.insert(pendingIds.end(), ids.begin(), ids.end());
        }
    }

    std::string condition = kGroupId + " = ?";
    StorageBindableArray values;
    values.addString(groupId);
    if (!excludedTargetKeys.empty()) {
        // Logs without a target key belong to no target and are never excluded by one.
        condition += " AND (" + kTargetKey + " IS NULL OR " + kTargetKey + " NOT IN " +
                     buildKeyFormatWithCount(excludedTargetKeys.size()) + ")";
        for (const auto& key : excludedTargetKeys) {
            values.addString(key);
        }
    }
    if (!pendingIds.empty()) {
        // Written as numbers, not bound: however many batches are pending, the
        // statement stays within SQLite's limit on bound variables.
        condition += " AND " + kId + " NOT IN (" + joinIds(pendingIds, ",") + ")";
    }
    const std::string order = " ORDER BY " + kPriority + " DESC, " + kId + " ASC";
    condition += order;
    // SQLite limits are signed 64-bit; an unbounded request reads everything.
    const bool unbounded = limit >= static_cast<std::size_t>(std::numeric_limits<std::int64_t>::max());
    if (!unbounded) {
        condition += " LIMIT " + std::to_string(limit + 1);
    }
    // The batch is chosen by sorting ids only; the whole rows (with their archives)
    // are read for the chosen ids alone.
    const std::string selection = kId + " IN (SELECT " + kId + " FROM " + kTable + " WHERE " + condition + ")" + order;

    auto loaded = logsWithCondition(selection, values);
    bool moreLogsAvailable = false;
    if (!unbounded && loaded.size() > limit) {
        loaded.resize(limit);
        moreLogsAvailable = true;
    }

    std::vector<std::shared_ptr<AbstractLog>> logs;
    std::optional<std::string> batchId;
    if (!loaded.empty()) {
        std::vector<std::int64_t> ids;
        for (auto& entry : loaded) {
            ids.push_back(entry.id);
            logs.push_back(std::move(entry.log));
        }
        batchId = uuid_text::random();
        BEACON_LOG_VERBOSE("Load log(s) with id(s) '", joinIds(ids, "','"), "' as batch Id:", *batchId);
        batches_[{groupId, *batchId}] = std::move(ids);
    }
    if (completionHandler) {
        completionHandler(std::move(logs), batchId);
    }
    return moreLogsAvailable;
}

std::vector<LogDBStorage::LoadedLog> LogDBStorage::logsWithCondition(const std::optional<std::string>& condition,
                                                                     const StorageBindableArray& values) {
    std::string query = "SELECT * FROM " + kTable;
    if (condition) {
        query += " WHERE " + *condition;
    }
    std::vector<LoadedLog> logs;
    executeQueryUsingBlock([&](sqlite3* db) {
        int result = SQLITE_OK;
        const auto rows = executeSelectionQuery(query, db, &result, values);
        std::vector<std::int64_t> damaged;
        for (const auto& row : rows) {
            const auto id = integerAt(row, idColumnIndex_);
            if (!id) {
                continue;
            }
            const std::string* text = textAt(row, logColumnIndex_);
            std::shared_ptr<AbstractLog> log;
            if (text) {
                const auto bytes = base64_text::decode(*text);
                log = ArchiverUtil::unarchive<AbstractLog>(bytes);
            }
            if (!log) {
                BEACON_LOG_ERROR("Deserialization failed for log with Id ", *id);
                damaged.push_back(*id);
                continue;
            }
            if (const std::string* token = textAt(row, targetTokenColumnIndex_)) {
                if (token->empty()) {
                    BEACON_LOG_ERROR("Unexpected empty target token for log with Id ", *id, ".");
                } else {
                    const auto decrypted =
                        targetTokenEncrypter_ ? targetTokenEncrypter_->decryptString(*token) : std::nullopt;
                    if (decrypted) {
                        log->addTransmissionTargetToken(*decrypted);
                    } else {
                        BEACON_LOG_ERROR("Failed to decrypt the target token for log with Id ", *id, ".");
                    }
                }
            }
            logs.push_back({*id, std::move(log)});
        }
        // Damaged rows would otherwise come back on every load.
        if (!damaged.empty()) {
            deleteLogsFromDBWithColumnValues(damaged, db);
        }
        return result;
    });
    return logs;
}

void LogDBStorage::forgetReservedId(std::int64_t id) {
    for (auto entry = batches_.begin(); entry != batches_.end();) {
        std::erase(entry->second, id);
        entry = entry->second.empty() ? batches_.erase(entry) : std::next(entry);
    }
}

void LogDBStorage::deleteLogsWithBatchId(const std::string& batchId, const std::string& groupId) {
    const auto entry = batches_.find({groupId, batchId});
    if (entry == batches_.end()) {
        return;
    }
    const auto ids = entry->second;
    const int result = executeQueryUsingBlock([&](sqlite3* db) { return deleteLogsFromDBWithColumnValues(ids, db); });
    // Rows that could not be deleted stay excluded until a later deletion succeeds,
    // so that they are not sent twice within this run.
    if (result == SQLITE_OK) {
        batches_.erase(entry);
    }
}

std::vector<std::shared_ptr<AbstractLog>> LogDBStorage::deleteLogsWithGroupId(const std::string& groupId) {
    StorageBindableArray values;
    values.addString(groupId);
    auto loaded = logsWithCondition(kGroupId + " = ?", values);
    const int result = executeQueryUsingBlock([&](sqlite3* db) {
        const int code = executeNonSelectionQuery("DELETE FROM " + kTable + " WHERE " + kGroupId + " = ?", db, values);
        if (code == SQLITE_OK) {
            BEACON_LOG_VERBOSE("Deletion of log(s) by ", kGroupIdColumnName, " with value(s) '", groupId,
                               "' succeeded.");
        } else {
            BEACON_LOG_ERROR("Deletion of log(s) by ", kGroupIdColumnName, " with value(s) '", groupId, "' failed.");
        }
        return code;
    });
    // Logs still on disk are not reported as deleted.
    if (result != SQLITE_OK) {
        return {};
    }
    std::erase_if(batches_, [&](const auto& entry) { return entry.first.first == groupId; });
    std::vector<std::shared_ptr<AbstractLog>> logs;
    for (auto& entry : loaded) {
        logs.push_back(std::move(entry.log));
    }
    return logs;
}

int LogDBStorage::deleteLogsFromDBWithColumnValues(const std::vector<std::int64_t>& ids, sqlite3* db) {
    for (std::size_t start = 0; start < ids.size(); start += kIdsPerDeletion) {
        const std::size_t count = std::min(kIdsPerDeletion, ids.size() - start);
        StorageBindableArray values;
        for (std::size_t i = 0; i < count; ++i) {
            values.addNumber(ids[start + i]);
        }
        const int result = executeNonSelectionQuery(
            "DELETE FROM " + kTable + " WHERE " + kId + " IN " + buildKeyFormatWithCount(count), db, values);
        const std::vector<std::int64_t> chunk(ids.begin() + static_cast<std::ptrdiff_t>(start),
                                              ids.begin() + static_cast<std::ptrdiff_t>(start + count));
        if (result != SQLITE_OK) {
            BEACON_LOG_ERROR("Deletion of log(s) by ", kIdColumnName, " with value(s) '", joinIds(chunk, "','"),
                             "' failed.");
            return result;
        }
        BEACON_LOG_VERBOSE("Deletion of log(s) by ", kIdColumnName, " with value(s) '", joinIds(chunk, "','"),
                           "' succeeded.");
    }
    return SQLITE_OK;
}

void LogDBStorage::setMaxStorageSize(std::int64_t sizeInBytes, const std::function<void(bool)>& completionHandler) {
    DBStorage::setMaxStorageSize(sizeInBytes, completionHandler);
}

} // namespace beacon
