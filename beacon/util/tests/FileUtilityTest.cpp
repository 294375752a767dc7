#include "beacon/util/FileUtility.h"

#include "LogCapture.h"
#include "ScopedEnv.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

using namespace beacon;
namespace fs = std::filesystem;

namespace {

class FileUtilityTest : public ::testing::Test {
protected:
    void SetUp() override { setBeaconDirectoryURL(dir.path / "store" / "beacon"); }
    void TearDown() override { setBeaconDirectoryURL({}); }
    TempDir dir;
};

FileData bytes(const std::string& text) { return {text.begin(), text.end()}; }

} // namespace

TEST_F(FileUtilityTest, CreatesWritesReadsListsAndDeletes) {
    const auto root = beaconDirectoryURL();
    EXPECT_TRUE(fs::is_directory(root));
    struct stat info {};
    ASSERT_EQ(::stat(root.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    auto path = createFileAtPathComponent("crashes/one.bin", bytes("first"), true, false);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, root / "crashes" / "one.bin");
    EXPECT_EQ(loadDataForPathComponent("crashes/one.bin"), bytes("first"));

    // An existing file is kept unless overwriting is forced; the path comes back either way.
    EXPECT_EQ(createFileAtPathComponent("crashes/one.bin", bytes("second"), false, false), path);
    EXPECT_EQ(loadDataForPathComponent("crashes/one.bin"), bytes("first"));
    EXPECT_TRUE(createFileAtPathComponent("crashes/one.bin", bytes("second"), false, true));
    EXPECT_EQ(loadDataForPathComponent("crashes/one.bin"), bytes("second"));
    EXPECT_TRUE(createFileAtPathComponent("crashes/empty", std::nullopt, true, false));
    EXPECT_EQ(loadDataForPathComponent("crashes/empty"), FileData{});

    auto entries = contentsOfDirectory("crashes");
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->size(), 2u);
    EXPECT_TRUE(fileExistsForPathComponent("crashes/empty"));
    EXPECT_EQ(fullURLForPathComponent("x/y"), root / "x" / "y");
    EXPECT_EQ(createDirectoryForPathComponent("buffer"), root / "buffer");
    EXPECT_TRUE(fs::is_directory(root / "buffer"));

    EXPECT_TRUE(deleteItemForPathComponent("crashes/one.bin"));
    EXPECT_FALSE(deleteItemForPathComponent("crashes/one.bin"));
    EXPECT_FALSE(fileExistsForPathComponent("crashes/one.bin"));
    EXPECT_TRUE(deleteFileAtURL(root / "crashes"));
    EXPECT_EQ(contentsOfDirectory("crashes"), std::nullopt);
    EXPECT_EQ(contentsOfDirectory(""), std::nullopt);
    EXPECT_EQ(loadDataForPathComponent("missing"), std::nullopt);
}

TEST_F(FileUtilityTest, RefusesComponentsOutsideTheStorageFolder) {
    LogCapture log;
    beaconDirectoryURL();
    std::ofstream(dir.path / "store" / "outside") << "keep";
    EXPECT_FALSE(createFileAtPathComponent("../outside", bytes("x"), true, true));
    EXPECT_FALSE(deleteItemForPathComponent("../outside"));
    EXPECT_FALSE(deleteItemForPathComponent((dir.path / "store" / "outside").string()));
    EXPECT_FALSE(loadDataForPathComponent("a/../../outside"));
    EXPECT_TRUE(fs::exists(dir.path / "store" / "outside"));
    EXPECT_EQ(log.count("ERROR"), 4u);
}

TEST(FileUtility, DefaultFolderIsInZelvosDataFolder) {
    TempDir dir;
    ScopedEnv data("XDG_DATA_HOME", dir.path.string());
    setBeaconDirectoryURL({});
    EXPECT_EQ(beaconDirectoryURL(), dir.path / "zelvo" / "beacon");
    EXPECT_TRUE(fs::is_directory(dir.path / "zelvo" / "beacon"));
    setBeaconDirectoryURL({});
}
