#include "beacon/logger/Logger.h"
#include "beacon/model/AbstractLog.h"
#include "beacon/storage/LogDBStorage.h"

#include "LogStorageFixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>

namespace beacon {
namespace {

class LogDBStorageCrashTest : public test::LogStorageFixture {};

// The child saves logs in a loop and reports each index once saveLog returned
// true; it never returns into the test framework.
[[noreturn]] void writeUntilKilled(const std::filesystem::path& file, const std::shared_ptr<Encrypter>& encrypter,
                                   int reportFd, int firstIndex) {
    LogDBStorage storage(file, encrypter);
    for (int i = firstIndex; i < firstIndex + 100000; ++i) {
        if (storage.saveLog(test::LogStorageFixture::makeLog("log-" + std::to_string(i), 1500), "Analytics", 1)) {
            if (write(reportFd, &i, sizeof i) != sizeof i) _exit(2);
        }
    }
    _exit(0);
}

TEST_F(LogDBStorageCrashTest, KillDuringWritesKeepsEveryCommittedLog) {
    // The child must not reach for the logger's thread, which does not exist after fork.
    Logger::flush();
    Logger::setLogHandler({});

    std::mt19937 random(12345);
    std::set<std::string> committed;
    int nextIndex = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            writeUntilKilled(file(), encrypter_, fds[1], nextIndex);
        }
        close(fds[1]);

        // Let it commit a few logs, then kill it at a random moment of a later write.
        int index = 0;
        for (int received = 0; received < 20; ++received) {
            ASSERT_EQ(read(fds[0], &index, sizeof index), static_cast<ssize_t>(sizeof index));
            committed.insert("log-" + std::to_string(index));
        }
        // The child appends to the write-ahead log all the time: kill it once the
        // log is there, at a random moment of a later write.
        const auto journal = file().string() + "-wal";
        bool writing = false;
        for (int poll = 0; poll < 200000 && !writing; ++poll) {
            writing = std::filesystem::exists(journal);
            if (!writing) usleep(20);
        }
        usleep(std::uniform_int_distribution<useconds_t>(0, 3000)(random));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        EXPECT_TRUE(writing) << "the child was never seen inside a write";
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        while (read(fds[0], &index, sizeof index) == static_cast<ssize_t>(sizeof index))
            committed.insert("log-" + std::to_string(index));
        close(fds[0]);
        nextIndex = index + 1000;

        // Reopening must neither drop the file nor lose a log the writer saw committed;
        // at most the insert in flight may have made it as well.
        auto storage = makeStorage();
        EXPECT_EQ(rawText("PRAGMA integrity_check"), "ok");
        const auto all = load(*storage, "Analytics", std::numeric_limits<std::size_t>::max());
        const std::set<std::string> stored(all.payloads.begin(), all.payloads.end());
        for (const auto& payload : committed) EXPECT_TRUE(stored.count(payload)) << payload << " was lost";
        EXPECT_LE(stored.size(), committed.size() + 1);
        // Whatever the in-flight insert left counts as stored from now on.
        committed = stored;
    }
}

} // namespace
} // namespace beacon
