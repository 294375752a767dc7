// Each case runs a child process that arms the reporter and crashes for
// real; the parent reads the report back and checks it against the crash.
#include "CrashTestSupport.h"
#include "ProtocFields.h"
#include "crashcapture/symbolicate/Symbolicator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace crashcapture {
namespace {

namespace fs = std::filesystem;
using testing::mentions;
using zelvo::testing::TemporaryFolder;

struct ChildRun {
    pid_t pid = 0;
    fs::path path; // the report read
    int status = 0;
    std::vector<std::uint8_t> bytes;
    std::optional<CrashReport> report;
    std::string readError;
};

fs::path reportPathIn(const fs::path& base) {
    return base / "com.zelvo.crashreporter.data" / "org.zelvo.crashtest" / "live_report.zvcrash";
}

ChildRun runChild(const char* program, const std::string& which, const fs::path& base, const char* suffix = "") {
    ChildRun run;
    const pid_t child = ::fork();
    run.pid = child;
    if (child == 0) {
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::execl(program, program, which.c_str(), base.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    EXPECT_GT(child, 0);
    // A crash path that hangs is a failure, not a test that never ends.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (::waitpid(child, &run.status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &run.status, 0);
            ADD_FAILURE() << which << ": the crashing child hung";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.path = reportPathIn(base).string() + suffix;
    run.bytes = testing::readFile(run.path);
    CrashReporterError error;
    run.report = CrashReport::initWithData(run.bytes, &error);
    run.readError = error.localizedDescription;
    return run;
}

struct CrashCase {
    const char* which;
    int signal;
    const char* signalName;
    const char* codeName;   // null: any code
    const char* function;   // a function on the crashed thread's stack
    bool sent = false;      // raised by the program: the report gives no fault address
    int runs = 1;           // 2: the second crash comes while the first report is pending
    bool forked = false;    // the crash happens in a forked grandchild
    bool customData = true; // unless the case is "segv"
};

const CrashCase kCases[] = {
    {"segv", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference"},
    {"bus", SIGBUS, "SIGBUS", "BUS_ADRERR", "crashTruncatedMapping"},
    {"fpe", SIGFPE, "SIGFPE", "FPE_INTDIV", "crashDivideByZero"},
    {"ill", SIGILL, "SIGILL", "ILL_ILLOPN", "crashIllegalInstruction"},
#if defined(__x86_64__)
    {"trap", SIGTRAP, "SIGTRAP", "SI_KERNEL", "crashBreakpoint"},
#else
    {"trap", SIGTRAP, "SIGTRAP", "TRAP_BRKPT", "crashBreakpoint"},
#endif
    {"abort", SIGABRT, "SIGABRT", "SI_TKILL", "crashAbort", true},
    {"overflow", SIGSEGV, "SIGSEGV", nullptr, "crashRecursion"},
    {"thread-overflow", SIGSEGV, "SIGSEGV", nullptr, "crashRecursion"},
    {"deep", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashAtDepth"},
    {"thread", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference"},
    {"exception", SIGABRT, "SIGABRT", "SI_TKILL", "terminateThroughTheSlot", true},
    {"chained", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference"},
    {"mach", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference"},
    {"loader-lock", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference"},
    {"blocked-stop", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference"},
    {"again", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference", false, 2},
    {"fork", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference", false, 1, true},
    {"hung-callback", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference"},
    {"no-descriptors", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference"},
    {"null-call", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullCall"},
    {"spinning", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference"},
    {"two-faults", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference"},
    {"huge-data", SIGSEGV, "SIGSEGV", "SEGV_MAPERR", "crashNullDereference", false, 1, false, false},
};

// Names the case in test output (ctest lists parameters by their printout).
void PrintTo(const CrashCase& crash, std::ostream* out) { *out << crash.which; }

const CrashReportBinaryImageInfo* imageNamed(const CrashReport& report, const std::string& fileName) {
    for (const auto& image : report.images())
        if (fs::path(image.imageName).filename() == fileName) return &image;
    return nullptr;
}

void expectWellFormedCrash(const CrashCase& expected, const ChildRun& run, const fs::path& base,
                           const char* program = CRASH_CHILD) {
    ASSERT_TRUE(WIFSIGNALED(run.status)) << "status " << run.status;
    EXPECT_EQ(WTERMSIG(run.status), expected.signal);
    ASSERT_TRUE(run.report) << run.readError;
    const CrashReport& report = *run.report;
    // Reports hold memory contents and paths: only the user may read them.
    struct stat info {};
    ASSERT_EQ(::stat(run.path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    EXPECT_EQ(report.signalInfo().name, expected.signalName);
    if (expected.codeName) {
        EXPECT_EQ(report.signalInfo().code, expected.codeName);
    }
    EXPECT_EQ(report.systemInfo().operatingSystem, CrashReportOperatingSystem::Linux);
    EXPECT_EQ(report.applicationInfo().applicationIdentifier, "org.zelvo.crashtest");
    ASSERT_TRUE(report.processInfo());
    EXPECT_TRUE(!expected.sent || report.signalInfo().address == 0) << "a sent signal has no fault address";
    const auto child = static_cast<std::uint32_t>(run.pid);
    EXPECT_EQ(report.processInfo()->processID == child, !expected.forked);
    EXPECT_EQ(report.processInfo()->parentProcessID, expected.forked ? child : static_cast<std::uint32_t>(::getpid()));

    // Threads are numbered in order; only the crashed one has registers.
    for (std::size_t index = 0; index < report.threads().size(); ++index) {
        const auto& thread = report.threads()[index];
        EXPECT_EQ(thread.threadNumber, index);
        EXPECT_TRUE(thread.crashed || thread.registers.empty()) << index;
    }
    const auto* crashed = testing::crashedThread(report);
    ASSERT_NE(crashed, nullptr);
    EXPECT_GE(crashed->registers.size(), 16u);
    const auto functions = testing::functionsOf(report, *crashed);
    EXPECT_TRUE(mentions(functions, expected.function)) << "crashed thread: " << ::testing::PrintToString(functions);

    const auto* executable = imageNamed(report, fs::path(program).filename());
    const auto* libc = imageNamed(report, "libc.so.6");
    ASSERT_NE(executable, nullptr);
    ASSERT_NE(libc, nullptr);
    EXPECT_EQ(executable->imageUUID.size(), 16u);
    EXPECT_EQ(libc->imageUUID.size(), 16u);
    EXPECT_TRUE(executable->codeType);

    // The crash callback ran once per crash, after the report was written,
    // while the other threads were still stopped.
    EXPECT_EQ(fs::file_size(base / "callback"), static_cast<std::uintmax_t>(expected.runs));
    EXPECT_FALSE(fs::exists(base / "resumed"));

    // protoc, an independent decoder, reads the same report.
    auto protoc = testing::decodeWithProtoc(run.bytes);
    for (const auto& [key, values] : testing::fieldsOf(report)) EXPECT_EQ(protoc[key], values) << key;
}

class CrashMatrix : public ::testing::TestWithParam<CrashCase> {};

TEST_P(CrashMatrix, WritesAReportAndEndsWithTheSignal) {
    TemporaryFolder base;
    const CrashCase& expected = GetParam();
    const ChildRun first = expected.runs == 2 ? runChild(CRASH_CHILD, expected.which, base.path) : ChildRun{};
    const ChildRun run = runChild(CRASH_CHILD, expected.which, base.path, expected.runs == 2 ? ".next" : "");
    expectWellFormedCrash(expected, run, base.path);
    EXPECT_TRUE(expected.runs != 2 || testing::readFile(first.path) == first.bytes)
        << "the pending report was replaced";
    if (!run.report) return;
    const CrashReport& report = *run.report;

    // Only the "segv" child has no marketing version and no custom data.
    const bool extras = std::string(expected.which) != "segv";
    const std::optional<std::string> marketingVersion = extras ? std::optional<std::string>("1.2.3") : std::nullopt;
    EXPECT_EQ(report.applicationInfo().applicationMarketingVersion, marketingVersion);
    const std::vector<std::uint8_t> custom{'c', 'u', 's', 't', 'o', 'm'};
    EXPECT_EQ(report.customData(), extras && expected.customData ? std::optional(custom) : std::nullopt);

    const std::string which = expected.which;
    if (which == "thread") {
        // The main thread, ten runners and the crasher, each with a stack.
        EXPECT_EQ(report.threads().size(), 12u);
        for (const auto& thread : report.threads()) EXPECT_FALSE(thread.stackFrames.empty()) << thread.threadNumber;
    } else if (which == "exception") {
        ASSERT_TRUE(report.exceptionInfo());
        EXPECT_EQ(report.exceptionInfo()->exceptionName, "std::runtime_error");
        EXPECT_EQ(report.exceptionInfo()->exceptionReason, "nobody catches this");
        EXPECT_FALSE(report.exceptionInfo()->stackFrames.empty());
    } else if (which == "chained") {
        EXPECT_TRUE(fs::exists(base.path / "chained")) << "the earlier siginfo handler was not reached";
    } else if (which == "mach") {
        EXPECT_TRUE(fs::exists(base.path / "debug-log")) << "no debug line about signal mode";
    } else if (which == "overflow" || which == "thread-overflow" || which == "deep") {
        // Stacks are cut at 512 frames.
        EXPECT_EQ(report.threads().size(), which == "thread-overflow" ? 2u : 1u);
        for (const auto& thread : report.threads())
            if (thread.crashed) {
                EXPECT_EQ(thread.stackFrames.size(), 512u);
            }
    }
    EXPECT_EQ(report.hasExceptionInfo(), which == "exception");
}

INSTANTIATE_TEST_SUITE_P(Crashes, CrashMatrix, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.which;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(CrashCapture, CrashPathAllocatesNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the child's allocator hooks need glibc's malloc, not the sanitizer's";
#endif
    for (const CrashCase& crash : {kCases[0], kCases[5], kCases[7]}) { // segv, abort, thread-overflow
        TemporaryFolder base;
        const ChildRun run = runChild(CRASH_CHILD_NOALLOC, crash.which, base.path);
        ASSERT_FALSE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 99)
            << crash.which << " allocated after the crash";
        expectWellFormedCrash(crash, run, base.path, CRASH_CHILD_NOALLOC);
    }
}

TEST(CrashCapture, OneReporterPerProcess) {
    TemporaryFolder base;
    const ChildRun run = runChild(CRASH_CHILD, "second-reporter", base.path);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
}

TEST(CrashCapture, SymbolicationLeavesOtherBuildsUnresolved) {
    TemporaryFolder base;
    ChildRun run = runChild(CRASH_CHILD, "segv", base.path);
    ASSERT_TRUE(run.report) << run.readError;
    const auto* executable = imageNamed(*run.report, fs::path(CRASH_CHILD).filename());
    ASSERT_TRUE(executable && executable->imageUUID.size() == 16);

    // The same report as if another build of the program had crashed.
    auto bytes = run.bytes;
    auto at = std::search(bytes.begin(), bytes.end(), executable->imageUUID.begin(), executable->imageUUID.end());
    ASSERT_NE(at, bytes.end());
    *at ^= 0xFF;
    auto other = CrashReport::initWithData(bytes);
    ASSERT_TRUE(other);
    const auto* crashed = testing::crashedThread(*other);
    ASSERT_NE(crashed, nullptr);
    const auto functions = testing::functionsOf(*other, *crashed);
    EXPECT_FALSE(mentions(functions, "crashNullDereference"));
    EXPECT_TRUE(mentions(functions, "__libc_start_main"))
        << "libc is still the same build: " << ::testing::PrintToString(functions);

    const std::string text = symbolicatedReportText(*run.report);
    EXPECT_NE(text.find("crashNullDereference + "), std::string::npos) << text;
    EXPECT_NE(text.find("CrashChild.cpp:"), std::string::npos) << text;
    EXPECT_NE(symbolicatedReportText(*other).find("unresolved: another build"), std::string::npos);
}

} // namespace
} // namespace crashcapture
