#include "beacon/model/AbstractLog.h"
#include "beacon/storage/LogDBStorage.h"

#include "LogStorageFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <limits>

namespace beacon {
namespace {

using test::LogStorageFixture;

constexpr std::uint32_t kNormal = 1;
constexpr std::uint32_t kCritical = 2;

class LogDBStorageTest : public LogStorageFixture {};

TEST_F(LogDBStorageTest, CreatesTheLogsTableIndexAndVersion) {
    auto storage = makeStorage();
    EXPECT_EQ(rawInteger("PRAGMA user_version"), 5);
    EXPECT_EQ(rawInteger("PRAGMA auto_vacuum"), 1);
    EXPECT_EQ(rawInteger("SELECT COUNT(*) FROM sqlite_master WHERE type='index' AND name='ix_logs_priority'"), 1);
    EXPECT_EQ(rawInteger("SELECT COUNT(*) FROM pragma_table_info('logs') WHERE name IN "
                         "('id','groupId','log','targetToken','targetKey','priority')"),
              6);
    EXPECT_EQ(storage->countLogs(), 0u);
    EXPECT_EQ(LogDBStorage::buildKeyFormatWithCount(3), "(?,?,?)");
}

TEST_F(LogDBStorageTest, EvictsOldestLogsOfEqualOrLowerPriorityUnderA24KiBCap) {
    auto storage = makeStorage();
    std::optional<bool> capped;
    storage->setMaxStorageSize(24 * 1024, [&](bool ok) { capped = ok; });
    ASSERT_EQ(capped, std::optional<bool>(true));
    ASSERT_EQ(storage->pageSize(), 4096);

    // A critical log first, then normal logs until the store is full: the first save
    // that does not grow the count made room by evicting.
    ASSERT_TRUE(storage->saveLog(makeLog("critical-0"), "Analytics", kCritical));
    std::uint64_t count = storage->countLogs();
    int saved = 1;
    for (; saved < 200; ++saved) {
        ASSERT_TRUE(storage->saveLog(makeLog("normal-" + std::to_string(saved), 300), "Analytics", kNormal));
        const auto now = storage->countLogs();
        if (now == count) break;
        count = now;
    }
    ASSERT_LT(saved, 200) << "the store never filled up";
    ASSERT_GE(count, 3u);
    // The oldest normal log (id 2) went, the older critical one (id 1) stayed.
    auto ids = rawIds();
    EXPECT_EQ(ids.front(), 1);
    EXPECT_EQ(ids[1], 3);

    // A critical log evicts normal logs, oldest first, never the critical one.
    ASSERT_TRUE(storage->saveLog(makeLog("critical-1", 300), "Analytics", kCritical));
    ids = rawIds();
    EXPECT_EQ(ids.front(), 1);
    EXPECT_GT(ids[1], 3);
    EXPECT_EQ(rawInteger("SELECT COUNT(*) FROM logs WHERE priority = 2"), 2);

    // Fill the store with critical logs only; a normal log then finds nothing to evict.
    for (int i = 0; i < 100 && rawInteger("SELECT COUNT(*) FROM logs WHERE priority = 1") > 0; ++i)
        ASSERT_TRUE(storage->saveLog(makeLog("critical-more", 300), "Analytics", kCritical));
    ASSERT_EQ(rawInteger("SELECT COUNT(*) FROM logs WHERE priority = 1"), 0);
    const auto before = rawIds();
    EXPECT_FALSE(storage->saveLog(makeLog("normal-late", 300), "Analytics", kNormal));
    EXPECT_EQ(rawIds(), before);
    EXPECT_TRUE(logged("Storage is full and no logs with equal or lower priority exist; discarding the log."));

    // Reserved rows that are evicted leave their batch: reservations name stored rows only.
    ASSERT_TRUE(load(*storage, "Analytics", 3).batchId);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(storage->saveLog(makeLog("critical-last", 300), "Analytics", kCritical));
    const auto stored = rawIds();
    for (const auto& [key, reserved] : storage->batches())
        for (const auto id : reserved) EXPECT_TRUE(std::count(stored.begin(), stored.end(), id)) << id;
}

TEST_F(LogDBStorageTest, RefusesALogAsLargeAsTheCapWithoutEvicting) {
    auto storage = makeStorage();
    storage->setMaxStorageSize(24 * 1024, {});
    ASSERT_TRUE(storage->saveLog(makeLog("small"), "Analytics", kNormal));
    ASSERT_TRUE(storage->saveLog(makeLog("small"), "Analytics", kNormal));

    auto large = makeLogWithArchiveTextSize(24 * 1024);
    ASSERT_TRUE(large);
    EXPECT_FALSE(storage->saveLog(large, "Analytics", kCritical));
    EXPECT_EQ(storage->countLogs(), 2u);
    EXPECT_TRUE(logged("Log is too large (24576 bytes) to store in database. Current maximum database size is 24576 "
                       "bytes."));
    EXPECT_FALSE(storage->saveLog(nullptr, "Analytics", kNormal));
}

TEST_F(LogDBStorageTest, ConsecutiveLoadsGiveDisjointBatchesInPriorityOrder) {
    auto storage = makeStorage();
    for (int i = 1; i <= 10; ++i)
        ASSERT_TRUE(storage->saveLog(makeLog("a" + std::to_string(i)), "Analytics", i == 7 ? kCritical : kNormal));
    ASSERT_TRUE(storage->saveLog(makeLog("b1"), "Crashes", kNormal));

    auto first = load(*storage, "Analytics", 4);
    auto second = load(*storage, "Analytics", 4);
    ASSERT_TRUE(first.batchId && second.batchId);
    EXPECT_NE(*first.batchId, *second.batchId);
    EXPECT_EQ(first.payloads, (std::vector<std::string>{"a7", "a1", "a2", "a3"}));
    EXPECT_EQ(second.payloads, (std::vector<std::string>{"a4", "a5", "a6", "a8"}));
    EXPECT_TRUE(first.more);

    storage->deleteLogsWithBatchId(*first.batchId, "Analytics");
    EXPECT_EQ(storage->countLogs(), 7u);
    EXPECT_EQ(storage->batches().size(), 1u);
    // Only the second batch stays excluded.
    auto third = load(*storage, "Analytics", 10);
    EXPECT_EQ(third.payloads, (std::vector<std::string>{"a9", "a10"}));
    EXPECT_FALSE(third.more);
    // Nothing left for the group: an empty answer without a batch.
    auto none = load(*storage, "Analytics", 10);
    EXPECT_TRUE(none.payloads.empty());
    EXPECT_FALSE(none.batchId);

    EXPECT_EQ(load(*storage, "Crashes", 10).payloads, std::vector<std::string>{"b1"});
    // An unknown batch deletes nothing.
    storage->deleteLogsWithBatchId("no-such-batch", "Analytics");
    EXPECT_EQ(storage->countLogs(), 7u);
}

TEST_F(LogDBStorageTest, ALoadAnswersWhetherMoreLogsWait) {
    constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max(); // reads everything
    const struct {
        int stored;
        std::size_t limit, loaded;
        bool more;
    } cases[] = {{50, 50, 50, false}, {51, 50, 50, true}, {1, kAll, 1, false}};
    for (const auto& c : cases) {
        TempDir dir;
        auto storage = makeStorage(dir.path / "Logs.sqlite");
        for (int i = 0; i < c.stored; ++i)
            ASSERT_TRUE(storage->saveLog(makeLog(std::to_string(i)), "Analytics", kNormal));
        const auto batch = load(*storage, "Analytics", c.limit);
        EXPECT_EQ(batch.payloads.size(), c.loaded) << c.stored;
        EXPECT_EQ(batch.more, c.more) << c.stored;
    }
}

TEST_F(LogDBStorageTest, DamagedRowIsDeletedOnTheLoadThatMeetsIt) {
    auto storage = makeStorage();
    for (const char* payload : {"one", "two", "three"})
        ASSERT_TRUE(storage->saveLog(makeLog(payload), "Analytics", kNormal));
    rawExec("UPDATE logs SET log = 'bm90IGFuIGFyY2hpdmU=' WHERE id = 2");

    const auto batch = load(*storage, "Analytics", 10);
    EXPECT_EQ(batch.payloads, (std::vector<std::string>{"one", "three"}));
    EXPECT_EQ(storage->countLogs(), 2u);
    EXPECT_EQ(rawIds(), (std::vector<std::int64_t>{1, 3}));
    EXPECT_TRUE(logged("Deserialization failed for log with Id 2"));
}

TEST_F(LogDBStorageTest, IdsBeyond32BitsRoundTrip) {
    auto storage = makeStorage();
    ASSERT_TRUE(storage->saveLog(makeLog("first"), "Analytics", kNormal));
    const std::int64_t high = (std::int64_t{1} << 33) + 5;
    rawExec("UPDATE sqlite_sequence SET seq = " + std::to_string(high) + " WHERE name = 'logs'");
    ASSERT_TRUE(storage->saveLog(makeLog("second"), "Analytics", kNormal));
    ASSERT_EQ(rawIds().back(), high + 1);

    const auto batch = load(*storage, "Analytics", 10);
    ASSERT_EQ(batch.payloads.size(), 2u);
    const auto& ids = storage->batches().begin()->second;
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, high + 1}));
    storage->deleteLogsWithBatchId(*batch.batchId, "Analytics");
    EXPECT_EQ(storage->countLogs(), 0u);
}

