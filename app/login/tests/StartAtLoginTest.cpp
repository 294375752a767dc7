#include "app/login/StartAtLogin.h"
#include "app/login/XdgAutostart.h"
#include "platform/linux/testing/RunProgram.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using app::StartAtLogin;
using app::XdgAutostart;
using zelvo::testing::readWholeFile;
using zelvo::testing::writeWholeFile;

namespace {

// Each test runs with its own empty XDG_CONFIG_HOME and the default registry
// (the autostart entry of this test program).
class StartAtLoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
        StartAtLogin::setService(nullptr);
        StartAtLogin::setLogger([this](const std::string& line) { logged_.push_back(line); });
    }
    void TearDown() override { StartAtLogin::setLogger(nullptr); }
    fs::path entry() const { return home_ / "autostart" / "com.zelvo.Zelvo.desktop"; }

    const zelvo::testing::TemporaryFolder folder_;
    const fs::path& home_ = folder_.path;
    std::vector<std::string> logged_;
};

TEST_F(StartAtLoginTest, EnableWritesTheAutostartEntryRewritesAStaleOneAndDisableRemovesIt) {
    EXPECT_FALSE(StartAtLogin::enabled());

    StartAtLogin::setEnabled(true);
    ASSERT_TRUE(fs::exists(entry()));
    EXPECT_TRUE(StartAtLogin::enabled());
    EXPECT_TRUE(StartAtLogin::shared().enabled());
    const auto text = readWholeFile(entry());
    EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(text.find("Type=Application\n"), std::string::npos);
    EXPECT_NE(text.find("Icon=com.zelvo.Zelvo\n"), std::string::npos);
    EXPECT_NE(text.find("Exec=" + XdgAutostart::execValue(app::currentExecutable()) + "\n"), std::string::npos);
    // No temporary file is left behind by the atomic write.
    EXPECT_EQ(std::distance(fs::directory_iterator(entry().parent_path()), fs::directory_iterator()), 1);

    // Enabling again rewrites a stale entry.
    writeWholeFile(entry(), text + "Name[de]=Alt\n");
    ASSERT_TRUE(StartAtLogin::enabled());
    StartAtLogin::setEnabled(true);
    EXPECT_TRUE(StartAtLogin::enabled());
    EXPECT_EQ(readWholeFile(entry()), text);

    StartAtLogin::shared().setEnabled(false);
    EXPECT_FALSE(fs::exists(entry()));
    EXPECT_FALSE(StartAtLogin::enabled());
    EXPECT_TRUE(logged_.empty());
}

TEST_F(StartAtLoginTest, EntriesNotInEffectReadAsDisabled) {
    const auto exec = "Exec=" + XdgAutostart::execValue(app::currentExecutable()) + "\n";
    struct Case {
        const char* what;
        std::string text;
        bool enabled;
    } cases[] = {
        {"ours", "[Desktop Entry]\nType=Application\n" + exec, true},
        {"hidden", "[Desktop Entry]\nType=Application\nHidden=true\n" + exec, false},
        {"off for GNOME", "[Desktop Entry]\nType=Application\nX-GNOME-Autostart-enabled=false\n" + exec, false},
        {"on for GNOME", "[Desktop Entry]\nType=Application\nX-GNOME-Autostart-enabled=true\n" + exec, true},
        {"another program", "[Desktop Entry]\nType=Application\nExec=/usr/bin/true\n", false},
        {"no Exec", "[Desktop Entry]\nType=Application\n", false},
        {"not an application", "[Desktop Entry]\nType=Link\n" + exec, false},
        {"no main group", "Type=Application\n" + exec, false},
        {"Exec in another group", "[Desktop Entry]\nType=Application\n[Desktop Action x]\n" + exec, false},
        {"unterminated quote", "[Desktop Entry]\nType=Application\nExec=\"/usr/bin/zelvo\n", false},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        writeWholeFile(entry(), c.text);
        EXPECT_EQ(StartAtLogin::enabled(), c.enabled) << c.what;
    }
}

