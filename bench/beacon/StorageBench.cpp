// Throughput of the log store: saves through the store (its kept connection,
// write-ahead log, synchronous NORMAL), the same insert over a raw connection
// with SQLite's default full sync on every commit, and loading a batch of 50
// out of 10,000 stored logs.
#include "beacon/archive/ArchiverUtil.h"
#include "beacon/logger/Logger.h"
#include "beacon/model/AbstractLog.h"
#include "beacon/storage/Base64Text.h"
#include "beacon/storage/LogDBStorage.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>

namespace {

using namespace beacon;

class BenchDir {
public:
    BenchDir() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() / ("zelvo-storage-bench-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~BenchDir() { std::filesystem::remove_all(path_); }
    std::filesystem::path file() const { return path_ / "Logs.sqlite"; }

private:
    std::filesystem::path path_;
};

constexpr std::int64_t kRoomyCap = std::int64_t{1} << 30;

void prepareProcess() {
    static bool done = [] {
        ArchiverUtil::addAllowedClasses({ArchiveClass::of<AbstractLog>()});
        Logger::setLogHandler({});
        return true;
    }();
    (void)done;
}

// A log of typical size: a session-like record with a device-sized filler.
std::shared_ptr<AbstractLog> sampleLog(int index) {
    auto log = std::make_shared<AbstractLog>();
    log->type = "event";
    log->timestamp = std::chrono::system_clock::now();
    log->sid = "6F9A1E52-2B8C-4C55-9D0A-" + std::to_string(100000000000 + index);
    log->userId = std::string(600, 'u');
    return log;
}

void BM_SaveLog_ThroughStore(benchmark::State& state) {
    prepareProcess();
    BenchDir dir;
    LogDBStorage storage(dir.file(), nullptr);
    // Room for every iteration: this measures saving, not eviction.
    storage.setMaxStorageSize(kRoomyCap, {});
    const auto log = sampleLog(1);
    for (auto _ : state) {
        if (!storage.saveLog(log, "Analytics", 1)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SaveLog_ThroughStore)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same log archived and written through one open connection and a reused
// statement, flushed to disk on every commit (synchronous FULL): the difference
// to the benchmark above is what a flush per log costs. Both commit every row
// on its own.
void BM_SaveLog_KeptConnection(benchmark::State& state) {
    prepareProcess();
    BenchDir dir;
    { LogDBStorage create(dir.file(), nullptr); }
    const auto log = sampleLog(1);
    sqlite3* db = DBStorage::openDatabaseAtFileURL(dir.file());
    DBStorage::setMaxPageCount(kRoomyCap / 4096, db);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO \"logs\" (\"groupId\", \"log\", \"priority\") VALUES (?, ?, ?)", -1, &insert,
                       nullptr);
    for (auto _ : state) {
        // Archived and encoded each time, as saveLog does.
        const std::string text = base64_text::encode(*ArchiverUtil::archiveKeyedData(*log));
        sqlite3_bind_text(insert, 1, "Analytics", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        sqlite3_bind_int64(insert, 3, 1);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            state.SkipWithError("insert failed");
            break;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SaveLog_KeptConnection)->Unit(benchmark::kMicrosecond)->UseRealTime();

void fill(const std::filesystem::path& file, int count, int firstIndex, bool bothGroups) {
    sqlite3* db = DBStorage::openDatabaseAtFileURL(file);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO \"logs\" (\"groupId\", \"log\", \"priority\") VALUES (?, ?, ?)", -1, &insert,
                       nullptr);
    for (int i = 0; i < count; ++i) {
        const std::string text = base64_text::encode(*ArchiverUtil::archiveKeyedData(*sampleLog(firstIndex + i)));
        sqlite3_bind_text(insert, 1, (bothGroups && i % 2) ? "Crashes" : "Analytics", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 3, (i % 10 == 0) ? 2 : 1);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// Loading one batch of 50 while 10,000 logs wait (two groups, a tenth critical);
// the delivered batch is deleted and replaced outside the timed part, so every
// load sees 10,000 logs.
void BM_LoadBatchOf50From10000(benchmark::State& state) {
    prepareProcess();
    BenchDir dir;
    LogDBStorage storage(dir.file(), nullptr);
    fill(dir.file(), 10000, 0, true);
    int nextIndex = 10000;
    for (auto _ : state) {
        std::optional<std::string> batch;
        std::size_t loaded = 0;
        storage.loadLogsWithGroupId("Analytics", 50, {},
                                    [&](std::vector<std::shared_ptr<AbstractLog>> logs, std::optional<std::string> id) {
                                        loaded = logs.size();
                                        batch = std::move(id);
                                    });
        state.PauseTiming();
        if (loaded != 50 || !batch) {
            state.SkipWithError("short batch");
            break;
        }
        storage.deleteLogsWithBatchId(*batch, "Analytics");
        fill(dir.file(), 50, nextIndex, false);
        nextIndex += 50;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 50);
}
BENCHMARK(BM_LoadBatchOf50From10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
