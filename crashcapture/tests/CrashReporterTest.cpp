#include "platform/linux/testing/RunProgram.h"
#include "crashcapture/report/CrashReport.h"
#include "crashcapture/reporter/CrashReporter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace crashcapture {
namespace {

namespace fs = std::filesystem;

class CrashReporterTest : public ::testing::Test {
protected:
    CrashReporter reporter(const std::string& base = "base", const std::string& id = "org/zelvo/Zelvo") const {
        return CrashReporter(CrashReporterConfig(CrashReporterSignalHandlerType::BSD,
                                                 CrashReporterSymbolicationStrategy::None, true, root_ / base),
                             id, "42");
    }

    static mode_t modeOf(const fs::path& path) {
        struct stat info {};
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        return info.st_mode & 07777;
    }

    zelvo::testing::TemporaryFolder dir_;
    const fs::path& root_ = dir_.path;
    CrashReporter r = reporter();
    CrashReporterError error;
};

TEST_F(CrashReporterTest, PlacesReportsUnderTheBasePathPerApplication) {
    EXPECT_EQ(r.crashReportDirectory(), root_ / "base" / "com.zelvo.crashreporter.data" / "org_zelvo_Zelvo");
    EXPECT_EQ(r.crashReportPath(), r.crashReportDirectory() / "live_report.zvcrash");
    EXPECT_EQ(r.queuedReportsDirectory(), r.crashReportDirectory() / "queued_reports");
}

TEST_F(CrashReporterTest, FallsBackToTheCacheDirectory) {
    const char* previous = std::getenv("XDG_CACHE_HOME");
    std::string saved = previous ? previous : "";
    ::setenv("XDG_CACHE_HOME", (root_ / "cache").c_str(), 1);
    CrashReporter r(CrashReporterConfig{}, "zelvo", "1");
    if (previous) ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else ::unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(r.crashReportDirectory(), root_ / "cache" / "com.zelvo.crashreporter.data" / "zelvo");
}

TEST_F(CrashReporterTest, KeepsReportsPrivateWhateverTheUmask) {
    mode_t previous = ::umask(0);
    bool created = r.createCrashReportDirectory(&error);
    ::umask(previous);
    ASSERT_TRUE(created) << error.localizedDescription;
    EXPECT_EQ(modeOf(root_ / "base"), 0700u);
    EXPECT_EQ(modeOf(r.crashReportDirectory()), 0700u);
    EXPECT_EQ(modeOf(r.queuedReportsDirectory()), 0700u);

    // Folders and a pending report left with wider modes are narrowed.
    ::chmod(r.crashReportDirectory().c_str(), 0755);
    std::ofstream(r.crashReportPath()) << "report";
    ::chmod(r.crashReportPath().c_str(), 0644);
    EXPECT_TRUE(r.createCrashReportDirectory());
    EXPECT_EQ(modeOf(r.crashReportDirectory()), 0700u);
    EXPECT_EQ(modeOf(r.crashReportPath()), 0600u);

    std::ofstream(root_ / "file") << "x";
    auto blocked = reporter("file", "zelvo");
    EXPECT_FALSE(blocked.createCrashReportDirectory(&error));
    EXPECT_EQ(error.domain, "CrashReporterErrorDomain");
    EXPECT_FALSE(error.localizedDescription.empty());
}

TEST_F(CrashReporterTest, LoadsAndPurgesThePendingReport) {
    EXPECT_FALSE(r.hasPendingCrashReport());
    EXPECT_FALSE(r.loadPendingCrashReportData(&error).has_value());
    EXPECT_EQ(error.code, CrashReporterError::OperatingSystem);

    ASSERT_TRUE(r.createCrashReportDirectory());
    const std::string bytes("zvcrash\x01\x00\xff payload", 17);
    std::ofstream(r.crashReportPath(), std::ios::binary) << bytes;
    EXPECT_TRUE(r.hasPendingCrashReport());
    auto data = r.loadPendingCrashReportData(&error);
    ASSERT_TRUE(data.has_value()) << error.localizedDescription;
    EXPECT_EQ(std::string(data->begin(), data->end()), bytes);

    std::ofstream(r.nextCrashReportPath()) << "next";
    EXPECT_TRUE(r.purgePendingCrashReport(&error));
    EXPECT_EQ(r.loadPendingCrashReportData()->size(), 4u); // the next report is pending now
    EXPECT_TRUE(r.purgePendingCrashReport(&error));
    EXPECT_FALSE(r.hasPendingCrashReport());
    EXPECT_TRUE(r.purgePendingCrashReport(&error)); // nothing left to delete
}

TEST_F(CrashReporterTest, AReportThatCrashedItsConversionIsMovedAsideNotRetried) {
    ASSERT_TRUE(r.createCrashReportDirectory());
    std::ofstream(r.crashReportPath()) << "report";
    for (int stamp = 1; stamp <= 3; ++stamp)
        std::ofstream(r.crashReportPath().string() + ".unreadable-" + std::to_string(stamp));
    EXPECT_TRUE(r.beginProcessingPendingCrashReport());
    r.endProcessingPendingCrashReport();
    EXPECT_TRUE(r.beginProcessingPendingCrashReport());
    // The process died here. The next start does not try again.
    auto next = reporter();
    EXPECT_FALSE(next.beginProcessingPendingCrashReport(&error));
    EXPECT_FALSE(next.hasPendingCrashReport());
    std::size_t aside = 0;
    for (const auto& entry : fs::directory_iterator(r.crashReportDirectory()))
        aside += entry.path().filename().string().starts_with("live_report.zvcrash.unreadable-");
    EXPECT_EQ(aside, 3u); // the newest of the earlier ones, and this one
    EXPECT_FALSE(fs::exists(r.crashReportPath().string() + ".unreadable-1"));
    EXPECT_TRUE(next.beginProcessingPendingCrashReport()); // a new report may come
    next.endProcessingPendingCrashReport();
    EXPECT_TRUE(next.movePendingCrashReportAside()); // nothing pending: nothing to do
}

TEST_F(CrashReporterTest, RefusesPendingReportsThatAreNoRegularFileOrTooLarge) {
    ASSERT_TRUE(r.createCrashReportDirectory());
    // A link to an endless device, a pipe without writer, an oversized file.
    fs::create_symlink("/dev/zero", r.crashReportPath());
    EXPECT_FALSE(r.loadPendingCrashReportData(&error).has_value());
    EXPECT_NE(error.localizedDescription.find("not a regular file"), std::string::npos) << error.localizedDescription;
    fs::remove(r.crashReportPath());
    ASSERT_EQ(::mkfifo(r.crashReportPath().c_str(), 0600), 0);
    EXPECT_FALSE(r.loadPendingCrashReportData(&error).has_value());
    fs::remove(r.crashReportPath());
    std::ofstream(r.crashReportPath()).close();
    fs::resize_file(r.crashReportPath(), CrashReport::kMaxFileSize + 1);
    EXPECT_FALSE(r.loadPendingCrashReportData(&error).has_value());
    EXPECT_NE(error.localizedDescription.find("too large"), std::string::npos) << error.localizedDescription;
}

} // namespace
} // namespace crashcapture
