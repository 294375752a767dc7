// Crash reporting on the hot paths of a running program: placing and
// releasing a log in the crash log buffer (every telemetry log does both),
// and the cost the uncaught-exception hook adds to a C++ throw.
#include "beacon/crashes/buffer/CrashLogBuffer.h"
#include "beacon/crashes/hooks/UncaughtCXXExceptionHandlerManager.h"
#include "beacon/testing/SampleLogs.h"
#include "beacon/util/FileUtility.h"
#include "platform/headless/ManualScheduler.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

void placeAndRelease(benchmark::State& state) {
    char pattern[] = "/tmp/zelvo-crashes-bench-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(pattern);
    beacon::setBeaconDirectoryURL(dir);
    platform::ManualScheduler scheduler;
    beacon::CrashLogBuffer buffer(nullptr, scheduler.globalQueue());
    scheduler.runUntilIdle();
    const auto log = beacon::test::makeLog(1, 5);
    for (auto _ : state) {
        buffer.place(*log, "internal-id");
        buffer.release("internal-id");
    }
    beacon::setBeaconDirectoryURL({});
    std::filesystem::remove_all(dir);
}
BENCHMARK(placeAndRelease);

void ignoreException(const beacon::CrashesUncaughtCXXExceptionInfo&) {}

[[gnu::noinline]] void throwError() { throw std::runtime_error("benchmark"); }

void throwAndCatch(benchmark::State& state) {
    const bool hooked = state.range(0) != 0;
    if (hooked) beacon::CrashesUncaughtCXXExceptionHandlerManager::addCXXExceptionHandler(ignoreException);
    for (auto _ : state) {
        try {
            throwError();
        } catch (const std::exception& error) {
            benchmark::DoNotOptimize(error.what());
        }
    }
    if (hooked) beacon::CrashesUncaughtCXXExceptionHandlerManager::removeCXXExceptionHandler(ignoreException);
}
BENCHMARK(throwAndCatch)->Arg(0)->Arg(1)->ArgNames({"hooked"});

} // namespace
