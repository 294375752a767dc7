// Each iteration forks a child that arms the reporter, starts its threads and
// crashes with a null dereference. The child notes the time just before the
// fault and, from the crash callback (called once the report file is
// closed), the time after; the parent reads both from shared memory.
#include "crashcapture/reporter/CrashReporter.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Shared {
    std::atomic<long long> faultAt{0};
    std::atomic<long long> writtenAt{0};
};

long long nowNanoseconds() {
    timespec time{};
    ::clock_gettime(CLOCK_MONOTONIC, &time);
    return time.tv_sec * 1000000000LL + time.tv_nsec;
}

void onWritten(siginfo_t*, ucontext_t*, void* context) {
    static_cast<Shared*>(context)->writtenAt.store(nowNanoseconds());
}

__attribute__((noinline)) void parkDeeper(int depth, std::mutex& mutex, std::condition_variable& wake, int& started) {
    if (depth > 0) {
        parkDeeper(depth - 1, mutex, wake, started);
        asm volatile("" ::: "memory"); // not a tail call: each level keeps its frame
        return;
    }
    std::unique_lock lock(mutex);
    ++started;
    wake.notify_all();
    wake.wait(lock, [] { return false; });
}

[[noreturn]] void crashingChild(const fs::path& base, int threads, Shared* shared) {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    crashcapture::CrashReporter reporter(
        crashcapture::CrashReporterConfig(crashcapture::CrashReporterSignalHandlerType::BSD,
                                          crashcapture::CrashReporterSymbolicationStrategy::None, false, base),
        "org.zelvo.bench", "1");
    crashcapture::CrashReporterCallbacks callbacks;
    callbacks.context = shared;
    callbacks.handleSignal = &onWritten;
    reporter.setCrashCallbacks(&callbacks);
    if (!reporter.enableCrashReporterAndReturnError()) ::_exit(2);

    std::mutex mutex;
    std::condition_variable wake;
    int started = 0;
    for (int i = 1; i < threads; ++i) std::thread([&] { parkDeeper(20, mutex, wake, started); }).detach();
    {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return started == threads - 1; });
    }
    shared->faultAt.store(nowNanoseconds());
    *static_cast<volatile int*>(nullptr) = 1;
    ::_exit(3);
}

void BM_SignalToClosedReport(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    char pattern[] = "/tmp/zelvo-crash-bench-XXXXXX";
    const fs::path base = ::mkdtemp(pattern);
    const fs::path report = base / "com.zelvo.crashreporter.data" / "org.zelvo.bench" / "live_report.zvcrash";
    auto* shared = static_cast<Shared*>(
        ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    std::uintmax_t size = 0;
    for (auto _ : state) {
        new (shared) Shared();
        const pid_t child = ::fork();
        if (child == 0) crashingChild(base, threads, shared);
        int status = 0;
        ::waitpid(child, &status, 0);
        const long long elapsed = shared->writtenAt.load() - shared->faultAt.load();
        if (!WIFSIGNALED(status) || shared->writtenAt.load() == 0) {
            state.SkipWithError("the child wrote no report");
            break;
        }
        state.SetIterationTime(static_cast<double>(elapsed) / 1e9);
        size = fs::file_size(report);
        // A crash never replaces a pending report: each child finds none.
        fs::remove(report);
    }
    state.counters["report_bytes"] = static_cast<double>(size);
    ::munmap(shared, sizeof(Shared));
    fs::remove_all(base);
}
BENCHMARK(BM_SignalToClosedReport)->Arg(1)->Arg(10)->Arg(50)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
