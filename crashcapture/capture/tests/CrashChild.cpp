// A program that arms the crash reporter and then crashes in the way its
// first argument names, for the crash tests: each run is one child process.
//   crash_child CASE BASE_DIR
// Reports go to BASE_DIR; the crash callback and a chained earlier handler
// leave marker files there. Built a second time with CHECK_ALLOCATIONS, it
// interposes malloc, free, calloc and realloc so that any call after the
// crash began ends the process with exit status 99.
#include "crashcapture/reporter/CrashReporter.h"
#include "crashcapture/reporter/CrashReporterLog.h"
#include "platform/UncaughtExceptionHandler.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <typeinfo>
#include <unistd.h>
#include <vector>

using namespace crashcapture;

namespace {

std::string baseDir;
std::atomic<bool> crashBegan{false};

void beginCrash() { crashBegan.store(true); }

// Writes `name` into the base directory (async-signal-safe).
void touchMarker(const char* path) {
    int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
        (void)!::write(fd, "x", 1);
        ::close(fd);
    }
}
char callbackMarker[4096];
char chainedMarker[4096];

std::atomic<pid_t> spinner{0};

char resumedMarker[4096];
bool callbackHangs = false;

// True when the thread runs or waits to run ("R" in its stat line).
bool threadRunning(pid_t thread) {
    char path[64], text[512] = {};
    std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", static_cast<int>(thread));
    const int fd = ::open(path, O_RDONLY);
    if (fd < 0 || ::read(fd, text, sizeof text - 1) <= 0 || ::close(fd) != 0) return false;
    const char* end = std::strrchr(text, ')');
    return end && end[1] == ' ' && end[2] == 'R';
}

// The callback notes when a spinning thread was let go before it ran, and
// in the "hung-callback" child never returns.
void onCrashWritten(siginfo_t*, ucontext_t*, void* context) {
    touchMarker(static_cast<const char*>(context));
    if (spinner.load() && threadRunning(spinner.load())) touchMarker(resumedMarker);
    while (callbackHangs) ::pause();
}
void earlierHandler(int, siginfo_t*, void*) { touchMarker(chainedMarker); }

extern "C" {
__attribute__((noinline)) void crashNullDereference() {
    beginCrash();
    *static_cast<volatile int*>(nullptr) = 1;
}
__attribute__((noinline)) void crashTruncatedMapping() {
    std::string path = baseDir + "/mapped";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
    (void)!::ftruncate(fd, 8192);
    auto* bytes = static_cast<volatile char*>(::mmap(nullptr, 8192, PROT_READ, MAP_SHARED, fd, 0));
    (void)!::ftruncate(fd, 0);
    beginCrash();
    (void)bytes[4096];
}
__attribute__((noinline)) int crashDivideByZero(int zero) {
    beginCrash();
    volatile int divisor = zero;
    volatile int dividend = 42;
    return dividend / divisor;
}
__attribute__((noinline)) void crashIllegalInstruction() {
    beginCrash();
    __builtin_trap();
}
__attribute__((noinline)) void crashBreakpoint() {
    beginCrash();
#if defined(__x86_64__) || defined(__i386__)
    __asm__ volatile("int3");
#elif defined(__aarch64__)
    __asm__ volatile("brk #0");
#endif
}
__attribute__((noinline)) void crashAbort() {
    beginCrash();
    std::abort();
}
// Recurses until the stack runs out (the opaque condition keeps the
// compiler from seeing the endless recursion).
__attribute__((noinline)) int crashRecursion(int depth) {
    volatile char padding[256];
    padding[0] = static_cast<char>(depth);
    if (depth == -1) return padding[0];
    return crashRecursion(depth + 1) + padding[0];
}
__attribute__((noinline)) void crashNullCall() {
    void (*volatile function)() = nullptr;
    beginCrash();
    function();
}
// Faults once the writer has asked this thread to stop: it blocks the
// real-time signals, so the stop request stays pending and it runs on.
__attribute__((noinline)) void faultWhenAskedToStop() {
    sigset_t realTime;
    sigemptyset(&realTime);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigaddset(&realTime, signal);
    ::pthread_sigmask(SIG_BLOCK, &realTime, nullptr);
    spinner.store(static_cast<pid_t>(::gettid()));
    for (;;) {
        sigset_t pending;
        ::sigpending(&pending);
        for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
            if (sigismember(&pending, signal)) *static_cast<volatile int*>(nullptr) = 2;
    }
}
__attribute__((noinline)) void spin() {
    spinner.store(static_cast<pid_t>(::gettid()));
    for (;;) asm volatile("" ::: "memory");
}
__attribute__((noinline)) int crashAtDepth(int depth) {
    if (depth <= 1) {
        crashNullDereference();
        return 0;
    }
    return crashAtDepth(depth - 1) + 1;
}
}

