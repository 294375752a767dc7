#include "ReportBuilder.h"
#include "crashcapture/report/CrashReport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace crashcapture {
namespace {

using testing::ReportBuilder;

// Reads `file` expecting a failure; returns its text after checking the domain and code.
std::string readError(const std::vector<std::uint8_t>& file) {
    CrashReporterError error;
    auto report = CrashReport::initWithData(file, &error);
    EXPECT_FALSE(report.has_value());
    EXPECT_EQ(error.domain, "CrashReporterErrorDomain");
    EXPECT_EQ(error.code, 2);
    return error.localizedDescription;
}

CrashReport readReport(const std::vector<std::uint8_t>& file) {
    CrashReporterError error;
    auto report = CrashReport::initWithData(file, &error);
    EXPECT_TRUE(report.has_value()) << error.localizedDescription;
    if (!report) std::abort();
    return std::move(*report);
}

TEST(CrashReportReader, RejectsShortFilesHeadersVersionsAndUndecodableBodies) {
    EXPECT_EQ(readError({}), "Could not decode truncated crash log");
    EXPECT_EQ(readError({'z', 'v', 'c', 'r', 'a', 's', 'h', 1}), "Could not decode truncated crash log");

    ReportBuilder builder;
    auto file = builder.file();
    file[6] = 'H';
    EXPECT_EQ(readError(file), "Could not decode invalid crash log header");

    file = builder.file();
    file[7] = 2;
    EXPECT_EQ(readError(file), "Could not decode unsupported crash report version: 2");
    file[7] = 0;
    EXPECT_EQ(readError(file), "Could not decode unsupported crash report version: 0");

    // Bodies that do not decode: cut short, or no message at all.
    file = builder.file();
    auto cut = std::vector<std::uint8_t>(file.begin(), file.begin() + file.size() / 2);
    EXPECT_EQ(readError(cut), "An unknown error occured decoding the crash report");

    std::vector<std::uint8_t> garbage = {'z', 'v', 'c', 'r', 'a', 's', 'h', 1, 0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(readError(garbage), "An unknown error occured decoding the crash report");
}

// The decoder enforces the schema's required fields, so a report that lacks
// any of them fails to decode as a whole.
TEST(CrashReportReader, RejectsReportsWithoutRequiredSectionsOrFields) {
    const std::vector<std::pair<const char*, void (*)(ReportBuilder&)>> cases = {
        {"system_info", [](ReportBuilder& b) { b.message().system_info = nullptr; }},
        {"os_version", [](ReportBuilder& b) { b.systemInfo().os_version = nullptr; }},
        {"architecture", [](ReportBuilder& b) { b.systemInfo().has_architecture = 0; }},
        {"application_info", [](ReportBuilder& b) { b.message().application_info = nullptr; }},
        {"identifier", [](ReportBuilder& b) { b.applicationInfo().identifier = nullptr; }},
        {"version", [](ReportBuilder& b) { b.applicationInfo().version = nullptr; }},
        {"signal", [](ReportBuilder& b) { b.message().signal = nullptr; }},
        {"signal name", [](ReportBuilder& b) { b.signal().name = nullptr; }},
        {"signal code", [](ReportBuilder& b) { b.signal().code = nullptr; }},
        {"machine processor", [](ReportBuilder& b) { b.machineInfo().processor = nullptr; }},
        {"process id", [](ReportBuilder& b) { b.processInfo().has_process_id = 0; }},
        {"register name", [](ReportBuilder& b) { b.message().threads[0]->registers[0]->name = nullptr; }},
        {"frame pc", [](ReportBuilder& b) { b.message().threads[1]->frames[0]->has_pc = 0; }},
        {"image name", [](ReportBuilder& b) { b.message().binary_images[1]->name = nullptr; }},
        {"exception reason",
         [](ReportBuilder& b) {
             b.setException("std::runtime_error", "boom", {});
             b.message().exception->reason = nullptr;
         }},
    };
    for (const auto& [field, drop] : cases) {
        ReportBuilder builder;
        drop(builder);
        EXPECT_EQ(readError(builder.file()), "An unknown error occured decoding the crash report") << field;
    }
}

// A report broken in every section at once: mending one section after the
// other shows the checks in their order.
TEST(CrashReportReader, ChecksSectionsInOrder) {
    ReportBuilder builder;
    builder.setReportUUID(std::vector<std::uint8_t>(15, 0xab));
    builder.message().machine_info = nullptr;
    builder.systemInfo().architecture = ZVCRASH_LOOSE__ARCHITECTURE__ARCHITECTURE_UNKNOWN;
    builder.setMachException(1, 256);
    builder.clearThreads();
    builder.clearImages();
    EXPECT_EQ(readError(builder.file()), "Report UUID value is not a standard 16 bytes");
    builder.setReportUUID({ReportBuilder::kReportUUID.begin(), ReportBuilder::kReportUUID.end()});
    EXPECT_EQ(readError(builder.file()), "Crash report has an unknown architecture");
    builder.systemInfo().architecture = ZVCRASH_LOOSE__ARCHITECTURE__X86_64;
    EXPECT_EQ(readError(builder.file()), "Crash report includes too many Mach Exception codes");
    builder.setMachException(1, 255);
    EXPECT_EQ(readError(builder.file()), "Crash report is missing thread state information");
    builder.addThread(0, true, {{ReportBuilder::kExecutableBase}});
    EXPECT_EQ(readError(builder.file()), "Crash report is missing binary image information");
    builder.addImage(ReportBuilder::kExecutableBase, 0x1000, "/zelvo");
    // Mended: 255 Mach exception codes are the most a report may hold.
    const auto mach = readReport(builder.file()).machExceptionInfo();
    ASSERT_TRUE(mach.has_value());
    EXPECT_EQ(mach->type, 1u);
    ASSERT_EQ(mach->codes.size(), 255u);
    EXPECT_EQ(mach->codes.back(), 255u);
}

TEST(CrashReportReader, ReadsEverySection) {
    ReportBuilder builder;
    builder.setException("std::runtime_error", "boom", {{ReportBuilder::kExecutableBase + 0x99}});
    builder.setMachException(1, 2);
    builder.setCustomData(std::string("\0custom", 7));
    auto report = readReport(builder.file());

    using std::chrono::sys_seconds, std::chrono::seconds;
    constexpr auto exe = ReportBuilder::kExecutableBase, libc = ReportBuilder::kLibcBase;
    const CrashReportProcessorInfo x86_64{CrashReportProcessorTypeEncoding::Mach, 0x1000007, 3};
    EXPECT_EQ(report.uuidRef(), ReportBuilder::kReportUUID);
    EXPECT_EQ(report.systemInfo(),
              (CrashReportSystemInfo{CrashReportOperatingSystem::Unknown, "6.1.0-18-amd64",
                                     "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1", CrashReportArchitecture::X86_64,
                                     sys_seconds(seconds(1700000000)), x86_64}));
    EXPECT_EQ(report.machineInfo(), (CrashReportMachineInfo{"ThinkPad X1 Carbon", x86_64, 4, 8}));
    EXPECT_EQ(report.applicationInfo(), (CrashReportApplicationInfo{"com.zelvo.Zelvo", "42", "1.0.0"}));
    EXPECT_EQ(report.processInfo(), (CrashReportProcessInfo{"zelvo", 4242, "/home/alice/.local/bin/zelvo",
                                                            sys_seconds(seconds(1699999000)), "systemd", 1, true}));
    EXPECT_EQ(report.signalInfo(), (CrashReportSignalInfo{"SIGSEGV", "SEGV_MAPERR", 0x10}));
    EXPECT_EQ(report.machExceptionInfo()->codes, (std::vector<std::uint64_t>{1, 2}));

    const std::vector<CrashReportThreadInfo> threads = {
        {0,
         {{exe + 0x1234, std::nullopt},
          {libc + 0x29d90, CrashReportSymbolInfo{"__libc_start_call_main", libc + 0x29d10}}},
         true,
         {{"rip", exe + 0x1234}, {"rsp", 0x7fffffffe000}, {"rsi", 0}}},
        {1, {{libc + 0x91117, CrashReportSymbolInfo{"__futex_abstimed_wait_common", libc + 0x91080}}}, false, {}},
    };
    EXPECT_EQ(report.threads(), threads);

    ASSERT_EQ(report.images().size(), 3u);
    const std::vector<std::uint8_t> uuid = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                                            0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};
    EXPECT_EQ(report.images()[0],
              (CrashReportBinaryImageInfo{x86_64, exe, 0x20000, "/home/alice/.local/bin/zelvo", true, uuid}));
    EXPECT_FALSE(report.images()[1].hasImageUUID);

    EXPECT_EQ(report.exceptionInfo(),
              (CrashReportExceptionInfo{"std::runtime_error", "boom", {{exe + 0x99, std::nullopt}}}));
    EXPECT_EQ(report.customData(), (std::vector<std::uint8_t>{0, 'c', 'u', 's', 't', 'o', 'm'}));
}

TEST(CrashReportReader, LeavesAbsentOptionalPartsEmpty) {
    ReportBuilder builder;
    builder.message().report_info = nullptr;
    builder.message().process_info = nullptr;
    builder.systemInfo().timestamp = 0;
    builder.systemInfo().os_build = nullptr;
    builder.applicationInfo().marketing_version = nullptr;
    auto report = readReport(builder.file());
    EXPECT_FALSE(report.uuidRef().has_value());
    EXPECT_FALSE(report.hasProcessInfo());
    EXPECT_FALSE(report.systemInfo().timestamp.has_value());
    EXPECT_FALSE(report.systemInfo().operatingSystemBuild.has_value());
    EXPECT_FALSE(report.applicationInfo().applicationMarketingVersion.has_value());
    EXPECT_FALSE(report.hasExceptionInfo());
    EXPECT_FALSE(report.machExceptionInfo().has_value());
    EXPECT_FALSE(report.customData().has_value());

    builder.message().process_info = &builder.processInfo();
    builder.processInfo().start_time = 0;
    EXPECT_FALSE(readReport(builder.file()).processInfo()->processStartTime.has_value());
    builder.processInfo().start_time = ~0ull; // beyond any representable date
    EXPECT_FALSE(readReport(builder.file()).processInfo()->processStartTime.has_value());
}

// Texts are read whole, NUL bytes included; malformed UTF-8 in them is
// replaced, well-formed text is left as it is.
TEST(CrashReportReader, ReadsTextsWithAnEmbeddedNulWholeAndReplacesMalformedUtf8) {
    ReportBuilder builder;
    builder.processInfo().process_path = builder.text("/opt/zelvo/bin@ary");
    builder.systemInfo().os_version = builder.text("6.1.0@amd64");
    builder.addImage(0x1000, 0x1000, "/usr/lib/caf\xe9.so");                                 // Latin-1 byte
    builder.addThread(5, false, {{0x1010, std::string("sym\xed\xa0\x80") + "bol", 0x1000}}); // encoded surrogate
    builder.signal().code = builder.text(std::string("\xc0\xaf") + "code\xf0\x9f\x98");      // overlong, then cut short
    builder.applicationInfo().identifier = builder.text("com.zelvo.Zélvo ✓ 😀");
    auto file = builder.file();
    // The builder writes C strings; put the NUL bytes into the encoded texts.
    for (const std::string marked : {"bin@ary", "6.1.0@amd64"}) {
        auto at = std::search(file.begin(), file.end(), marked.begin(), marked.end());
        ASSERT_NE(at, file.end()) << marked;
        *(at + static_cast<std::ptrdiff_t>(marked.find('@'))) = 0;
    }
    auto report = readReport(file);
    ASSERT_TRUE(report.processInfo());
    EXPECT_EQ(report.processInfo()->processPath, std::string("/opt/zelvo/bin\0ary", 18));
    EXPECT_EQ(report.systemInfo().operatingSystemVersion, std::string("6.1.0\0amd64", 11));
    EXPECT_EQ(report.images().back().imageName, "/usr/lib/caf\uFFFD.so");
    EXPECT_EQ(report.threads().back().stackFrames[0].symbolInfo->symbolName, "sym\uFFFD\uFFFD\uFFFDbol");
    EXPECT_EQ(report.signalInfo().code, "\uFFFD\uFFFDcode\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(report.applicationInfo().applicationIdentifier, "com.zelvo.Zélvo ✓ 😀");
}

// With machine information its processor is used whatever the architecture;
// without, the processor follows from the architecture, and one the reader
// does not know is refused.
TEST(CrashReportReader, DerivesTheProcessorFromTheArchitectureWithoutMachineInfo) {
    const struct {
        int architecture;
        std::optional<std::pair<std::uint64_t, std::uint64_t>> processor; // type, subtype; none: refused
    } table[] = {
        {0, {{7, 3}}},  {1, {{0x1000007, 3}}}, {2, {{12, 6}}},    {3, {{18, 0}}},     {4, {{0x1000012, 0}}},
        {5, {{12, 9}}}, {6, std::nullopt},     {7, std::nullopt}, {-1, std::nullopt},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.architecture);
        ReportBuilder builder;
        builder.systemInfo().architecture = static_cast<ZvcrashLoose__Architecture>(row.architecture);
        EXPECT_EQ(readReport(builder.file()).systemInfo().processorInfo.type, 0x1000007u);

        builder.message().machine_info = nullptr;
        if (!row.processor) {
            EXPECT_EQ(readError(builder.file()), "Crash report has an unknown architecture");
            continue;
        }
        auto report = readReport(builder.file());
        EXPECT_FALSE(report.hasMachineInfo());
        const auto [type, subtype] = *row.processor;
        EXPECT_EQ(report.systemInfo().processorInfo,
                  (CrashReportProcessorInfo{CrashReportProcessorTypeEncoding::Mach, type, subtype}));
    }
}

TEST(CrashReportReader, ClearsPointerAuthenticationBitsOnArm64e) {
    const std::uint64_t signedPc = 0x8a1b000123456789;
    ReportBuilder builder;
    builder.machineProcessor().type = 0x100000C;
    builder.machineProcessor().subtype = 2;
    builder.addThread(2, false, {{signedPc}});
    builder.setException("NSRangeException", "out of range", {{signedPc}});
    auto report = readReport(builder.file());
    EXPECT_EQ(report.threads()[2].stackFrames[0].instructionPointer, 0x123456789u);
    EXPECT_EQ(report.exceptionInfo()->stackFrames[0].instructionPointer, 0x123456789u);

    builder.machineProcessor().subtype = 0; // plain arm64 keeps every bit
    EXPECT_EQ(readReport(builder.file()).threads()[2].stackFrames[0].instructionPointer, signedPc);
}

TEST(CrashReportReader, RefusesReportsBeyondItsLimits) {
    constexpr auto maxFrames = CrashReport::kMaxFramesPerThread;
    const auto frames = [](std::size_t count) {
        return std::vector<ReportBuilder::FrameSpec>(count, ReportBuilder::FrameSpec(ReportBuilder::kExecutableBase));
    };
    ReportBuilder builder;
    builder.addThread(7, false, frames(maxFrames));
    builder.setException("e", "r", frames(maxFrames));
    EXPECT_EQ(readReport(builder.file()).threads().back().stackFrames.size(), maxFrames);

    // Every limit passed at once, then brought back within it one after the
    // other, in the order the reader checks them; at the limits it reads.
    auto& longThread = builder.addThread(8, false, frames(maxFrames + 1));
    builder.setException("e", "r", frames(maxFrames + 1));
    while (builder.message().n_threads < CrashReport::kMaxThreads + 1) builder.addThread(9, false, {});
    while (builder.message().n_binary_images < CrashReport::kMaxImages + 1) builder.addImage(0x1000, 1, "/x.so");
    EXPECT_EQ(readError(builder.file()), "Crash report has too many threads");
    builder.message().n_threads = CrashReport::kMaxThreads;
    EXPECT_EQ(readError(builder.file()), "Crash report has too many stack frames in a thread");
    longThread.n_frames = maxFrames;
    EXPECT_EQ(readError(builder.file()), "Crash report has too many binary images");
    builder.message().n_binary_images = CrashReport::kMaxImages;
    EXPECT_EQ(readError(builder.file()), "Crash report has too many exception stack frames");
    builder.message().exception->n_frames = maxFrames;
    EXPECT_EQ(readReport(builder.file()).images().size(), CrashReport::kMaxImages);

    std::vector<std::uint8_t> huge = builder.file();
    huge.resize(CrashReport::kMaxFileSize + 1);
    EXPECT_EQ(readError(huge), "Crash report is too large");
}

TEST(CrashReportReader, FindsTheFirstImageHoldingAnAddress) {
    ReportBuilder builder;
    builder.addImage(ReportBuilder::kExecutableBase + 0x1000, 0x100, "/overlapping.so");
    builder.addImage(0xfffffffffffff000, 0x1000, "/top-of-memory.so");
    builder.addImage(0x1000, 0, "/empty.so");
    auto report = readReport(builder.file());

    auto name = [&](std::uint64_t address) -> std::string {
        const auto* image = report.imageForAddress(address);
        return image ? image->imageName : "none";
    };
    constexpr auto exe = ReportBuilder::kExecutableBase;
    for (const auto address : {exe, exe + 0x1050, exe + 0x1ffff})
        EXPECT_EQ(name(address), "/home/alice/.local/bin/zelvo") << address;
    for (const auto address : {exe + 0x20000, exe - 1, std::uint64_t{0x1000}, std::uint64_t{0}})
        EXPECT_EQ(name(address), "none") << address;
    EXPECT_EQ(name(0xffffffffffffffff), "/top-of-memory.so");

    // An earlier image in report order wins even when it starts lower than
    // a later one that also holds the address.
    ReportBuilder nested;
    nested.addImage(0x10000, 0x10000, "/outer.so");
    nested.addImage(0x18000, 0x100, "/inner.so");
    nested.addImage(0x30000, 0x100, "/later.so");
    auto nestedReport = readReport(nested.file());
    EXPECT_EQ(nestedReport.imageForAddress(0x18050)->imageName, "/outer.so");
    EXPECT_EQ(nestedReport.imageForAddress(0x30000)->imageName, "/later.so");
    EXPECT_EQ(nestedReport.imageForAddress(0x20000), nullptr);
}

} // namespace
} // namespace crashcapture
