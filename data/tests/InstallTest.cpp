// `cmake --install` of the build tree into a fresh prefix: the whole tree is
// there, the installed programs run, and nothing in it points back into the
// build tree.
#include "platform/linux/testing/RunProgram.h"
#include "data/tests/InstallTree.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace zelvo::testing;

// Width and height from a PNG's IHDR chunk; {0, 0} when it is no PNG.
std::pair<int, int> pngSize(const fs::path& file) {
    const std::string bytes = readWholeFile(file);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0 || bytes.compare(12, 4, "IHDR") != 0) return {0, 0};
    auto be32 = [&](std::size_t at) {
        int v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

TEST(Install, PutsTheWholeTreeUnderTheGivenPrefix) {
    TemporaryFolder prefix;
    auto install =
        runProgram({CMAKE_COMMAND, "--install", ZELVO_BUILD_DIR, "--prefix", prefix.path.string(), "--strip"});
    ASSERT_EQ(install.status, 0) << install.out << install.err;

    for (const auto& file : installedFiles(ZELVO_APP_ID)) EXPECT_TRUE(fs::is_regular_file(prefix.path / file)) << file;
    for (int size : kIconSizes) {
        auto png = prefix.path / ("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                                  "/apps/" ZELVO_APP_ID ".png");
        EXPECT_EQ(pngSize(png), std::make_pair(size, size)) << png;
    }

    // One application id: the desktop entry names the installed icon and
    // program, the metainfo launches that desktop entry.
    const auto desktop = readWholeFile(prefix.path / "share/applications/" ZELVO_APP_ID ".desktop");
    EXPECT_NE(desktop.find("\nIcon=" ZELVO_APP_ID "\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nExec=zelvo\n"), std::string::npos) << desktop;
    const auto metainfo = readWholeFile(prefix.path / "share/metainfo/" ZELVO_APP_ID ".metainfo.xml");
    EXPECT_NE(metainfo.find("<id>" ZELVO_APP_ID "</id>"), std::string::npos);
    EXPECT_NE(metainfo.find(">" ZELVO_APP_ID ".desktop</launchable>"), std::string::npos);

    auto version = runProgram({(prefix.path / "bin/zelvo").string(), "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "zelvo " ZELVO_VERSION "\n");
    auto help = runProgram({(prefix.path / "bin/zelvo-crashreport").string(), "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: zelvo-crashreport", 0), 0u) << help.out;

    // The installed files never name the build tree (a run path or a data
    // folder there would break as soon as the build tree is gone).
    for (const auto& entry : fs::recursive_directory_iterator(prefix.path)) {
        if (!entry.is_regular_file()) continue;
        EXPECT_EQ(readWholeFile(entry.path()).find(ZELVO_BUILD_DIR), std::string::npos) << entry.path();
    }
}

} // namespace