// Threads that keep running while another one crashes.
void crashOnSecondThread() {
    static std::atomic<int> started{0};
    for (int i = 0; i < 10; ++i)
        std::thread([] {
            ++started;
            for (unsigned long spin = 0;; ++spin) {
                asm volatile("" ::: "memory");
                if (spin % 1000000 == 0) ::usleep(100);
            }
        }).detach();
    while (started.load() < 10) ::sched_yield();
    std::thread(&crashNullDereference).join();
}

// Crashes while another thread holds the dynamic linker's lock, inside
// dl_iterate_phdr (as it would inside dlopen).
void crashWhileTheLoaderLockIsHeld() {
    static std::atomic<bool> holding{false};
    std::thread([] {
        dl_iterate_phdr(
            [](dl_phdr_info*, size_t, void*) -> int {
                holding.store(true);
                for (;;) ::pause();
            },
            nullptr);
    }).detach();
    while (!holding.load()) ::usleep(100);
    crashNullDereference();
}

// What the C++ terminate hook of the crash reporting service does: hand the
// exception to the platform's uncaught-exception handler, then abort.
void terminateThroughTheSlot() {
    platform::UncaughtException exception;
    try {
        throw;
    } catch (const std::exception& e) {
        int status = 0;
        char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
        exception.name = status == 0 && name ? name : typeid(e).name();
        std::free(name);
        exception.reason = e.what();
    }
    void* frames[64];
    int count = ::backtrace(frames, 64);
    for (int i = 0; i < count; ++i)
        exception.callStackReturnAddresses.push_back(reinterpret_cast<std::uintptr_t>(frames[i]));
    beginCrash();
    platform::reportUncaughtException(exception);
    std::abort();
}

__attribute__((noinline)) void throwUncaught() { throw std::runtime_error("nobody catches this"); }

int checkSecondReporter(CrashReporter& first) {
    CrashReporter second(CrashReporterConfig(CrashReporterSignalHandlerType::BSD,
                                             CrashReporterSymbolicationStrategy::None, false, baseDir),
                         "org.zelvo.second", "1");
    CrashReporterError error;
    if (second.enableCrashReporterAndReturnError(&error) || error.code != 3 ||
        error.localizedDescription != "A CrashReporter instance has already been enabled") {
        std::fprintf(stderr, "second reporter: code %d \"%s\"\n", error.code, error.localizedDescription.c_str());
        return 1;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (attempt == 0) first.enableCrashReporterAndReturnError(&error);
            else first.setCrashCallbacks(nullptr);
            std::fprintf(stderr, "no CrashReporterException on attempt %d\n", attempt);
            return 1;
        } catch (const CrashReporterException& e) {
            if (std::string(e.what()) != "The crash reporter has already been enabled") return 1;
        }
    }
    return 0;
}

} // namespace

#ifdef CHECK_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);

static void allocationAfterCrash() {
    static const char text[] = "allocation after the crash began\n";
    (void)!::write(2, text, sizeof text - 1);
    ::_exit(99);
}
void* malloc(size_t size) {
    if (crashBegan.load()) allocationAfterCrash();
    return __libc_malloc(size);
}
void free(void* pointer) {
    if (crashBegan.load() && pointer) allocationAfterCrash();
    __libc_free(pointer);
}
void* calloc(size_t count, size_t size) {
    if (crashBegan.load()) allocationAfterCrash();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    if (crashBegan.load()) allocationAfterCrash();
    return __libc_realloc(pointer, size);
}
}
#endif

