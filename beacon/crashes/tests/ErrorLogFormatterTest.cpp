#include "ReportBuilder.h"
#include "beacon/crashes/formatter/ErrorLogFormatter.h"
#include "beacon/crashes/model/AnonymizedPath.h"
#include "beacon/testing/SampleDevices.h"

#include <gtest/gtest.h>

namespace beacon {
namespace {

using crashcapture::CrashReport;
using crashcapture::testing::ReportBuilder;
using F = ErrorLogFormatter;

CrashReport read(const ReportBuilder& builder) {
    auto report = CrashReport::initWithData(builder.file());
    if (!report) std::abort();
    return std::move(*report);
}

// The sample device, with the fields the report knows too set to other values,
// so that the log shows which source won.
std::shared_ptr<Device> recordedDevice() {
    auto device = std::make_shared<Device>(test::fullDevice());
    device->osVersion = "6.0.0";
    device->appVersion = "0.9";
    device->appBuild = "41";
    device->appNamespace = "recorded.namespace";
    return device;
}

class ErrorLogFormatterTest : public ::testing::Test {
protected:
    void SetUp() override {
        F::setDeviceLookup([this](std::optional<Date> time) {
            askedTimes_.push_back(time);
            return recordedDevice();
        });
    }
    void TearDown() override {
        F::setDeviceLookup(nullptr);
        F::setInstallIdSource(nullptr);
    }
    std::vector<std::optional<Date>> askedTimes_;
};

TEST_F(ErrorLogFormatterTest, ConvertsAFullReportIntoTheExpectedJson) {
    ReportBuilder builder;
    builder.setException("std::runtime_error", "boom", {{ReportBuilder::kExecutableBase + 0x99}});
    auto log = F::errorLogFromCrashReport(read(builder));

    const auto expected = nlohmann::json::parse(R"({
      "type": "appleError",
      "timestamp": "2023-11-14T22:13:20.999Z",
      "device": {
        "wrapperSdkName": "wrap.it", "wrapperSdkVersion": "2.1", "sdkName": "beacon.linux", "sdkVersion": "1.0.0",
        "model": "ThinkPad X1 Carbon", "oemName": "LENOVO", "osName": "Linux",
        "osVersion": "6.1.0-18-amd64", "osBuild": "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1",
        "locale": "de_CH", "timeZoneOffset": 60, "screenSize": "1920x1080", "appVersion": "1.0.0",
        "carrierCountry": "ch", "appBuild": "42", "appNamespace": "com.zelvo.Zelvo"
      },
      "id": "8F2C1A3E-5560-4B7D-9A01-C4E23F10ABCD",
      "processId": 4242,
      "processName": "zelvo",
      "parentProcessId": 1,
      "parentProcessName": "systemd",
      "errorThreadId": 0,
      "fatal": true,
      "appLaunchTimestamp": "2023-11-14T21:56:40.000Z",
      "primaryArchitectureId": 16777223,
      "architectureVariantId": 3,
      "applicationPath": "/home/USER/.local/bin/zelvo",
      "osExceptionType": "SIGSEGV",
      "osExceptionCode": "SEGV_MAPERR",
      "osExceptionAddress": "0x10",
      "exceptionType": "std::runtime_error",
      "exceptionReason": "boom",
      "threads": [
        {"id": 0,
         "frames": [
           {"address": "0x0000555555555234", "code": "0x555555554000 + 4660"},
           {"address": "0x00007ffff7da9d90", "code": "__libc_start_call_main + 128"}],
         "exception": {"type": "std::runtime_error", "message": "boom",
                       "frames": [{"address": "0x0000555555554099"}]}},
        {"id": 1,
         "frames": [{"address": "0x00007ffff7e11117", "code": "__futex_abstimed_wait_common + 151"}]}
      ],
      "binaries": [
        {"id": "0123456789abcdeffedcba9876543210", "startAddress": "0x0000555555554000",
         "endAddress": "0x0000555555573fff", "name": "zelvo", "path": "/home/USER/.local/bin/zelvo",
         "primaryArchitectureId": 16777223, "architectureVariantId": 3},
        {"id": "41eecb764d1d0ed1ff16e21c3307fb9f",
         "startAddress": "0x00007ffff7d80000", "endAddress": "0x00007ffff7f3ffff", "name": "libc.so.6",
         "path": "/usr/lib/x86_64-linux-gnu/libc.so.6", "primaryArchitectureId": 16777223,
         "architectureVariantId": 3}
      ],
      "registers": {"rip": "0x0000555555555234", "rsi": "0x0000000000000000", "rsp": "0x00007fffffffe000"}
    })");
    EXPECT_EQ(nlohmann::json::parse(log->serializeToDictionary().dump()), expected)
        << log->serializeToDictionary().dump(2);
    ASSERT_EQ(askedTimes_.size(), 1u);
    EXPECT_EQ(askedTimes_[0], log->timestamp);
}

TEST_F(ErrorLogFormatterTest, FillsDefaultsForMissingSections) {
    ReportBuilder builder;
    builder.message().report_info = nullptr;
    builder.message().process_info = nullptr;
    builder.message().machine_info = nullptr;
    builder.clearImages();
    builder.addImage(0x1000, 0x1000, "/opt/other.so"); // no code type: the architecture decides
    builder.addThread(4, false, {{0x1010}});
    builder.systemInfo().architecture = ZVCRASH_LOOSE__ARCHITECTURE__X86_32;
    F::setDeviceLookup([](std::optional<Date>) { return std::shared_ptr<Device>(); });
    auto log = F::errorLogFromCrashReport(read(builder));

    EXPECT_EQ(log->errorId->size(), 36u); // derived from the report
    EXPECT_EQ(*log->errorId, *F::errorLogFromCrashReport(read(builder))->errorId);
    EXPECT_EQ(log->processId, 0);
    EXPECT_EQ(log->processName, "???");
    EXPECT_EQ(log->parentProcessName, "???");
    EXPECT_FALSE(log->parentProcessId.has_value());
    EXPECT_EQ(log->applicationPath, "???");
    EXPECT_EQ(log->primaryArchitectureId, 7);
    EXPECT_EQ(log->architectureVariantId, 3);
    // Without process information the launch time is the crash time as recorded.
    EXPECT_EQ(log->appLaunchTimestamp, Date(std::chrono::seconds(1700000000)));
    EXPECT_EQ(log->timestamp, Date(std::chrono::seconds(1700000000)) + std::chrono::milliseconds(999));
    EXPECT_FALSE(log->exceptionType.has_value());
    EXPECT_FALSE(log->exceptionReason.has_value());
    // 32-bit code: addresses with 8 digits.
    EXPECT_EQ(log->registers->at("rsp"), "0x7fffffffe000");
    ASSERT_EQ(log->binaries->size(), 1u);
    EXPECT_EQ((*log->binaries)[0]->startAddress, "0x00001000");
    // Only what the report knows about the device.
    EXPECT_EQ(log->device->appBuild, "42");
    EXPECT_FALSE(log->device->sdkName.has_value());
    EXPECT_FALSE(log->device->model.has_value());

    builder.systemInfo().timestamp = 0;
    auto undated = F::errorLogFromCrashReport(read(builder));
    EXPECT_FALSE(undated->timestamp.has_value());
    EXPECT_FALSE(undated->appLaunchTimestamp.has_value());
    builder.systemInfo().timestamp = std::numeric_limits<std::int64_t>::max(); // beyond any date
    EXPECT_FALSE(F::errorLogFromCrashReport(read(builder))->timestamp.has_value());
}

TEST(ErrorLogFormatterRules, FormatsAddresses) {
    EXPECT_EQ(F::formatAddress(0x1a2b, true), "0x0000000000001a2b");
    EXPECT_EQ(F::formatAddress(0x1a2b, false), "0x00001a2b");
    EXPECT_EQ(F::formatAddress(0xffffffffffffffff, true), "0xffffffffffffffff");
    EXPECT_EQ(F::formatAddress(0x123456789, false), "0x123456789");
    EXPECT_TRUE(F::isCodeType64bit(0x1000007));
    EXPECT_TRUE(F::isCodeType64bit(0x100000C));
    EXPECT_FALSE(F::isCodeType64bit(7));
    EXPECT_FALSE(F::isCodeType64bit(12));
}

TEST(ErrorLogFormatterRules, NamesArchitecturesAndCodeTypes) {
    const struct {
        std::uint64_t type, subtype;
        const char* name;
    } names[] = {
        {7, 3, "i386"},
        {12, 6, "armv6"},
        {12, 9, "armv7"},
        {12, 11, "armv7s"},
        {12, 7, "arm-unknown"},
        {12, 8, "arm-unknown"},
        {12, 10, "arm-unknown"},
        {12, 99, "arm-unknown"},
        {18, 0, "powerpc"},
        {0x1000007, 3, "x86_64"},
        {0x100000C, 0, "arm64"},
        {0x100000C, 1, "armv8"},
        {0x100000C, 2, "arm64e"},
        {0x100000C, 5, "arm64-unknown"},
        {0x100000C, 0x80000002, "arm64e"}, // capability bits above the low 24 are ignored
        {0x1000012, 0, "???"},
        {42, 0, "???"},
    };
    for (const auto& row : names)
        EXPECT_EQ(F::convertArchNameToString(row.type, row.subtype), row.name) << row.type << "/" << row.subtype;

    EXPECT_EQ(F::convertCodeTypeToString(7), "X86");
    EXPECT_EQ(F::convertCodeTypeToString(12), "ARM");
    EXPECT_EQ(F::convertCodeTypeToString(18), "PPC");
    EXPECT_EQ(F::convertCodeTypeToString(0x1000007), "X86-64");
    EXPECT_EQ(F::convertCodeTypeToString(0x100000C), "ARM-64");
    EXPECT_EQ(F::convertCodeTypeToString(0x1000012), "Unknown (16777234)");
}

TEST(ErrorLogFormatterRules, AnonymizesPaths) {
    const std::pair<std::string, std::string> paths[] = {
        {"/Users/alice/Applications/Zelvo.app/Contents/MacOS/Zelvo",
         "/Users/USER/Applications/Zelvo.app/Contents/MacOS/Zelvo"},
        {"/Users/alice/x/Users/bob/y", "/Users/USER/x/Users/USER/y"},
        {"/Volumes/Backup/Users/alice/zelvo", ""},
        {"/home/alice/.local/bin/zelvo", "/home/USER/.local/bin/zelvo"},
        {"/home/alice/Users/zelvo", ""},
        {"/usr/lib/x86_64-linux-gnu/libc.so.6", "/usr/lib/x86_64-linux-gnu/libc.so.6"},
        {"/home/", "/home/"},
        {"", ""},
        // The other Linux user folders, where a path starts.
        {"/var/home/alice/.local/bin/zelvo", "/var/home/USER/.local/bin/zelvo"},
        {"/run/media/alice/disk/zelvo", "/run/media/USER/disk/zelvo"},
        {"/media/alice/disk/zelvo", "/media/USER/disk/zelvo"},
        {"/usr/share/media/icons/zelvo.png", "/usr/share/media/icons/zelvo.png"},
        {"/srv/home/shared/zelvo", "/srv/home/shared/zelvo"},
    };
    for (const auto& [path, expected] : paths) EXPECT_EQ(F::anonymizedPathFromPath(path), expected) << path;

    // The current user's home directory, wherever it lies.
    for (const auto& home : anonymized_path::currentUserHomes()) {
        const std::string parent = home.substr(0, home.rfind('/'));
        EXPECT_EQ(F::anonymizedPathFromPath(home + "/bin/zelvo"), parent + "/USER/bin/zelvo") << home;
        EXPECT_EQ(anonymized_path::inText("at " + home + ")"), "at " + parent + "/USER)") << home;
    }

    // Any length, without deep recursion.
    EXPECT_EQ(F::anonymizedPathFromPath("/home/" + std::string(200000, 'a') + "/zelvo"), "/home/USER/zelvo");
    const std::string plain = "/opt/" + std::string(100000, 'b');
    EXPECT_EQ(F::anonymizedPathFromPath(plain), plain);
}

TEST_F(ErrorLogFormatterTest, AnonymizesEveryPathOfTheLog) {
    ReportBuilder builder;
    builder.processInfo().process_path = builder.text("/var/home/alice/bin/zelvo");
    builder.addImage(0x40000000, 0x1000, "/run/media/alice/disk/libplugin.so");
    builder.addThread(5, false, {{0x40000010}});
    auto log = F::errorLogFromCrashReport(read(builder));
    EXPECT_EQ(log->applicationPath, "/var/home/USER/bin/zelvo");
    std::vector<std::string> paths;
    for (const auto& binary : *log->binaries) paths.push_back(*binary->path);
    EXPECT_NE(std::find(paths.begin(), paths.end(), "/run/media/USER/disk/libplugin.so"), paths.end());
    EXPECT_EQ(log->serializeLog(false)->find("alice"), std::string::npos);
}

TEST_F(ErrorLogFormatterTest, AReportWithoutIdGetsTheSameIdInEveryConversion) {
    ReportBuilder builder;
    builder.reportInfo().has_uuid = 0;
    const CrashReport report = read(builder);
    const auto log = F::errorLogFromCrashReport(report);
    EXPECT_EQ(F::errorReportFromCrashReport(&report)->incidentIdentifier, log->errorId);
    EXPECT_EQ(F::errorLogFromCrashReport(report)->errorId, log->errorId);
    ASSERT_EQ(log->errorId->size(), 36u);
    EXPECT_EQ((*log->errorId)[14], '8');

    builder.signal().address = 0x20;
    EXPECT_NE(F::errorLogFromCrashReport(read(builder))->errorId, log->errorId);
}

TEST_F(ErrorLogFormatterTest, ImagesWithoutBuildIdGetAStableId) {
    ReportBuilder builder;
    builder.addImage(0x40000000, 0x1000, "/opt/plugin.so");
    builder.addThread(5, false, {{0x40000010}});
    const CrashReport report = read(builder);
    const auto log = F::errorLogFromCrashReport(report);
    for (const auto& binary : *log->binaries) {
        ASSERT_TRUE(binary->binaryId) << *binary->path;
        EXPECT_EQ(binary->binaryId->size(), 32u) << *binary->path;
    }
    EXPECT_FALSE(log->validationError()) << *log->validationError();
    const auto& plugin = report.images().back();
    EXPECT_EQ(F::binaryIdOf(plugin), F::binaryIdOf(read(builder).images().back()));
    auto other = plugin;
    other.imageName = "/opt/other.so";
    EXPECT_NE(F::binaryIdOf(other), F::binaryIdOf(plugin));
    EXPECT_EQ(F::binaryIdOf(report.images().front()), "0123456789abcdeffedcba9876543210");
}

TEST_F(ErrorLogFormatterTest, DamagedNumbersNeverBecomeNegative) {
    ReportBuilder builder;
    builder.clearImages();
    builder.addImage(ReportBuilder::kExecutableBase, 0x20000, "/usr/bin/zelvo", std::nullopt, std::pair{~0ull, ~0ull});
    builder.addImage(ReportBuilder::kLibcBase, 0x1c0000, "/usr/lib/libc.so.6");
    // A symbol said to start above the frame's pc.
    builder.addThread(5, false, {{ReportBuilder::kLibcBase + 0x100, "_late", ReportBuilder::kLibcBase + 0x102}});
    const CrashReport report = read(builder);
    const auto log = F::errorLogFromCrashReport(report);
    EXPECT_EQ(log->primaryArchitectureId, std::int64_t{0xFFFFFFFF});
    EXPECT_EQ(log->architectureVariantId, std::int64_t{0xFFFFFFFF});
    for (const auto& binary : *log->binaries) EXPECT_GE(binary->primaryArchitectureId.value_or(0), 0);
    EXPECT_EQ(F::formatStackFrame(report.threads().back().stackFrames[0], report), "0x7ffff7d80000 + 256");
}

TEST(ErrorLogFormatterRules, TellsImageTypes) {
    const std::string app = "/Applications/Zelvo.app/Contents/MacOS/Zelvo";
    EXPECT_EQ(F::imageTypeForImagePath(app, app), F::MainExecutable);
    EXPECT_EQ(F::imageTypeForImagePath("/Applications/ZELVO.app/Contents/MacOS/Zelvo", app), F::MainExecutable);
    EXPECT_EQ(F::imageTypeForImagePath("/Applications/Zelvo.app/Contents/Frameworks/Beacon.framework/Beacon", app),
              F::ApplicationFramework);
    EXPECT_EQ(F::imageTypeForImagePath("/Applications/Zelvo.app/Contents/Frameworks/libswiftCore.dylib", app),
              F::Other);
    EXPECT_EQ(F::imageTypeForImagePath("/Applications/Other.app/Contents/MacOS/Other", app), F::Other);
    EXPECT_EQ(F::imageTypeForImagePath("/usr/lib/libSystem.B.dylib", app), F::Other);
    EXPECT_EQ(F::imageTypeForImagePath(std::nullopt, app), F::Other);
    EXPECT_EQ(F::imageTypeForImagePath(app, std::nullopt), F::Other);
    // Linux: the executable itself is the application's code, libraries are not.
    EXPECT_EQ(F::imageTypeForImagePath("/usr/bin/../bin/zelvo", "/usr/bin/zelvo"), F::MainExecutable);
    EXPECT_EQ(F::imageTypeForImagePath("/usr/lib/libc.so.6", "/usr/bin/zelvo"), F::Other);
}

TEST(ErrorLogFormatterRules, WritesFramesBySymbolOrByImageOffset) {
    ReportBuilder builder;
    builder.addThread(2, false,
                      {{ReportBuilder::kLibcBase + 0x100, "_malloc", ReportBuilder::kLibcBase + 0xf0},
                       {ReportBuilder::kExecutableBase + 0x50, "_main", ReportBuilder::kExecutableBase + 0x40},
                       {0x10, "_orphan", 0x8},
                       {0x10}});
    auto frames = [&](int os) {
        builder.systemInfo().operating_system = static_cast<ZvcrashLoose__CrashReport__SystemInfo__OperatingSystem>(os);
        CrashReport report = read(builder);
        std::vector<std::string> texts;
        for (const auto& frame : report.threads()[2].stackFrames) texts.push_back(F::formatStackFrame(frame, report));
        return texts;
    };
    // macOS symbol names carry a leading underscore that is dropped; the
    // executable's own frames are written as image base + offset.
    EXPECT_EQ(frames(0), (std::vector<std::string>{"malloc + 16", "0x555555554000 + 80", "orphan + 8", "0x0 + 0"}));
    EXPECT_EQ(frames(4)[0], "malloc + 16");
    EXPECT_EQ(frames(3), (std::vector<std::string>{"_malloc + 16", "0x555555554000 + 80", "_orphan + 8", "0x0 + 0"}));
}

TEST(ErrorLogFormatterRules, KeepsUsedAndOwnBinariesOnly) {
    ReportBuilder builder;
    builder.addImage(0x1000, 0, "/usr/lib/zero-size.so");            // counts as one byte
    builder.addImage(0xfffffffffffff000, 0x2000, "/usr/lib/top.so"); // would wrap around
    builder.addThread(3, false, {{0x1000}, {0xfffffffffffffff0}});
    const auto names = [&] {
        std::vector<std::string> found;
        for (const auto& binary : F::extractBinaryImagesFromReport(read(builder), true)) found.push_back(*binary->name);
        return found;
    };
    // Sorted by address; libm is used by no frame or register and is dropped.
    EXPECT_EQ(names(), (std::vector<std::string>{"zero-size.so", "zelvo", "libc.so.6", "top.so"}));
    EXPECT_EQ(F::extractBinaryImagesFromReport(read(builder), true).back()->endAddress, "0xffffffffffffffff");

    // A register pointing into libm is a use.
    builder.message().threads[0]->registers[2]->value = ReportBuilder::kLibmBase + 8;
    EXPECT_EQ(names(), (std::vector<std::string>{"zero-size.so", "zelvo", "libm.so.6", "libc.so.6", "top.so"}));

    const std::set<std::uint64_t> addresses = {10, 20};
    EXPECT_TRUE(F::isBinaryWithStart(10, 10, addresses));
    EXPECT_TRUE(F::isBinaryWithStart(11, 20, addresses));
    EXPECT_FALSE(F::isBinaryWithStart(11, 19, addresses));
    EXPECT_FALSE(F::isBinaryWithStart(21, 30, addresses));
}

TEST_F(ErrorLogFormatterTest, BuildsTheErrorReportFromTheLog) {
    F::setInstallIdSource([] { return std::optional<std::string>("11111111-2222-3333-4444-555555555555"); });
    ReportBuilder builder;
    builder.setException("std::bad_alloc", "out of memory", {});
    CrashReport report = read(builder);
    auto log = F::errorLogFromCrashReport(report);
    auto errorReport = F::errorReportFromLog(*log);
    EXPECT_EQ(errorReport->incidentIdentifier, "8F2C1A3E-5560-4B7D-9A01-C4E23F10ABCD");
    EXPECT_EQ(errorReport->reporterKey, "11111111-2222-3333-4444-555555555555");
    EXPECT_EQ(errorReport->signal, "SIGSEGV");
    EXPECT_FALSE(errorReport->isAppKill());
    EXPECT_EQ(errorReport->exceptionName, "std::bad_alloc");
    EXPECT_EQ(errorReport->exceptionReason, "out of memory");
    EXPECT_EQ(errorReport->appStartTime, log->appLaunchTimestamp);
    EXPECT_EQ(errorReport->appErrorTime, log->timestamp);
    EXPECT_EQ(errorReport->codeType, "X86-64");
    EXPECT_EQ(errorReport->archName, "x86_64");
    EXPECT_EQ(errorReport->applicationPath, "/home/USER/.local/bin/zelvo");
    EXPECT_EQ(errorReport->threads.size(), 2u);
    EXPECT_EQ(errorReport->binaries.size(), 2u);
    EXPECT_TRUE(ModelObject::equalObjects(errorReport->device, log->device));
    EXPECT_EQ(errorReport->appProcessIdentifier, 4242u);
    // No exception frames: no exception model on the crashed thread.
    EXPECT_EQ((*log->threads)[0]->exception, nullptr);

    F::setInstallIdSource(nullptr);
    log->primaryArchitectureId.reset();
    log->osExceptionType = "SIGKILL";
    errorReport = F::errorReportFromLog(*log);
    EXPECT_EQ(errorReport->reporterKey, "");
    EXPECT_EQ(errorReport->codeType, "???");
    EXPECT_EQ(errorReport->archName, "???");
    EXPECT_TRUE(errorReport->isAppKill());

    EXPECT_EQ(F::errorReportFromCrashReport(nullptr), nullptr);
    EXPECT_TRUE(
        F::errorReportFromCrashReport(&report)->isEqual(*F::errorReportFromLog(*F::errorLogFromCrashReport(report))));
}

} // namespace
} // namespace beacon
