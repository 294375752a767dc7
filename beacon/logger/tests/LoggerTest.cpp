#include "beacon/logger/Logger.h"

#include "platform/headless/ManualScheduler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace beacon;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// Each test starts from the logger's initial state, with lines captured and
// handlers run on a manual queue.
class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        queue = scheduler.makeSerialQueue(Logger::kQueueLabel);
        Logger::setQueue(queue);
        Logger::setLogHandler(Logger::defaultHandler());
        Logger::setCurrentLogLevel(LogLevel::Assert);
        Logger::setIsUserDefinedLogLevel(false);
        Logger::setLineWriter([this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        });
    }
    void TearDown() override {
        Logger::setQueue(nullptr);
        Logger::setLineWriter({});
        Logger::setLogHandler(Logger::defaultHandler());
        Logger::setCurrentLogLevel(LogLevel::Assert);
        Logger::setIsUserDefinedLogLevel(false);
    }
    void logAllLevels() {
        for (auto level : {LogLevel::Verbose, LogLevel::Debug, LogLevel::Info, LogLevel::Warning, LogLevel::Error,
                           LogLevel::Assert, LogLevel::None})
            BEACON_LOG(level, kBeaconLogTag, "m", static_cast<unsigned>(level));
        scheduler.runUntilIdle();
    }
    std::vector<std::string> taken() {
        std::lock_guard lock(mutex);
        return std::exchange(lines, {});
    }

    platform::ManualScheduler scheduler;
    std::shared_ptr<platform::Queue> queue;
    std::mutex mutex;
    std::vector<std::string> lines;
};

} // namespace

TEST_F(LoggerTest, FiltersByCurrentLevelAndNeverPrintsNone) {
    logAllLevels();
    EXPECT_THAT(taken(), ElementsAre(HasSubstr("] ASSERT: ")));

    Logger::setCurrentLogLevel(LogLevel::Warning);
    logAllLevels();
    EXPECT_THAT(taken(), ElementsAre(HasSubstr("] WARNING: "), HasSubstr("] ERROR: "), HasSubstr("] ASSERT: ")));

    Logger::setCurrentLogLevel(LogLevel::Verbose);
    logAllLevels();
    EXPECT_EQ(taken().size(), 6u);

    // Even a level of "none" does not let level-99 messages through.
    Logger::setCurrentLogLevel(LogLevel::None);
    logAllLevels();
    EXPECT_TRUE(taken().empty());
}

TEST_F(LoggerTest, LinesCarryTagLevelFunctionLineAndMessage) {
    Logger::setCurrentLogLevel(LogLevel::Verbose);
    const int line = __LINE__ + 1;
    BEACON_ANALYTICS_LOG_WARNING("Event '", std::string("open"), "' : ", 20, " items.");
    BEACON_CRASHES_LOG_ERROR("x");
    BEACON_LOG_VERBOSE("y");
    scheduler.runUntilIdle();
    const std::string function = __func__;
    EXPECT_THAT(taken(), ElementsAre("[BeaconAnalytics] WARNING: " + function + "/" + std::to_string(line) +
                                         " Event 'open' : 20 items.",
                                     StartsWith("[BeaconCrashes] ERROR: "), StartsWith("[Beacon] VERBOSE: ")));
    EXPECT_EQ(Logger::formatLine("T", LogLevel::Info, "fn", 7, "msg"), "[T] INFO: fn/7 msg");
}

TEST_F(LoggerTest, MessagesAreBuiltOnlyWhenPrinted) {
    std::atomic<int> built{0};
    auto message = [&] {
        ++built;
        return std::string("text");
    };
    Logger::logMessage(message, LogLevel::Debug, kBeaconLogTag, __FILE__, __func__, __LINE__);
    Logger::logMessage(message, LogLevel::None, kBeaconLogTag, __FILE__, __func__, __LINE__);
    scheduler.runUntilIdle();
    EXPECT_EQ(built.load(), 0);

    // Without a handler nothing is queued and nothing is evaluated.
    Logger::setLogHandler({});
    EXPECT_FALSE(Logger::logHandler());
    Logger::logMessage(message, LogLevel::Assert, kBeaconLogTag, __FILE__, __func__, __LINE__);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    scheduler.runUntilIdle();
    EXPECT_EQ(built.load(), 0);
    EXPECT_TRUE(taken().empty());

    Logger::setLogHandler(Logger::defaultHandler());
    Logger::logMessage(message, LogLevel::Assert, kBeaconLogTag, __FILE__, __func__, __LINE__);
    EXPECT_EQ(built.load(), 0) << "the text is built on the logger queue, not by the caller";
    scheduler.runUntilIdle();
    EXPECT_EQ(built.load(), 1);
}

