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
#include <pthread.h>
#include <sys/syscall.h>
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
CrashReporterCallbacks armedCallbacks;
bool hasCallbacks = false;

// The report folder, opened while arming so that a crash needs no path
// lookup, and two descriptors held in reserve: a process that has run out of
// descriptors still has these two for the thread list and the report.
int reportDirectory = -1;
int reservedDescriptors[2] = {-1, -1};
// The pending report's file name, and the name a report takes when a
// pending one is still there (a report is never replaced).
char reportName[NAME_MAX + 1];
char nextReportName[NAME_MAX + 1];

// One report write at a time: the owner's thread id, 0 when free.
std::atomic<pid_t> writerOwner{0};
// The thread writing the crash report, 0 before a crash.
std::atomic<pid_t> crashingThread{0};
// The signal being reported, for the write bound.
volatile sig_atomic_t reportedSignal = 0;

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

void setDefaultAction(int signal) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
}

// The write took too long: the process ends with the signal it crashed
// with, by its default action (a core dump where that is the default).
void onWriteBound(int, siginfo_t*, void*) {
    const int signal = reportedSignal;
    setDefaultAction(signal);
    ::syscall(SYS_tgkill, ::getpid(), currentThreadId(), signal);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
}

// Bounds the rest of the crash path on the calling thread: a timer that
// signals this very thread with SIGALRM after kCrashWriteSeconds.
void startWriteBound(int signal) {
    reportedSignal = signal;
    struct sigaction onBound {};
    onBound.sa_sigaction = &onWriteBound;
    onBound.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&onBound.sa_mask);
    ::sigaction(SIGALRM, &onBound, nullptr);
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    ::pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = SIGALRM;
    event._sigev_un._tid = currentThreadId();
    int timer = 0;
    if (::syscall(SYS_timer_create, CLOCK_MONOTONIC, &event, &timer) == 0) {
        itimerspec bound{};
        bound.it_value.tv_sec = kCrashWriteSeconds;
        ::syscall(SYS_timer_settime, timer, 0, &bound, nullptr);
    } else {
        ::alarm(kCrashWriteSeconds); // process-wide: may reach another thread
    }
}

// "<name>.<pid>.tmp": the report is written under this name and renamed
// when whole, so that a report is complete or absent.
void temporaryName(char* out) {
    std::size_t length = std::strlen(reportName);
    std::memcpy(out, reportName, length);
    out[length++] = '.';
    length += formatInteger(::getpid(), out + length);
    std::memcpy(out + length, ".tmp", 5);
}

// Gives the finished report its name without replacing a pending one.
bool publish(const char* temporary, const char* name) {
    if (::renameat2(reportDirectory, temporary, reportDirectory, name, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without RENAME_NOREPLACE: a link also fails on an existing name.
    if (::linkat(reportDirectory, temporary, reportDirectory, name, 0) != 0) return false;
    ::unlinkat(reportDirectory, temporary, 0);
    return true;
}

// The engine's callback for the fatal signals. The handlers stay installed
// while the report is written: a fault of another thread then waits here
// until the process ends, and a fault of the writer itself (the write is
// broken) ends the process by the default action, leaving no report.
bool onCrashSignal(int signal, siginfo_t* info, ucontext_t* context, void*) {
    const pid_t self = currentThreadId();
    pid_t writer = 0;
    if (!crashingThread.compare_exchange_strong(writer, self)) {
        if (writer == self) {
            setDefaultAction(signal);
            return false;
        }
        for (;;) ::pause();
    }
    startWriteBound(signal);

    ReportInput input;
    input.state = &armedState;
    input.exception = exceptionRecorded.load() ? &armedException : nullptr;
    input.customData = armedCustomData.load();
    input.crashedThread = currentThreadId();
    input.crashedContext = context;
    input.crashedContextIsSignalFrame = true;
    input.signal.number = signal;
    input.signal.code = info ? info->si_code : 0;
    // A signal sent by a process or by the program itself (kill, tgkill,
    // abort) carries the sender's pid and uid where a fault has its address.
    input.signal.address = info && info->si_code > 0 ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;

    // A live report being written on another thread finishes first (bounded:
    // that thread may be the one that is stuck).
    const bool owned = acquireWriter(2000);
    for (int& reserved : reservedDescriptors) {
        if (reserved >= 0) ::close(reserved);
        reserved = -1;
    }
    char temporary[NAME_MAX + 32];
    temporaryName(temporary);
    bool written = false;
    const int fd = ::openat(reportDirectory, temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        const int status = writeReport(fd, input);
        written =
            ::close(fd) == 0 && status == 0 && (publish(temporary, reportName) || publish(temporary, nextReportName));
        if (!written) ::unlinkat(reportDirectory, temporary, 0);
    }
    // The other threads stay stopped until the callback is done, so that
    // what it writes is not changed under it.
    if (written && hasCallbacks && armedCallbacks.handleSignal)
        armedCallbacks.handleSignal(info, context, armedCallbacks.context);
    ThreadStopper::releaseAll();
    if (owned) releaseWriter();
    // Ends the process by the default action once the handler returns.
    CrashSignalHandler::resetFatalSignalsToDefault();
    return false;
}

// A forked child crashes as itself: its own pid, parent and report id.
void onForkChild() {
    crashingThread.store(0);
    writerOwner.store(0);
    armedState.processId = static_cast<std::uint32_t>(::getpid());
    armedState.parentProcessId = static_cast<std::uint32_t>(::getppid());
    armedState.parentProcessName = armedState.processName;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    armedState.startTime = static_cast<std::uint64_t>(now.tv_sec);
    newReportUuid(armedState);
}

void onUncaughtException(const platform::UncaughtException& exception) {
    bool expected = false;
    if (!exceptionRecorded.load() && !crashingThread.load()) {
        static std::atomic<bool> first{false};
        if (first.compare_exchange_strong(expected, true)) {
            armedException.assign(exception);
            exceptionRecorded.store(true);
            std::abort();
        }
    }
}

void copyName(const std::string& name, char* out) {
    const std::size_t length = name.size() < NAME_MAX ? name.size() : NAME_MAX;
    std::memcpy(out, name.data(), length);
    out[length] = '\0';
}

} // namespace

bool arm(const CrashReporter& reporter, CrashReporterError* error) {
    reportDirectory = ::open(reporter.crashReportDirectory().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (reportDirectory < 0) {
        if (error)
            *error = {CrashReporterError::kDomain, CrashReporterError::OperatingSystem,
                      "Couldn't open the crash report directory"};
        return false;
    }
    for (int& reserved : reservedDescriptors) reserved = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    copyName(reporter.crashReportPath().filename().string(), reportName);
    copyName(reporter.nextCrashReportPath().filename().string(), nextReportName);
    gatherWriterState(reporter, armedState);
    armedState.userRequested = false;
    armedCustomData.store(makeCustomDataBlock(reporter.customData()));
    if (const CrashReporterCallbacks* callbacks = reporter.crashCallbacks()) {
        armedCallbacks = *callbacks;
        hasCallbacks = true;
    }
    prepareStackWalks();
    ThreadStopper::install();
    ::pthread_atfork(nullptr, nullptr, &onForkChild);

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
    ThreadStopper::releaseAll();
    releaseWriter();
    return status;
}

} // namespace crashcapture::capture