TEST_F(StartAtLoginTest, TheEntryStartsTheInstalledProgramNotATemporaryOne) {
    struct Case {
        const char* what;
        std::string procExe; // what /proc/self/exe reads
        const char* appImage;
        std::string expected;
    } cases[] = {
        {"installed", "/usr/bin/zelvo", nullptr, "/usr/bin/zelvo"},
        {"replaced by an upgrade while running", "/usr/bin/zelvo (deleted)", nullptr, "/usr/bin/zelvo"},
        {"an AppImage, mounted for this run", "/tmp/.mount_ZelvoAb12/usr/bin/zelvo", "/home/u/Apps/Zelvo.AppImage",
         "/home/u/Apps/Zelvo.AppImage"},
        {"a relative APPIMAGE value is ignored", "/usr/bin/zelvo", "Zelvo.AppImage", "/usr/bin/zelvo"},
    };
    for (const auto& c : cases) EXPECT_EQ(app::launchableExecutable(c.procExe, c.appImage), c.expected) << c.what;

    // A path with a space survives the trip through the entry.
    XdgAutostart spaced(XdgAutostart::Options{"zelvo", "Zelvo", "/opt/My Apps/zelvo", home_});
    ASSERT_TRUE(spaced.registerItem().ok);
    EXPECT_NE(readWholeFile(spaced.entryPath()).find("Exec=\"/opt/My Apps/zelvo\"\n"), std::string::npos);
    EXPECT_TRUE(spaced.isEnabled());
}

TEST_F(StartAtLoginTest, ExecValuesRoundTripAwkwardPaths) {
    for (std::string path : {"/usr/bin/zelvo", "/opt/My Apps/zelvo", "/home/a\"b/$x/`y`/back\\slash/zelvo",
                             "/tmp/100%/zelvo", "/tmp/tab\there/zelvo"}) {
        auto value = XdgAutostart::execValue(path);
        EXPECT_EQ(value.find('\t'), std::string::npos) << value;
        EXPECT_EQ(XdgAutostart::execProgram(value), path) << value;
    }
    EXPECT_EQ(XdgAutostart::execValue("/opt/My Apps/zelvo"), "\"/opt/My Apps/zelvo\"");
    EXPECT_EQ(XdgAutostart::execValue("/tmp/100%/zelvo"), "/tmp/100%%/zelvo");
    EXPECT_EQ(XdgAutostart::execProgram("/usr/bin/zelvo --flag %U"), "/usr/bin/zelvo");
    EXPECT_EQ(XdgAutostart::execProgram("\"/opt/a b/zelvo\" --hidden"), "/opt/a b/zelvo");
    EXPECT_EQ(XdgAutostart::execProgram(""), std::nullopt);
}

TEST_F(StartAtLoginTest, FailuresAreLoggedAndReadBackFromTheRegistry) {
    // A regular file where the autostart folder belongs: the entry cannot be
    // written (tests run as root, so permissions alone would not stop it).
    writeWholeFile(home_ / "autostart", "not a folder");
    StartAtLogin::setEnabled(true);
    ASSERT_EQ(logged_.size(), 1u);
    EXPECT_EQ(logged_[0].rfind("Failed to enable launch at login: cannot create " + (home_ / "autostart").string(), 0),
              0u)
        << logged_[0];
    EXPECT_NE(logged_[0].find("Not a directory"), std::string::npos) << logged_[0];
    EXPECT_FALSE(StartAtLogin::enabled());

    // An entry that cannot be removed: a non-empty folder in its place.
    fs::remove(home_ / "autostart");
    writeWholeFile(entry() / "keep", "x");
    StartAtLogin::setEnabled(false);
    ASSERT_EQ(logged_.size(), 2u);
    EXPECT_EQ(logged_[1].rfind("Failed to disable launch at login: cannot remove " + entry().string(), 0), 0u)
        << logged_[1];
    EXPECT_FALSE(StartAtLogin::enabled());

    // Disabling when nothing is registered is not a failure.
    fs::remove_all(home_ / "autostart");
    StartAtLogin::setEnabled(false);
    EXPECT_EQ(logged_.size(), 2u);
}

TEST_F(StartAtLoginTest, ObserversHearOfAChangeBeforeItHappens) {
    std::vector<bool> seen;
    auto id = StartAtLogin::shared().addWillChangeObserver([&] { seen.push_back(StartAtLogin::enabled()); });
    StartAtLogin::shared().setEnabled(true);
    StartAtLogin::shared().setEnabled(false);
    StartAtLogin::shared().removeObserver(id);
    StartAtLogin::shared().setEnabled(true);
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

} // namespace
