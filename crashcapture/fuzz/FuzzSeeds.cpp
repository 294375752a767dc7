// Writes valid report files as the fuzzer's starting corpus, the same kinds
// the reader and formatter tests build: the fuzzer finds its way through the
// decoder and the formatter much faster from real reports.
#include "ReportBuilder.h"

#include <filesystem>
#include <fstream>
#include <iostream>

using crashcapture::testing::ReportBuilder;

namespace {

void write(const std::filesystem::path& path, const ReportBuilder& builder) {
    auto bytes = builder.file();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: crash_report_fuzz_seeds DIRECTORY\n";
        return 64;
    }
    std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);

    ReportBuilder plain;
    write(dir / "plain.zvcrash", plain);

    ReportBuilder rich;
    rich.setException("std::runtime_error", "boom", {{ReportBuilder::kExecutableBase + 0x10}, {0}});
    rich.setMachException(1, 4);
    rich.setCustomData("custom");
    write(dir / "rich.zvcrash", rich);

    ReportBuilder arm;
    arm.machineProcessor().type = 0x100000C;
    arm.machineProcessor().subtype = 2;
    arm.addThread(3, false, {{0x8a1b000123456789}});
    write(dir / "arm64e.zvcrash", arm);

    ReportBuilder bare;
    bare.message().machine_info = nullptr;
    bare.message().process_info = nullptr;
    bare.message().report_info = nullptr;
    write(dir / "bare.zvcrash", bare);

    // No report id, user folders in paths, images without build-id, nested
    // images, a symbol above its pc, out-of-range CPU numbers.
    ReportBuilder paths;
    paths.reportInfo().has_uuid = 0;
    paths.processInfo().process_path = paths.text("/var/home/alice/bin/zelvo");
    paths.addImage(0x40000000, 0x10000, "/run/media/alice/disk/libplugin.so");
    paths.addImage(0x40008000, 0x100, "/media/alice/nested.so", std::nullopt, std::pair{~0ull, ~0ull});
    paths.addThread(5, false, {{0x40008010, "_late", 0x40008020}, {0x40000010}});
    write(dir / "paths.zvcrash", paths);
    return 0;
}
