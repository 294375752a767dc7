#pragma once

#include "beacon/storage/DBStorage.h"
#include "beacon/storage/Storage.h"

#include <filesystem>
#include <map>
#include <memory>
#include <utility>

namespace beacon {

class Encrypter;

// The table of pending logs, "logs" in "Logs.sqlite", shared by all channels of
// the channel group and used only from its queue.
//
// A log is kept as the Base64 text of its archive; common-schema logs keep their
// transmission target token encrypted and its target key in clear, so that loads
// can skip the logs of paused targets. When the size cap is reached, the oldest
// logs of equal or lower priority make room for a new one.
class LogDBStorage final : public DBStorage, public Storage {
public:
    static constexpr std::uint64_t kSchemaVersion = 5;
    static constexpr const char* kFileName = "Logs.sqlite";
    static constexpr const char* kTableName = "logs";
    static constexpr const char* kIdColumnName = "id";
    static constexpr const char* kGroupIdColumnName = "groupId";
    static constexpr const char* kLogColumnName = "log";
    static constexpr const char* kTargetTokenColumnName = "targetToken";
    static constexpr const char* kTargetKeyColumnName = "targetKey";
    static constexpr const char* kPriorityColumnName = "priority";

    // The store in the telemetry storage directory.
    explicit LogDBStorage(std::shared_ptr<Encrypter> targetTokenEncrypter);
    // The store at `file` (tests and embedders that choose the place).
    LogDBStorage(std::filesystem::path file, std::shared_ptr<Encrypter> targetTokenEncrypter);

    static StorageSchema logsSchema();
    // "(?,?,?)" for three values.
    static std::string buildKeyFormatWithCount(std::size_t count);

    bool saveLog(const std::shared_ptr<AbstractLog>& log, const std::string& groupId, std::uint32_t flags) override;
    std::uint64_t countLogs() override;
    std::vector<std::shared_ptr<AbstractLog>> deleteLogsWithGroupId(const std::string& groupId) override;
    void deleteLogsWithBatchId(const std::string& batchId, const std::string& groupId) override;
    void releaseLogsWithBatchId(const std::string& batchId, const std::string& groupId) override {
        batches_.erase({groupId, batchId});
    }
    bool loadLogsWithGroupId(const std::string& groupId, std::size_t limit,
                             const std::vector<std::string>& excludedTargetKeys,
                             const LoadCompletionHandler& completionHandler) override;
    void setMaxStorageSize(std::int64_t sizeInBytes, const std::function<void(bool)>& completionHandler) override;

    // Pending batches: (group id, batch id) -> row ids. Kept in memory only, so after
    // a restart every stored log is eligible again.
    using BatchKey = std::pair<std::string, std::string>;
    const std::map<BatchKey, std::vector<std::int64_t>>& batches() const { return batches_; }

protected:
    void customizeDatabase(sqlite3* db) override;
    void migrateDatabase(sqlite3* db, std::uint64_t fromVersion) override;
    // The pending batches named rows of the damaged file.
    void databaseReplaced() override { batches_.clear(); }

private:
    struct LoadedLog {
        std::int64_t id = 0;
        std::shared_ptr<AbstractLog> log;
    };

    // Reads the rows matching `condition` (all rows without one), turning each archive
    // back into its log; rows that no longer decode are deleted.
    std::vector<LoadedLog> logsWithCondition(const std::optional<std::string>& condition,
                                             const StorageBindableArray& values);
    int insertLog(sqlite3* db, const std::string& query, const StorageBindableArray& values, std::int64_t priority,
                  std::size_t archiveSize);
    // An evicted row leaves the batch that reserved it, so that reservations
    // only ever name stored rows and stay as few as the batches in flight.
    void forgetReservedId(std::int64_t id);
    static int deleteLogsFromDBWithColumnValues(const std::vector<std::int64_t>& ids, sqlite3* db);
    static int createPriorityIndex(sqlite3* db);

    std::shared_ptr<Encrypter> targetTokenEncrypter_;
    std::map<BatchKey, std::vector<std::int64_t>> batches_;
    std::size_t idColumnIndex_ = 0;
    std::size_t groupIdColumnIndex_ = 0;
    std::size_t logColumnIndex_ = 0;
    std::size_t targetTokenColumnIndex_ = 0;
};

} // namespace beacon