TEST_F(LogDBStorageTest, GroupIdsWithQuotesAndSqlAreOnlyData) {
    auto storage = makeStorage();
    const std::string hostile = "O'Brien\"); DELETE FROM logs; --";
    const std::string other = "O'Brien";
    ASSERT_TRUE(storage->saveLog(makeLog("h1"), hostile, kNormal));
    ASSERT_TRUE(storage->saveLog(makeLog("h2"), hostile, kNormal));
    ASSERT_TRUE(storage->saveLog(makeLog("o1"), other, kNormal));
    ASSERT_TRUE(storage->saveLog(makeLog("p1"), other + "/one", kNormal));

    const auto batch = load(*storage, hostile, 1);
    EXPECT_EQ(batch.payloads, std::vector<std::string>{"h1"});
    const auto prefixed = load(*storage, other + "/one", 5);
    ASSERT_TRUE(prefixed.batchId);

    const auto deleted = storage->deleteLogsWithGroupId(hostile);
    EXPECT_EQ(deleted.size(), 2u);
    EXPECT_EQ(storage->countLogs(), 2u);

    // Deleting a group leaves the batches of a group whose id merely starts with it.
    storage->deleteLogsWithGroupId(other);
    EXPECT_EQ(storage->countLogs(), 1u);
    storage->deleteLogsWithBatchId(*prefixed.batchId, other + "/one");
    EXPECT_EQ(storage->countLogs(), 0u);
}

