#include "crashcapture/capture/CaptureEngine.h"

#include "crashcapture/capture/CrashSignalHandler.h"
#include "crashcapture/capture/ReportWriter.h"
#include "crashcapture/capture/StackWalker.h"
#include "crashcapture/capture/ThreadStopper.h"
#include "crashcapture/capture/WriterState.h"
#include "crashcapture/reporter/CrashReporter.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <unistd.h>

namespace crashcapture::capture {

namespace {

// The longest a crash may take to write its report before the process is ended.
constexpr unsigned kCrashWriteSeconds = 10;

// Process-wide state of the armed engine: written while arming, read by the
// crash path.
WriterState armedState;
ExceptionRecord armedException;
std::atomic<bool> exceptionRecorded{false};
std::atomic<CustomDataBlock*> armedCustomData{nullptr};
char reportPath[PATH_MAX];
CrashReporterCallbacks armedCallbacks;
bool hasCallbacks = false;

// One report write at a time: the owner's thread id, 0 when free.
std::atomic<pid_t> writerOwner{0};
std::atomic<bool> crashing{false};

bool acquireWriter(long timeoutMilliseconds) {
    const pid_t self = currentThreadId();
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        pid_t expected = 0;
        if (writerOwner.compare_exchange_strong(expected, self)) return true;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        if ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000 > timeoutMilliseconds)
            return false;
        ::sched_yield();
    }
}

void releaseWriter() { writerOwner.store(0); }

// The engine's callback for the fatal signals.
bool onCrashSignal(int signal, siginfo_t* info, ucontext_t* context, void*) {
    // A second thread crashing while the first writes waits for the end.
    if (crashing.exchange(true)) {
        for (;;) ::pause();
    }
    CrashSignalHandler::resetFatalSignalsToDefault();

    ReportInput input;
    input.state = &armedState;
    input.exception = exceptionRecorded.load() ? &armedException : nullptr;
    input.customData = armedCustomData.load();
    input.crashedThread = currentThreadId();
    input.crashedContext = context;
    input.crashedContextIsSignalFrame = true;
    input.signal.number = signal;
    input.signal.code = info ? info->si_code : 0;
    input.signal.address = info ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;

    // Should the write ever hang (a lock held by a stopped thread), the
    // alarm still ends the process instead of leaving it frozen, unless the
    // hang is inside code that blocks every signal.
    struct sigaction alarmDefault {};
    alarmDefault.sa_handler = SIG_DFL;
    ::sigaction(SIGALRM, &alarmDefault, nullptr);
    ::alarm(kCrashWriteSeconds);

    // A live report being written on another thread finishes first (bounded:
    // that thread may be the one that is stuck).
    const bool owned = acquireWriter(2000);
    bool written = false;
    const int fd = ::open(reportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        const int status = writeReport(fd, input);
        written = ::close(fd) == 0 && status == 0;
    }
    if (owned) releaseWriter();
    ::alarm(0);
    if (written && hasCallbacks && armedCallbacks.handleSignal)
        armedCallbacks.handleSignal(info, context, armedCallbacks.context);
    return false;
}

void onUncaughtException(const platform::UncaughtException& exception) {
    bool expected = false;
    if (!exceptionRecorded.load() && !crashing.load()) {
        static std::atomic<bool> first{false};
        if (first.compare_exchange_strong(expected, true)) {
            armedException.assign(exception);
            exceptionRecorded.store(true);
            std::abort();
        }
    }
}

void copyPath(const std::string& path) {
    const std::size_t length = path.size() < sizeof reportPath - 1 ? path.size() : sizeof reportPath - 1;
    std::memcpy(reportPath, path.data(), length);
    reportPath[length] = '\0';
}

} // namespace

bool arm(const CrashReporter& reporter, CrashReporterError* error) {
    copyPath(reporter.crashReportPath().string());
    gatherWriterState(reporter, armedState);
    armedState.userRequested = false;
    armedCustomData.store(makeCustomDataBlock(reporter.customData()));
    if (const CrashReporterCallbacks* callbacks = reporter.crashCallbacks()) {
        armedCallbacks = *callbacks;
        hasCallbacks = true;
    }
    prepareStackWalks();
    ThreadStopper::install();

    CrashSignalHandler& handler = CrashSignalHandler::sharedHandler();
    for (int signal : CrashSignalHandler::kFatalSignals)
        if (!handler.registerHandlerForSignal(signal, &onCrashSignal, nullptr, error)) return false;

    if (reporter.configuration().shouldRegisterUncaughtExceptionHandler())
        platform::setUncaughtExceptionHandler(&onUncaughtException);
    return true;
}

void setArmedCustomData(const std::vector<std::uint8_t>& data) {
    // The previous block stays allocated: a crash on another thread may be
    // writing it right now.
    armedCustomData.store(makeCustomDataBlock(data));
}

int writeLiveReport(int fd, const CrashReporter& reporter, pid_t thread, const platform::UncaughtException* exception) {
    prepareStackWalks();
    if (!ThreadStopper::install()) return ENOTSUP;
    auto state = std::make_unique<WriterState>();
    gatherWriterState(reporter, *state);
    state->userRequested = true;
    std::unique_ptr<ExceptionRecord> record;
    if (exception) {
        record = std::make_unique<ExceptionRecord>();
        record->assign(*exception);
    }
    std::unique_ptr<CustomDataBlock, void (*)(CustomDataBlock*)> customData(
        makeCustomDataBlock(reporter.customData()), [](CustomDataBlock* block) { ::operator delete(block); });

    ucontext_t own{};
    ReportInput input;
    input.state = state.get();
    input.exception = record.get();
    input.customData = customData.get();
    input.crashedThread = thread ? thread : currentThreadId();
    if (input.crashedThread == currentThreadId()) {
        ::getcontext(&own);
        input.crashedContext = &own;
        input.crashedContextIsSignalFrame = false;
    }
    input.signal.number = SIGTRAP;
    input.signal.code = TRAP_TRACE;
    input.signal.address = 0;

    if (!acquireWriter(5000)) return EBUSY;
    const int status = writeReport(fd, input);
    releaseWriter();
    return status;
}

} // namespace crashcapture::capture
