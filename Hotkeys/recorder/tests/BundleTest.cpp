#include "Hotkeys/recorder/Bundle.h"
#include "platform/linux/testing/RunProgram.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;
using Hotkeys::Bundle;

TEST(BundleTest, TheInstalledBundleHasEveryKey) {
    const auto& bundle = Bundle::module();
    EXPECT_EQ(bundle.path().filename(), "Hotkeys_Hotkeys.bundle");
    for (const char* key :
         {"record_shortcut", "press_shortcut", "keyboard_shortcut_used_by_menu_item",
          "keyboard_shortcut_used_by_system", "keyboard_shortcuts_can_be_changed", "ok", "force_use_shortcut"}) {
        EXPECT_NE(bundle.localized(key), key) << key;
    }
    auto menu = Hotkeys::formatLocalized(bundle.localized("keyboard_shortcut_used_by_menu_item"), "Settings");
    EXPECT_NE(menu.find("Settings"), std::string::npos) << menu;
    EXPECT_EQ(menu.find("%@"), std::string::npos);
}

TEST(BundleTest, LanguageTablesFallBackToEnglishAndThenToTheKey) {
    const zelvo::testing::TemporaryFolder folder;
    const fs::path& dir = folder.path;
    EXPECT_FALSE(Bundle::open(dir, "en"));
    fs::create_directories(dir / "en.lproj");
    fs::create_directories(dir / "de.lproj");
    std::ofstream(dir / "en.lproj" / "Localizable.json") << R"({"ok": "OK", "press_shortcut": "Press"})";
    std::ofstream(dir / "de.lproj" / "Localizable.json") << R"({"press_shortcut": "Tastenkürzel drücken"})";
    auto de = Bundle::open(dir, "de");
    ASSERT_TRUE(de);
    EXPECT_EQ(de->localized("press_shortcut"), "Tastenkürzel drücken");
    EXPECT_EQ(de->localized("ok"), "OK");
    EXPECT_EQ(de->localized("force_use_shortcut"), "force_use_shortcut");
    // A damaged table does not count as a bundle.
    std::ofstream(dir / "en.lproj" / "Localizable.json") << "{not json";
    std::ofstream(dir / "de.lproj" / "Localizable.json") << "[]";
    EXPECT_FALSE(Bundle::open(dir, "de"));

    ::setenv("LANG", "de_DE.UTF-8", 1);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    EXPECT_EQ(Bundle::userLanguage(), "de");
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(Bundle::userLanguage(), "en");
}
