#include "beacon/storage/DBStorage.h"

#include "beacon/util/tests/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

namespace beacon {
namespace {

const StorageSchema kSchema = {
    {"items", {{"id", {"INTEGER", "PRIMARY", "KEY", "AUTOINCREMENT"}}, {"name", {"TEXT"}}, {"size", {"INTEGER"}}}},
};

std::int64_t rawPragma(const std::filesystem::path& file, const std::string& pragma) {
    sqlite3* db = DBStorage::openDatabaseAtFileURL(file);
    const auto rows = DBStorage::executeSelectionQuery("PRAGMA " + pragma, db);
    sqlite3_close(db);
    return rows.empty() ? -1 : std::get<std::int64_t>(rows[0][0]);
}

// Inserts one item through bound values; answers SQLite's result code.
int insertItem(DBStorage& storage, std::optional<std::string> name, std::int64_t size) {
    StorageBindableArray values;
    values.addString(std::move(name));
    values.addNumber(size);
    return storage.executeNonSelectionQuery("INSERT INTO \"items\" (\"name\", \"size\") VALUES (?, ?)", values);
}

// Records which hooks ran, as a subclass sees them.
class HookedStorage final : public DBStorage {
public:
    HookedStorage(std::uint64_t version, std::filesystem::path file)
        : DBStorage(kSchema, version, std::move(file), DeferConfiguration{}) {
        initializeDatabase();
    }
    int customized = 0;
    std::optional<std::uint64_t> migratedFrom;

protected:
    void customizeDatabase(sqlite3*) override { ++customized; }
    void migrateDatabase(sqlite3*, std::uint64_t fromVersion) override { migratedFrom = fromVersion; }
};

// URI characters in the folder's name stay part of the path: "mode=ro" there
// would otherwise make the file read-only.
TEST(DBStorage, CreatesSchemaVersionAndAutoVacuum) {
    TempDir dir;
    const auto file = dir.path / "a?mode=ro#x%20y" / "Items.sqlite";
    DBStorage storage(kSchema, 3, file);

    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_GT(storage.pageSize(), 0);
    EXPECT_EQ(storage.maxSizeInBytes(), 10 * 1024 * 1024);
    EXPECT_EQ(rawPragma(file, "user_version"), 3);
    EXPECT_EQ(rawPragma(file, "auto_vacuum"), 1);
    EXPECT_EQ(storage.countEntriesForTable("items", std::nullopt), 0u);

    const auto indexes = DBStorage::columnsIndexes(kSchema);
    EXPECT_EQ(indexes.at("items").at("id"), 0u);
    EXPECT_EQ(indexes.at("items").at("size"), 2u);
    EXPECT_EQ(DBStorage::columnsQueryFromColumnsSchema(kSchema.at("items")),
              "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, \"name\" TEXT, \"size\" INTEGER");
}

TEST(DBStorage, BoundValuesRoundTripIncludingNullQuotesAnd64BitIntegers) {
    TempDir dir;
    DBStorage storage(kSchema, 1, dir.path / "Items.sqlite");
    const std::int64_t big = (std::int64_t{1} << 40) + 7;
    const std::string tricky = "it's \"x\"; DROP TABLE items; --";

    ASSERT_EQ(insertItem(storage, tricky, big), SQLITE_OK);
    ASSERT_EQ(insertItem(storage, std::nullopt, -1), SQLITE_OK);

    const auto rows = storage.executeSelectionQuery("SELECT \"name\", \"size\" FROM \"items\" ORDER BY \"id\"");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::get<std::string>(rows[0][0]), tricky);
    EXPECT_EQ(std::get<std::int64_t>(rows[0][1]), big);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(rows[1][0]));
    EXPECT_EQ(std::get<std::int64_t>(rows[1][1]), -1);

    StorageBindableArray condition;
    condition.addString(tricky);
    EXPECT_EQ(storage.countEntriesForTable("items", "\"name\" = ?", condition), 1u);

    // A statement that does not prepare reports its code and no rows.
    EXPECT_NE(storage.executeNonSelectionQuery("INSERT INTO \"missing\" VALUES (1)"), SQLITE_OK);
    EXPECT_TRUE(storage.executeSelectionQuery("SELECT * FROM \"missing\"").empty());
}

TEST(DBStorage, HooksRunOnceForNewFilesAndOnOlderVersions) {
    TempDir dir;
    const auto file = dir.path / "Items.sqlite";
    {
        HookedStorage created(2, file);
        EXPECT_EQ(created.customized, 1);
        EXPECT_FALSE(created.migratedFrom);
    }
    {
        HookedStorage reopened(2, file);
        EXPECT_EQ(reopened.customized, 0);
        EXPECT_FALSE(reopened.migratedFrom);
    }
    HookedStorage upgraded(5, file);
    EXPECT_EQ(upgraded.customized, 0);
    EXPECT_EQ(upgraded.migratedFrom, std::optional<std::uint64_t>(2));
    EXPECT_EQ(rawPragma(file, "user_version"), 5);
}

// Commits go to a write-ahead log through the kept connection; another
// connection sees each one at once, and dropping the file takes its log too.
TEST(DBStorage, KeptConnectionCommitsThroughAWriteAheadLog) {
    TempDir dir;
    const auto file = dir.path / "Items.sqlite";
    DBStorage storage(kSchema, 1, file);
    ASSERT_EQ(storage.executeNonSelectionQuery("INSERT INTO \"items\" (\"name\") VALUES ('a')"), SQLITE_OK);
    sqlite3* reader = DBStorage::openDatabaseAtFileURL(file);
    const auto rows = DBStorage::executeSelectionQuery("PRAGMA journal_mode", reader);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(std::get<std::string>(rows[0][0]), "wal");
    EXPECT_EQ(DBStorage::executeSelectionQuery("SELECT COUNT(*) FROM \"items\"", reader).at(0).at(0),
              StorageValue(std::int64_t{1}));
    sqlite3_close(reader);
    EXPECT_TRUE(std::filesystem::exists(file.string() + "-wal"));

    EXPECT_TRUE(storage.dropDatabase());
    EXPECT_FALSE(std::filesystem::exists(file.string() + "-wal"));
}

TEST(DBStorage, SizeCapIsWholePagesAndNeverBelowTheDataInUse) {
    TempDir dir;
    DBStorage storage(kSchema, 1, dir.path / "Items.sqlite");
    const std::int64_t page = storage.pageSize();

    std::optional<bool> answer;
    storage.setMaxStorageSize(page, [&](bool ok) { answer = ok; });
    EXPECT_EQ(answer, std::optional<bool>(false)); // the schema alone takes several pages
    EXPECT_EQ(storage.maxSizeInBytes(), 10 * 1024 * 1024);

    answer.reset();
    storage.setMaxStorageSize(6 * page - 100, [&](bool ok) { answer = ok; });
    EXPECT_EQ(answer, std::optional<bool>(true));
    EXPECT_EQ(storage.maxSizeInBytes(), 6 * page);

    // Filling the capped file ends in SQLITE_FULL rather than growing past the cap.
    int result = SQLITE_OK;
    for (int i = 0; i < 1000 && result == SQLITE_OK; ++i) result = insertItem(storage, std::string(500, 'x'), i);
    EXPECT_EQ(result, SQLITE_FULL);
    // The write-ahead log counts too.
    std::error_code noLog;
    const auto log = std::filesystem::file_size(storage.dbFileURL().string() + "-wal", noLog);
    EXPECT_LE(static_cast<std::int64_t>(std::filesystem::file_size(storage.dbFileURL()) + (noLog ? 0 : log)), 6 * page);
}

} // namespace
} // namespace beacon
