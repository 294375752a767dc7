// Runs the installed viewer program on report files written by the tests.
#include "ReportBuilder.h"
#include "platform/linux/testing/RunProgram.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using crashcapture::testing::ReportBuilder;

using zelvo::testing::ProgramResult;

class CrashReportViewerTest : public ::testing::Test {
protected:
    fs::path write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }

    ProgramResult run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), VIEWER_EXECUTABLE);
        return zelvo::testing::runProgram(arguments);
    }

    zelvo::testing::TemporaryFolder tmp_;
    const fs::path& dir_ = tmp_.path;
};

TEST_F(CrashReportViewerTest, PrintsTheErrorLogOrTheReportAsJson) {
    const auto file = write("live_report.zvcrash", ReportBuilder().file());

    ProgramResult log = run({file.string()});
    ASSERT_EQ(log.status, 0) << log.err;
    auto json = nlohmann::json::parse(log.out);
    EXPECT_EQ(json["type"], "appleError");
    EXPECT_EQ(json["id"], "8F2C1A3E-5560-4B7D-9A01-C4E23F10ABCD");
    EXPECT_EQ(json["osExceptionType"], "SIGSEGV");
    EXPECT_EQ(json["applicationPath"], "/home/USER/.local/bin/zelvo");
    EXPECT_EQ(json["threads"].size(), 2u);
    EXPECT_NE(log.out.find("\n  \"id\""), std::string::npos) << "pretty-printed";

    ProgramResult report = run({"--report", file.string()});
    ASSERT_EQ(report.status, 0) << report.err;
    json = nlohmann::json::parse(report.out);
    EXPECT_EQ(json["signalInfo"]["name"], "SIGSEGV");
    EXPECT_EQ(json["signalInfo"]["address"], "0x10");
    EXPECT_EQ(json["systemInfo"]["timestamp"], "2023-11-14T22:13:20Z");
    EXPECT_EQ(json["uuidRef"], "8f2c1a3e-5560-4b7d-9a01-c4e23f10abcd");
    EXPECT_EQ(json["images"][0]["imageName"], "/home/alice/.local/bin/zelvo");
}

TEST_F(CrashReportViewerTest, ReportsBadFilesAndBadUsage) {
    ReportBuilder builder;
    auto bytes = builder.file();
    bytes[7] = 2;
    ProgramResult bad = run({write("v2.zvcrash", bytes).string()});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "Could not decode unsupported crash report version: 2\n");
    EXPECT_TRUE(bad.out.empty());

    builder.clearImages();
    ProgramResult noImages = run({"--report", write("noimages.zvcrash", builder.file()).string()});
    EXPECT_EQ(noImages.status, 2);
    EXPECT_EQ(noImages.err, "Crash report is missing binary image information\n");

    ProgramResult missing = run({(dir_ / "absent.zvcrash").string()});
    EXPECT_EQ(missing.status, 66);
    EXPECT_NE(missing.err.find("absent.zvcrash"), std::string::npos);

    // An endless device behind a link is refused, not read.
    std::filesystem::create_symlink("/dev/zero", dir_ / "zero.zvcrash");
    ProgramResult endless = run({(dir_ / "zero.zvcrash").string()});
    EXPECT_EQ(endless.status, 66);
    EXPECT_NE(endless.err.find("not a regular file"), std::string::npos) << endless.err;

    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{}, {"--verbose", "x"}, {"a", "b"}}) {
        ProgramResult usage = run(arguments);
        EXPECT_EQ(usage.status, 64) << arguments.size();
        EXPECT_NE(usage.err.find("usage: zelvo-crashreport [--report] FILE"), std::string::npos) << arguments.size();
        EXPECT_TRUE(usage.out.empty()) << arguments.size();
    }
    ProgramResult help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: zelvo-crashreport [--report] FILE"), std::string::npos);
    EXPECT_TRUE(help.err.empty());
    ProgramResult version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "zelvo-crashreport " ZELVO_VERSION "\n");
}

} // namespace
