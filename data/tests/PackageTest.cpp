// The Debian package built by CPack from the build tree: its contents, its
// computed dependencies, a desktop entry and metainfo that validate, and no
// lintian errors.
#include "platform/linux/testing/RunProgram.h"
#include "data/tests/InstallTree.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace zelvo::testing;

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

TEST(Package, DebHoldsTheInstallTreeAndValidates) {
    TemporaryFolder out;
    auto cpack = runProgram({CPACK_COMMAND, "--config", ZELVO_BUILD_DIR "/CPackConfig.cmake", "-B", out.path.string()});
    ASSERT_EQ(cpack.status, 0) << cpack.out << cpack.err;
    const auto arch = trimmed(runProgram({"dpkg", "--print-architecture"}).out);
    const auto deb = out.path / ("zelvo_" ZELVO_VERSION "_" + arch + ".deb");
    ASSERT_TRUE(fs::is_regular_file(deb)) << cpack.out;

    auto listing = runProgram({"dpkg-deb", "-c", deb.string()});
    ASSERT_EQ(listing.status, 0) << listing.err;
    for (const auto& file : installedFiles(ZELVO_APP_ID))
        EXPECT_NE(listing.out.find(" ./usr/" + file + "\n"), std::string::npos) << file << "\n" << listing.out;

    // Depends comes from dpkg-shlibdeps: versioned entries of the libraries
    // the programs link.
    auto depends = runProgram({"dpkg-deb", "-f", deb.string(), "Depends"});
    for (const char* library : {"libc6 (>= ", "libqt6widgets6 (>= ", "libxcb1 (>= "})
        EXPECT_NE(depends.out.find(library), std::string::npos) << library << " in " << depends.out;

    const auto root = out.path / "root";
    ASSERT_EQ(runProgram({"dpkg-deb", "-x", deb.string(), root.string()}).status, 0);
    auto desktop =
        runProgram({"desktop-file-validate", (root / "usr/share/applications" / ZELVO_APP_ID ".desktop").string()});
    EXPECT_EQ(desktop.status, 0) << desktop.out << desktop.err;
    EXPECT_EQ(desktop.out + desktop.err, "");
    auto metainfo = runProgram({"appstreamcli", "validate", "--no-net", "--pedantic",
                                (root / "usr/share/metainfo" / ZELVO_APP_ID ".metainfo.xml").string()});
    EXPECT_EQ(metainfo.status, 0) << metainfo.out << metainfo.err;

    auto lintian = runProgram({"lintian", "--fail-on", "error", deb.string()});
    EXPECT_EQ(lintian.status, 0) << lintian.out << lintian.err;
}

} // namespace