TEST_F(LogDBStorageTest, AFailedDeletionReportsNoLogAsDeleted) {
    auto storage = makeStorage();
    ASSERT_TRUE(storage->saveLog(makeLog("a"), "group", kNormal));
    ASSERT_TRUE(storage->saveLog(makeLog("b"), "group", kNormal));
    rawExec("CREATE TRIGGER keep BEFORE DELETE ON logs BEGIN SELECT RAISE(ABORT, 'kept'); END");
    EXPECT_TRUE(storage->deleteLogsWithGroupId("group").empty());
    EXPECT_EQ(storage->countLogs(), 2u);

    rawExec("DROP TRIGGER keep");
    EXPECT_EQ(storage->deleteLogsWithGroupId("group").size(), 2u);
    EXPECT_EQ(storage->countLogs(), 0u);
}

TEST_F(LogDBStorageTest, ALogWhoseTokenCannotBeEncryptedIsRefused) {
    LogDBStorage storage(file(), nullptr);
    EXPECT_FALSE(storage.saveLog(makeCommonSchemaLog("0123abcd-5678-secret-part"), "Analytics/one", kNormal));
    EXPECT_TRUE(logged("Failed to encrypt the target token of a log; the log is not saved."));
    EXPECT_EQ(storage.countLogs(), 0u);
    // Logs without a token need no encryption.
    EXPECT_TRUE(storage.saveLog(makeLog("plain"), "Analytics/one", kNormal));
}

TEST_F(LogDBStorageTest, TargetTokensAreStoredEncryptedWithTheirKeyInClear) {
    auto storage = makeStorage();
    const std::string token = "0123abcd-5678-secret-part";
    ASSERT_TRUE(storage->saveLog(makeCommonSchemaLog(token), "Analytics/one", kNormal));
    ASSERT_TRUE(storage->saveLog(makeCommonSchemaLog("ffff-other"), "Analytics/one", kNormal));
    ASSERT_TRUE(storage->saveLog(makeLog("keyless"), "Analytics/one", kNormal));

    const auto stored = rawText("SELECT targetToken FROM logs WHERE id = 1");
    EXPECT_FALSE(stored.empty());
    EXPECT_EQ(stored.find("secret"), std::string::npos);
    EXPECT_EQ(rawText("SELECT targetKey FROM logs WHERE id = 1"), "0123abcd");

    // Logs of an excluded target stay; logs without a target key are not excluded.
    const auto batch = loadLogs(*storage, "Analytics/one", 10, {"0123abcd"});
    ASSERT_EQ(batch.logs.size(), 2u);
    EXPECT_EQ(batch.logs[0]->transmissionTargetTokens(), std::set<std::string>{"ffff-other"});
    EXPECT_TRUE(batch.logs[1]->transmissionTargetTokens().empty());

    const auto rest = loadLogs(*storage, "Analytics/one", 10, {});
    ASSERT_EQ(rest.logs.size(), 1u);
    EXPECT_EQ(rest.logs[0]->transmissionTargetTokens(), std::set<std::string>{token});
}