TEST_F(LoggerTest, DisabledLevelsEvaluateNoArguments) {
    int evaluated = 0;
    const auto argument = [&] { return std::vector<int>(3, ++evaluated).size(); };
    BEACON_LOG_DEBUG("ids: ", argument());
    BEACON_LOG(LogLevel::None, kBeaconLogTag, argument());
    EXPECT_EQ(evaluated, 0);
    BEACON_LOG_ASSERT("ids: ", argument());
    EXPECT_EQ(evaluated, 1);

    Logger::setLogHandler({});
    BEACON_LOG_ASSERT("ids: ", argument());
    EXPECT_EQ(evaluated, 1);

    // A handler of the embedder's sees every level and decides itself.
    Logger::setLogHandler([](const MessageProvider&, LogLevel, const std::string&, const char*, const char*, int) {});
    BEACON_LOG_VERBOSE("ids: ", argument());
    EXPECT_EQ(evaluated, 2);
    scheduler.runUntilIdle();
    EXPECT_EQ(taken().size(), 1u);
}

TEST_F(LoggerTest, CustomHandlerRunsOnLoggerQueueWithAllArguments) {
    struct Call {
        LogLevel level;
        std::string tag, file, function;
        int line;
        bool onQueue;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
    Logger::setLogHandler([&](const MessageProvider&, LogLevel level, const std::string& tag, const char* file,
                              const char* function, int line) {
        calls.push_back({level, tag, file, function, line, queue->isCurrent()});
    });
    Logger::logMessage([] { return std::string(); }, LogLevel::Verbose, "Tag", "f.cpp", "fn", 42);
    EXPECT_TRUE(calls.empty());
    scheduler.runUntilIdle();
    // A custom handler sees every level.
    EXPECT_EQ(calls, (std::vector<Call>{{LogLevel::Verbose, "Tag", "f.cpp", "fn", 42, true}}));
}

TEST_F(LoggerTest, SettingLevelOrHandlerMarksItUserDefined) {
    EXPECT_FALSE(Logger::isUserDefinedLogLevel());
    Logger::setCurrentLogLevel(LogLevel::Error);
    EXPECT_TRUE(Logger::isUserDefinedLogLevel());
    Logger::setIsUserDefinedLogLevel(false); // clearing the mark keeps the level set
    EXPECT_EQ(Logger::currentLogLevel(), LogLevel::Error);
    Logger::setLogHandler(Logger::defaultHandler());
    EXPECT_TRUE(Logger::isUserDefinedLogLevel());
}

TEST_F(LoggerTest, BuiltInQueueKeepsCallOrderOffTheCallersThread) {
    Logger::setQueue(nullptr); // the logger's own serial thread
    EXPECT_EQ(Logger::queue()->label(), Logger::kQueueLabel);
    Logger::setCurrentLogLevel(LogLevel::Verbose);
    std::atomic<bool> offCaller{true};
    const auto caller = std::this_thread::get_id();
    Logger::setLogHandler([&](const MessageProvider& message, LogLevel level, const std::string& tag, const char*,
                              const char* function, int line) {
        if (std::this_thread::get_id() == caller) offCaller = false;
        std::lock_guard lock(mutex);
        lines.push_back(message());
    });
    for (int i = 0; i < 500; ++i) BEACON_LOG_DEBUG(i);
    Logger::flush();
    auto lines = taken();
    ASSERT_EQ(lines.size(), 500u);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(lines[i], std::to_string(i));
    EXPECT_TRUE(offCaller.load());
}
