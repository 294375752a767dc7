// Live reports of the test process itself: written without ending it.
#include "CrashTestSupport.h"
#include "crashcapture/reporter/CrashReporter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace crashcapture {
namespace {

namespace fs = std::filesystem;
using zelvo::testing::TemporaryFolder;

// Threads parked on a condition until the test ends.
class ParkedThreads {
public:
    explicit ParkedThreads(int count) {
        for (int i = 0; i < count; ++i)
            threads_.emplace_back([this] {
                std::unique_lock lock(mutex_);
                ids_.push_back(static_cast<pid_t>(::syscall(SYS_gettid)));
                changed_.notify_all();
                changed_.wait(lock, [this] { return done_; });
            });
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ids_.size() == static_cast<std::size_t>(count); });
    }
    ~ParkedThreads() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        for (auto& thread : threads_) thread.join();
    }
    pid_t id(int index) {
        std::lock_guard lock(mutex_);
        return ids_.at(static_cast<std::size_t>(index));
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<pid_t> ids_;
    bool done_ = false;
    std::vector<std::thread> threads_;
};

class LiveReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousTmp_ = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
        ::setenv("TMPDIR", tmp_.path.c_str(), 1);
    }
    void TearDown() override {
        EXPECT_TRUE(fs::is_empty(tmp_.path)) << "the temporary report was left behind";
        if (previousTmp_.empty()) ::unsetenv("TMPDIR");
        else ::setenv("TMPDIR", previousTmp_.c_str(), 1);
    }
    // The folders come first: the reporter is built from base_.
    TemporaryFolder base_;
    TemporaryFolder tmp_;
    CrashReporter reporter_{CrashReporterConfig(CrashReporterSignalHandlerType::BSD,
                                                CrashReporterSymbolicationStrategy::None, false, base_.path),
                            "org.zelvo.live", "3"};
    std::string previousTmp_;
};

__attribute__((noinline)) std::optional<std::vector<std::uint8_t>> reportFromHere(CrashReporter& reporter,
                                                                                  CrashReporterError* error) {
    return reporter.generateLiveReportAndReturnError(error);
}

// The calling thread is the crashed one, or a named thread is and the
// caller is left out; either way every thread listed has its stack.
TEST_F(LiveReportTest, ReportsEveryThreadAndGoesOn) {
    struct Case {
        bool named;
        std::size_t threads;
        const char* function; // on the crashed thread's stack
    };
    for (const Case& c : {Case{false, 4, "reportFromHere"}, Case{true, 3, "wait"}}) {
        SCOPED_TRACE(c.function);
        ParkedThreads parked(3);
        reporter_.setCustomData({1, 2, 3});
        CrashReporterError error;
        auto bytes =
            c.named ? reporter_.generateLiveReportWithThread(parked.id(1), &error) : reportFromHere(reporter_, &error);
        ASSERT_TRUE(bytes) << error.localizedDescription;
        auto report = CrashReport::initWithData(*bytes, &error);
        ASSERT_TRUE(report) << error.localizedDescription;

        EXPECT_EQ(report->threads().size(), c.threads);
        for (const auto& thread : report->threads()) EXPECT_FALSE(thread.stackFrames.empty()) << thread.threadNumber;
        const auto* crashed = testing::crashedThread(*report);
        ASSERT_NE(crashed, nullptr);
        EXPECT_FALSE(crashed->registers.empty());
        const auto functions = testing::functionsOf(*report, *crashed);
        EXPECT_TRUE(testing::mentions(functions, c.function)) << ::testing::PrintToString(functions);
        EXPECT_EQ(report->customData(), std::vector<std::uint8_t>({1, 2, 3}));
        EXPECT_FALSE(report->hasExceptionInfo());
        for (const auto& thread : report->threads())
            for (const auto& frame : thread.stackFrames) EXPECT_FALSE(frame.symbolInfo) << "symbols without a strategy";
        // The threads were let go: a second report works just the same.
        EXPECT_TRUE(reporter_.generateLiveReport());
    }
}

TEST_F(LiveReportTest, LooksUpExportedSymbolsWhenAskedTo) {
    CrashReporter symbolizing(CrashReporterConfig(CrashReporterSignalHandlerType::BSD,
                                                  CrashReporterSymbolicationStrategy::SymbolTable, false, base_.path),
                              "org.zelvo.live", "3");
    ParkedThreads parked(1);
    auto bytes = symbolizing.generateLiveReport();
    ASSERT_TRUE(bytes);
    auto report = CrashReport::initWithData(*bytes);
    ASSERT_TRUE(report);
    std::vector<std::string> names;
    for (const auto& thread : report->threads())
        for (std::size_t index = 0; index < thread.stackFrames.size(); ++index) {
            const auto& frame = thread.stackFrames[index];
            if (!frame.symbolInfo) continue;
            names.push_back(frame.symbolInfo->symbolName);
            const auto pc = index == 0 ? frame.instructionPointer : frame.instructionPointer - 1;
            EXPECT_LE(frame.symbolInfo->startAddress, pc) << names.back();
            EXPECT_GT(frame.symbolInfo->endAddress, pc) << names.back();
        }
    // The parked thread waits in libc's exported pthread_cond_wait.
    EXPECT_NE(std::find(names.begin(), names.end(), "pthread_cond_wait"), names.end())
        << ::testing::PrintToString(names);
}

TEST_F(LiveReportTest, RecordsAnExceptionHandedOver) {
    platform::UncaughtException exception{"std::logic_error", "bad state", {0x1000, 0x2000}};
    auto bytes = reporter_.generateLiveReportWithException(exception);
    ASSERT_TRUE(bytes);
    auto report = CrashReport::initWithData(*bytes);
    ASSERT_TRUE(report);
    EXPECT_EQ(
        report->exceptionInfo(),
        (CrashReportExceptionInfo{"std::logic_error", "bad state", {{0x1000, std::nullopt}, {0x2000, std::nullopt}}}));
    EXPECT_FALSE(report->customData());
}

} // namespace
} // namespace crashcapture