TEST_F(LogDBStorageTest, OlderVersionAndForeignFilesAreRecreatedEmpty) {
    std::ofstream{file()}; // an empty file is an empty database
    rawExec("CREATE TABLE logs (id INTEGER PRIMARY KEY, groupId TEXT, log TEXT);"
            "INSERT INTO logs (groupId, log) VALUES ('Analytics', 'old');"
            "PRAGMA user_version = 4;");
    ASSERT_EQ(rawInteger("SELECT COUNT(*) FROM logs"), 1);
    auto storage = makeStorage();
    EXPECT_EQ(storage->countLogs(), 0u);
    EXPECT_EQ(rawInteger("PRAGMA user_version"), 5);
    EXPECT_EQ(rawInteger("SELECT COUNT(*) FROM pragma_table_info('logs') WHERE name = 'targetKey'"), 1);
    EXPECT_EQ(rawInteger("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ix_logs_priority'"), 1);
    EXPECT_TRUE(storage->saveLog(makeLog("new"), "Analytics", kNormal));
}

// A damaged file, found by the check at start or by the first statement that
// reads the damaged page, is moved aside and the next log goes to a new file.
TEST_F(LogDBStorageTest, DamagedFileIsMovedAsideAndANewOneTakesTheNextLog) {
    enum class Damage { PageBeforeStart, PageWhileRunning, WholeFile };
    for (const Damage damage : {Damage::PageBeforeStart, Damage::PageWhileRunning, Damage::WholeFile}) {
        SCOPED_TRACE(static_cast<int>(damage));
        std::filesystem::remove(file());
        {
            auto storage = makeStorage();
            for (int i = 0; i < 60; ++i) ASSERT_TRUE(storage->saveLog(makeLog("old", 300), "Analytics", kNormal));
        }
        const std::int64_t page = rawInteger("SELECT rootpage FROM sqlite_master WHERE name = 'logs'");
        std::unique_ptr<LogDBStorage> storage;
        if (damage == Damage::PageWhileRunning) storage = makeStorage();
        {
            std::fstream out(file(), std::ios::binary | std::ios::in | std::ios::out);
            out.seekp(damage == Damage::WholeFile ? 0 : (page - 1) * 4096);
            for (int i = 0; i < 4096; ++i) out.put(static_cast<char>((i * 7919) & 0xff));
        }
        std::ofstream(file().string() + "-journal") << "left over"; // would damage a new file
        if (!storage) storage = makeStorage();
        EXPECT_TRUE(storage->saveLog(makeLog("fresh"), "Analytics", kNormal));
        EXPECT_FALSE(std::filesystem::exists(file().string() + "-journal"));
        EXPECT_EQ(rawInteger("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ix_logs_priority'"), 1);
        EXPECT_EQ(load(*storage, "Analytics", 100).payloads, std::vector<std::string>{"fresh"});
        EXPECT_EQ(std::count_if(std::filesystem::directory_iterator(file().parent_path()), {},
                                [](const auto& entry) {
                                    return entry.path().filename().string().rfind("Logs.sqlite.corrupt-", 0) == 0;
                                }),
                  1);
    }
}

TEST_F(LogDBStorageTest, ReopeningKeepsLogsAndForgetsBatches) {
    {
        auto storage = makeStorage();
        ASSERT_TRUE(storage->saveLog(makeLog("kept"), "Analytics", kNormal));
        ASSERT_TRUE(load(*storage, "Analytics", 5).batchId);
    }
    auto storage = makeStorage();
    EXPECT_EQ(load(*storage, "Analytics", 5).payloads, std::vector<std::string>{"kept"});
}

} // namespace
} // namespace beacon
