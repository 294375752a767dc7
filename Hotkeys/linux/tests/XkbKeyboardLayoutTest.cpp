#include "Hotkeys/core/Services.h"
#include "Hotkeys/core/Shortcut.h"
#include "Hotkeys/linux/XkbKeyboardLayout.h"

#include <gtest/gtest.h>

using namespace Hotkeys;
using Hotkeys::x11::XkbKeyboardLayout;

namespace {

class KeyNames : public ::testing::Test {
protected:
    void use(const std::string& layoutName) {
        layout = XkbKeyboardLayout::fromNames(layoutName);
        ASSERT_TRUE(layout) << layoutName;
        Services s;
        s.keyboardLayout = layout.get();
        install(s);
    }
    void TearDown() override { install({}); }
    std::unique_ptr<XkbKeyboardLayout> layout;
};

constexpr std::uint64_t kCmd = platform::ModifierCommand;

} // namespace

TEST_F(KeyNames, UsLayoutNamesKeysByPosition) {
    use("us");
    EXPECT_EQ(Shortcut(Key::a).keyCharacter(), "a");
    EXPECT_EQ(Shortcut(Key::a, EventModifiers(kCmd | platform::ModifierShift)).description(), "⇧⌘A");
    EXPECT_EQ(Shortcut(Key::z).keyCharacter(), "z");
    EXPECT_EQ(Shortcut(Key::semicolon).keyCharacter(), ";");
    EXPECT_EQ(Shortcut(Key::backtick).keyCharacter(), "`");
    EXPECT_EQ(Shortcut(Key::one).keyCharacter(), "1");
    EXPECT_EQ(Shortcut(Key::tab, EventModifiers(platform::ModifierOption)).description(), "⌥⇥");
    EXPECT_EQ(Shortcut(Key::option).keyCharacter(), ""); // a modifier types nothing
    EXPECT_EQ(Shortcut(Key::a, EventModifiers(kCmd)).menuKeyEquivalent(), "a");
    EXPECT_FALSE(Shortcut(127, 0).keyCharacter()); // no such key
}

TEST_F(KeyNames, GermanLayoutSwapsYZAndHasUmlautsAndDeadKeys) {
    use("de");
    EXPECT_EQ(Shortcut(Key::y).keyCharacter(), "z");
    EXPECT_EQ(Shortcut(Key::z).keyCharacter(), "y");
    EXPECT_EQ(Shortcut(Key::semicolon, EventModifiers(kCmd)).description(), "⌘Ö");
    EXPECT_EQ(Shortcut(Key::leftBracket).keyCharacter(), "ü");
    EXPECT_EQ(Shortcut(Key::minus).keyCharacter(), "ß");
    // The key left of 1 is a dead circumflex: it has no text of its own.
    EXPECT_EQ(Shortcut(Key::backtick).keyCharacter(), "");
    EXPECT_EQ(Shortcut(Key::backtick, EventModifiers(kCmd)).description(), "⌘");
    EXPECT_EQ(Shortcut(Key::backtick).menuKeyEquivalent(), "");
    // Glyph-table keys do not depend on the layout.
    EXPECT_EQ(Shortcut(Key::space, EventModifiers(platform::ModifierControl)).description(), "⌃Space");
}
