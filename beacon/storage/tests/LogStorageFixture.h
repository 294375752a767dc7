#pragma once

#include "beacon/storage/LogDBStorage.h"

#include "beacon/util/tests/TempDir.h"
#include "beacon/util/tests/LogCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace beacon {
class Encrypter;
class InMemoryKeychainStore;
} // namespace beacon

namespace beacon::test {

// A log store in a temporary directory, with an encrypter over an in-memory
// keychain, raw SQL access to the same file, and the diagnostic lines it logged.
class LogStorageFixture : public ::testing::Test {
public:
    // A log that carries `payload` (read back by payloadOf) and `padding` extra characters.
    static std::shared_ptr<AbstractLog> makeLog(const std::string& payload, std::size_t padding = 0);

protected:
    struct Batch {
        std::vector<std::shared_ptr<AbstractLog>> logs;
        std::vector<std::string> payloads;
        std::optional<std::string> batchId;
        bool more = false;
    };

    void SetUp() override;
    void TearDown() override;

    std::filesystem::path file() const { return dir_.path / "Logs.sqlite"; }
    std::unique_ptr<LogDBStorage> makeStorage() { return makeStorage(file()); }
    std::unique_ptr<LogDBStorage> makeStorage(const std::filesystem::path& path);

    // A log whose archive's Base64 text is exactly `size` characters long.
    static std::shared_ptr<AbstractLog> makeLogWithArchiveTextSize(std::size_t size);
    static std::shared_ptr<AbstractLog> makeCommonSchemaLog(const std::string& token);
    static std::string payloadOf(const AbstractLog& log);

    static Batch loadLogs(LogDBStorage& storage, const std::string& groupId, std::size_t limit,
                          const std::vector<std::string>& excludedTargetKeys);
    static Batch load(LogDBStorage& storage, const std::string& groupId, std::size_t limit) {
        return loadLogs(storage, groupId, limit, {});
    }

    std::int64_t rawInteger(const std::string& query) const;
    std::string rawText(const std::string& query) const;
    std::vector<StorageRow> rawRows(const std::string& query) const;
    std::vector<std::int64_t> rawIds() const;
    void rawExec(const std::string& statement) const;

    // Whether a diagnostic line with exactly this text was logged.
    bool logged(const std::string& message) {
        const auto messages = log_.messages();
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    std::shared_ptr<Encrypter> encrypter_;

private:
    template <typename T> T raw(const std::string& query) const;

    TempDir dir_;
    LogCapture log_;
};

} // namespace beacon::test
