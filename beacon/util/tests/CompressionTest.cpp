#include "beacon/util/Compression.h"

#include "LogCapture.h"
#include "ProcessRunner.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

using beacon::Compression;

namespace {

// Decompresses with the system's gzip tool.
std::string gunzip(const Compression::Data& compressed) {
    TempDir dir;
    const auto file = dir.path / "body.gz";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(compressed.data()), compressed.size());
    auto result = runCommand("gzip -d -c '" + file.string() + "'");
    EXPECT_EQ(result.status, 0);
    return result.output;
}

Compression::Data bytes(const std::string& text) { return {text.begin(), text.end()}; }

} // namespace

TEST(Compression, OutputIsGzipThatTheGzipToolDecompresses) {
    std::string json;
    for (int i = 0; i < 200; ++i) json += R"({"type":"event","name":"open","sid":")" + std::to_string(i) + "\"},";
    auto compressed = Compression::compressData(bytes(json));
    ASSERT_TRUE(compressed);
    ASSERT_GE(compressed->size(), 18u);
    EXPECT_EQ((*compressed)[0], 0x1f);
    EXPECT_EQ((*compressed)[1], 0x8b);
    EXPECT_LT(compressed->size(), json.size() / 4);
    EXPECT_EQ(gunzip(*compressed), json);
}

TEST(Compression, ShortAndIncompressibleInputsStillCompress) {
    LogCapture log;
    auto tiny = Compression::compressData(bytes("a"));
    ASSERT_TRUE(tiny);
    EXPECT_EQ(gunzip(*tiny), "a");

    std::mt19937 random(7);
    std::string noise(70000, '\0');
    for (auto& c : noise) c = static_cast<char>(random());
    auto compressed = Compression::compressData(bytes(noise));
    ASSERT_TRUE(compressed);
    EXPECT_GT(compressed->size(), noise.size());
    EXPECT_EQ(gunzip(*compressed), noise);
    EXPECT_EQ(log.count("failed"), 0u);
}

TEST(Compression, EmptyInputGivesNothing) { EXPECT_FALSE(Compression::compressData({})); }
