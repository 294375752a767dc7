// A crash report as large as the reader accepts (512 threads of 512 frames,
// 4096 images): reading it, finding images for addresses, and converting it
// into the error log that is sent.
#include "ReportBuilder.h"
#include "beacon/crashes/formatter/ErrorLogFormatter.h"

#include <benchmark/benchmark.h>

namespace {

using crashcapture::CrashReport;
using crashcapture::testing::ReportBuilder;

const std::vector<std::uint8_t>& largestReport() {
    static const std::vector<std::uint8_t> file = [] {
        ReportBuilder builder;
        builder.clearImages();
        builder.clearThreads();
        for (std::size_t i = 0; i < CrashReport::kMaxImages; ++i)
            builder.addImage(0x10000000 + i * 0x100000, 0x80000, "/usr/lib/lib" + std::to_string(i) + ".so");
        for (std::uint32_t t = 0; t < CrashReport::kMaxThreads; ++t) {
            std::vector<ReportBuilder::FrameSpec> frames;
            for (std::size_t f = 0; f < CrashReport::kMaxFramesPerThread; ++f)
                frames.emplace_back(0x10000000 + ((t * 7919 + f * 104729) % CrashReport::kMaxImages) * 0x100000 + f);
            builder.addThread(t, t == 0, frames);
        }
        return builder.file();
    }();
    return file;
}

void BM_ReadLargestReport(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(CrashReport::initWithData(largestReport()));
}
BENCHMARK(BM_ReadLargestReport)->Unit(benchmark::kMillisecond);

void BM_ImageForAddress(benchmark::State& state) {
    const auto report = CrashReport::initWithData(largestReport());
    std::uint64_t address = 0x10000000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(report->imageForAddress(address));
        address += 0x100000 * 37 + 5;
        if (address > 0x10000000 + CrashReport::kMaxImages * 0x100000) address -= CrashReport::kMaxImages * 0x100000;
    }
}
BENCHMARK(BM_ImageForAddress);

void BM_ConvertLargestReport(benchmark::State& state) {
    beacon::ErrorLogFormatter::setDeviceLookup(
        [](std::optional<beacon::Date>) { return std::shared_ptr<beacon::Device>(); });
    const auto report = CrashReport::initWithData(largestReport());
    for (auto _ : state) benchmark::DoNotOptimize(beacon::ErrorLogFormatter::errorLogFromCrashReport(*report));
}
BENCHMARK(BM_ConvertLargestReport)->Unit(benchmark::kMillisecond);

} // namespace
