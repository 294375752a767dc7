#include "LogStorageFixture.h"

#include "beacon/archive/ArchiverUtil.h"
#include "beacon/model/AbstractLog.h"
#include "beacon/model/CommonSchemaLog.h"
#include "beacon/storage/Base64Text.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "beacon/util/Encrypter.h"
#include "beacon/util/InMemoryKeychainStore.h"
#include "beacon/util/KeychainUtil.h"

#include <sqlite3.h>

#include <algorithm>

namespace beacon::test {
namespace {

sqlite3* openRaw(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        ADD_FAILURE() << "cannot open " << file << ": " << sqlite3_errmsg(db);
    return db;
}

} // namespace

void LogStorageFixture::SetUp() {
    ArchiverUtil::addAllowedClasses({ArchiveClass::of<AbstractLog>(), ArchiveClass::of<CommonSchemaLog>()});
    KeychainUtil::setStore(std::make_shared<InMemoryKeychainStore>());
    BeaconUserDefaults::setStandardStore(std::make_shared<platform::UserDefaults>());
    BeaconUserDefaults::resetSharedInstance();
    encrypter_ = std::make_shared<Encrypter>();
}

void LogStorageFixture::TearDown() { KeychainUtil::setStore(nullptr); }

std::unique_ptr<LogDBStorage> LogStorageFixture::makeStorage(const std::filesystem::path& path) {
    return std::make_unique<LogDBStorage>(path, encrypter_);
}

std::shared_ptr<AbstractLog> LogStorageFixture::makeLog(const std::string& payload, std::size_t padding) {
    auto log = std::make_shared<AbstractLog>();
    log->type = "storageTest";
    log->timestamp = Date{};
    log->sid = payload;
    if (padding > 0) log->userId = std::string(padding, 'x');
    return log;
}

std::shared_ptr<AbstractLog> LogStorageFixture::makeLogWithArchiveTextSize(std::size_t size) {
    // The archive grows with the padding, though not always one for one (length
    // prefixes, Base64 groups); walk towards the exact size.
    std::size_t padding = size * 3 / 4;
    for (int attempt = 0; attempt < 64; ++attempt) {
        auto log = makeLog("large", padding);
        const auto archive = ArchiverUtil::archiveKeyedData(*log);
        if (!archive) return nullptr;
        const std::size_t textSize = base64_text::encode(*archive).size();
        if (textSize == size) return log;
        if (textSize > size) {
            padding -= std::max<std::size_t>(1, (textSize - size) * 3 / 4);
        } else {
            padding += std::max<std::size_t>(1, (size - textSize) * 3 / 4);
        }
    }
    return nullptr;
}

std::shared_ptr<AbstractLog> LogStorageFixture::makeCommonSchemaLog(const std::string& token) {
    auto log = std::make_shared<CommonSchemaLog>();
    log->ver = "3.0";
    log->name = "storage.test";
    log->timestamp = Date{};
    log->sid = "cs:" + token;
    log->addTransmissionTargetToken(token);
    return log;
}

std::string LogStorageFixture::payloadOf(const AbstractLog& log) { return log.sid.value_or(""); }

LogStorageFixture::Batch LogStorageFixture::loadLogs(LogDBStorage& storage, const std::string& groupId,
                                                     std::size_t limit,
                                                     const std::vector<std::string>& excludedTargetKeys) {
    Batch batch;
    int calls = 0;
    batch.more = storage.loadLogsWithGroupId(
        groupId, limit, excludedTargetKeys,
        [&](std::vector<std::shared_ptr<AbstractLog>> logs, std::optional<std::string> batchId) {
            ++calls;
            batch.logs = std::move(logs);
            batch.batchId = std::move(batchId);
        });
    EXPECT_EQ(calls, 1);
    for (const auto& log : batch.logs) batch.payloads.push_back(log ? payloadOf(*log) : "<null>");
    return batch;
}

std::vector<StorageRow> LogStorageFixture::rawRows(const std::string& query) const {
    sqlite3* db = openRaw(file());
    auto rows = DBStorage::executeSelectionQuery(query, db);
    sqlite3_close(db);
    return rows;
}

template <typename T> T LogStorageFixture::raw(const std::string& query) const {
    const auto rows = rawRows(query);
    if (!rows.empty() && !rows[0].empty() && std::holds_alternative<T>(rows[0][0])) return std::get<T>(rows[0][0]);
    ADD_FAILURE() << "no value from " << query;
    return T{};
}

std::int64_t LogStorageFixture::rawInteger(const std::string& query) const { return raw<std::int64_t>(query); }
std::string LogStorageFixture::rawText(const std::string& query) const { return raw<std::string>(query); }

std::vector<std::int64_t> LogStorageFixture::rawIds() const {
    std::vector<std::int64_t> ids;
    for (const auto& row : rawRows("SELECT id FROM logs ORDER BY id")) ids.push_back(std::get<std::int64_t>(row.at(0)));
    return ids;
}

void LogStorageFixture::rawExec(const std::string& statement) const {
    sqlite3* db = openRaw(file());
    char* error = nullptr;
    if (sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
        ADD_FAILURE() << statement << ": " << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

} // namespace beacon::test