int main(int argc, char** argv) {
    if (argc < 3) return 64;
    const std::string which = argv[1];
    baseDir = argv[2];
    std::snprintf(callbackMarker, sizeof callbackMarker, "%s/callback", argv[2]);
    std::snprintf(chainedMarker, sizeof chainedMarker, "%s/chained", argv[2]);
    std::snprintf(resumedMarker, sizeof resumedMarker, "%s/resumed", argv[2]);
    callbackHangs = which == "hung-callback";

    if (which == "chained") {
        struct sigaction earlier {};
        earlier.sa_sigaction = &earlierHandler;
        earlier.sa_flags = SA_SIGINFO;
        ::sigaction(SIGSEGV, &earlier, nullptr);
    }
    // A marketing version and custom data only where the case asks for them.
    const bool extras = which != "segv";
    // Mach mode does not exist here: asking for it arms signal mode and says so.
    setCrashReporterLogSink([](CrashReporterLogLevel level, std::string_view message) {
        if (level == CrashReporterLogLevel::Debug && message.find("signal") != std::string_view::npos)
            touchMarker((baseDir + "/debug-log").c_str());
    });
    const auto mode = which == "mach" ? CrashReporterSignalHandlerType::Mach : CrashReporterSignalHandlerType::BSD;
    CrashReporter reporter(CrashReporterConfig(mode, CrashReporterSymbolicationStrategy::None, true, baseDir),
                           "org.zelvo.crashtest", "7", extras ? std::optional<std::string>("1.2.3") : std::nullopt);
    // Custom data set before enabling is copied when arming; the "abort"
    // child sets it afterwards, which must reach the crash as well.
    const bool dataAfterEnabling = which == "abort";
    if (extras && !dataAfterEnabling) reporter.setCustomData({'c', 'u', 's', 't', 'o', 'm'});
    // More custom data than a readable report may hold is left out.
    if (which == "huge-data") reporter.setCustomData(std::vector<std::uint8_t>(9 << 20, 'x'));
    CrashReporterCallbacks callbacks;
    callbacks.context = callbackMarker;
    callbacks.handleSignal = &onCrashWritten;
    reporter.setCrashCallbacks(&callbacks);
    CrashReporterError error;
    if (!reporter.enableCrashReporterAndReturnError(&error)) {
        std::fprintf(stderr, "enable failed: %s\n", error.localizedDescription.c_str());
        return 2;
    }
    if (extras && dataAfterEnabling) reporter.setCustomData({'c', 'u', 's', 't', 'o', 'm'});

    if (which == "segv" || which == "chained" || which == "mach" || which == "again" || which == "hung-callback" ||
        which == "huge-data")
        crashNullDereference();
    else if (which == "null-call") crashNullCall();
    else if (which == "blocked-stop" || which == "spinning") {
        std::thread(which == "spinning" ? &spin : &faultWhenAskedToStop).detach();
        while (!spinner.load()) ::sched_yield();
        crashNullDereference();
    } else if (which == "fork") {
        // The grandchild crashes; this process then ends with its signal.
        const pid_t child = ::fork();
        if (child == 0) crashNullDereference();
        int status = 0;
        ::waitpid(child, &status, 0);
        ::signal(WTERMSIG(status), SIG_DFL);
        ::raise(WTERMSIG(status));
    } else if (which == "two-faults") {
        // Two threads fault at once; either one writes the report.
        std::thread([] {
            while (!crashBegan.load()) continue;
            crashNullDereference();
        }).detach();
        crashNullDereference();
    } else if (which == "no-descriptors") {
        const rlimit few{64, 64};
        ::setrlimit(RLIMIT_NOFILE, &few);
        while (::open("/dev/null", O_RDONLY) >= 0) {}
        crashNullDereference();
    } else if (which == "bus") crashTruncatedMapping();
    else if (which == "fpe") crashDivideByZero(0);
    else if (which == "ill") crashIllegalInstruction();
    else if (which == "trap") crashBreakpoint();
    else if (which == "abort") crashAbort();
    else if (which == "overflow") crashRecursion(0);
    else if (which == "thread-overflow") {
        std::thread([] { crashRecursion(0); }).join();
    } else if (which == "deep") crashAtDepth(513);
    else if (which == "thread") crashOnSecondThread();
    else if (which == "loader-lock") crashWhileTheLoaderLockIsHeld();
    else if (which == "exception") {
        std::set_terminate(&terminateThroughTheSlot);
        throwUncaught();
    } else if (which == "second-reporter") return checkSecondReporter(reporter);
    else return 64;
    return 3; // still alive: the crash did not happen
}
