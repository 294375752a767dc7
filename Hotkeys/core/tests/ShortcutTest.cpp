#include "Hotkeys/testing/HotkeysFixture.h"

#include "Hotkeys/core/tests/Events.h"
#include "Hotkeys/core/tests/FakeMenu.h"
#include "Hotkeys/core/Shortcut.h"

using namespace Hotkeys;

namespace {

struct ScriptedSystemHotKeys : SymbolicHotKeys {
    std::optional<platform::Value> list;
    std::optional<platform::Value> copySymbolicHotKeys() const override { return list; }
};

constexpr std::uint64_t kCmdFlag = platform::ModifierCommand, kShiftFlag = platform::ModifierShift;

} // namespace

using ShortcutModel = HotkeysTest;

TEST_F(ShortcutModel, ModifierConversionKeepsOnlyTheFourKnownBits) {
    EXPECT_EQ(EventModifiers::fromCarbon(0x1000 | 0x800 | 0x200 | 0x100 | 0x400 | 0x1).rawValue,
              std::uint64_t(0x40000 | 0x80000 | 0x20000 | 0x100000));
    EventModifiers flags(platform::ModifierOption | platform::ModifierCapsLock | platform::ModifierFunction |
                         platform::ModifierNumericPad | 0x1);
    EXPECT_EQ(flags.carbonValue(), 0x800);

    // Construction normalises; decoding keeps what was stored.
    Shortcut built(48, 0x800 | 0x400);
    EXPECT_EQ(built.carbonModifiers, 0x800);
    auto decoded = Shortcut::fromJson(R"({"carbonKeyCode":48,"carbonModifiers":3072})");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->carbonModifiers, 3072);
    EXPECT_NE(*decoded, built);

    Shortcut defaultHotKey(Key::tab, EventModifiers(platform::ModifierOption));
    EXPECT_EQ(defaultHotKey, Shortcut(48, 2048));
    EXPECT_EQ(std::hash<Shortcut>{}(defaultHotKey), std::hash<Shortcut>{}(Shortcut(48, 2048)));
}

TEST_F(ShortcutModel, FromEventTakesOnlyKeyEventsAndRelevantModifiersDropLocks) {
    EXPECT_FALSE(Shortcut::fromEvent(makeEvent(platform::EventType::FlagsChanged, 58)));
    const auto e =
        makeEvent(platform::EventType::KeyUp, 0, platform::ModifierCommand | platform::ModifierCapsLock | 0x108);
    auto s = Shortcut::fromEvent(e);
    ASSERT_TRUE(s);
    EXPECT_EQ(*s, Shortcut(0, 0x100));
    EXPECT_EQ(relevantModifiers(e).rawValue, std::uint64_t(platform::ModifierCommand));
}

TEST_F(ShortcutModel, DescriptionAndDisplayNameUseFixedSymbolOrderGlyphsLayoutAndLinuxKeyNames) {
    EventModifiers all(platform::ModifierCommand | platform::ModifierShift | platform::ModifierControl |
                       platform::ModifierOption | platform::ModifierFunction);
    EXPECT_EQ(all.modifierSymbols(), "⌃⌥⇧⌘🌐︎");

    const struct {
        Shortcut shortcut;
        const char* description; // null: not checked
        const char* displayName;
    } cases[] = {
        {Shortcut(Key::tab, EventModifiers(platform::ModifierOption)), "⌥⇥", "Alt+Tab"},
        {Shortcut(Key::a, EventModifiers(kCmdFlag | kShiftFlag)), "⇧⌘A", "Shift+Super+A"},
        {Shortcut(Key::space, EventModifiers(platform::ModifierControl)), "⌃Space", "Ctrl+Space"},
        {Shortcut(Key::returnKey, EventModifiers(platform::ModifierControl | platform::ModifierOption)), nullptr,
         "Ctrl+Alt+Return"},
        {Shortcut(Key::f5), "F5", "F5"},
        {Shortcut(Key::keypad7, EventModifiers(kCmdFlag)), "⌘7\u20E3", "Super+Keypad 7"},
        {Shortcut(Key::backtick, EventModifiers(platform::ModifierOption)), nullptr, "Alt+`"},
        // Nothing in the glyph table and nothing from the layout.
        {Shortcut(Key::mute, EventModifiers(kCmdFlag)), "⌘\uFFFD", "Super+\uFFFD"},
    };
    for (const auto& c : cases) {
        if (c.description) {
            EXPECT_EQ(c.shortcut.description(), c.description) << c.displayName;
        }
        EXPECT_EQ(c.shortcut.displayName(), c.displayName);
    }
    EXPECT_EQ(Shortcut(Key::a).keyCharacter(), "a");

    // Without a layout service letters have no text; glyphs still do.
    Hotkeys::install({});
    EXPECT_EQ(Shortcut(Key::a, EventModifiers(kCmdFlag)).description(), "⌘\uFFFD");
    EXPECT_EQ(Shortcut(Key::returnKey).description(), "↩");
}

TEST_F(ShortcutModel, MenuKeyEquivalentFallsBackToTableForLongTexts) {
    EXPECT_EQ(Shortcut(Key::a).menuKeyEquivalent(), "a");
    EXPECT_EQ(Shortcut(Key::returnKey).menuKeyEquivalent(), "↩");
    EXPECT_EQ(Shortcut(Key::keypadEnter).menuKeyEquivalent(), "↩\u20E3");
    EXPECT_EQ(Shortcut(Key::help).menuKeyEquivalent(), "?\u20DD");
    EXPECT_EQ(Shortcut(Key::space).menuKeyEquivalent(), " ");
    EXPECT_EQ(Shortcut(Key::f1).menuKeyEquivalent(), "\uF704");
    EXPECT_EQ(Shortcut(Key::f20).menuKeyEquivalent(), "\uF717");
    EXPECT_EQ(Shortcut(Key::mute).menuKeyEquivalent(), "");
}

TEST_F(ShortcutModel, JsonIsCompactOrderedAndStrictOnTypes) {
    EXPECT_EQ(Shortcut(48, 2048).toJson(), R"({"carbonKeyCode":48,"carbonModifiers":2048})");
    EXPECT_EQ(Shortcut::fromJson(R"({ "carbonModifiers" : 256, "carbonKeyCode" : 0 })"), Shortcut(0, 256));
    EXPECT_EQ(Shortcut::fromJson(R"({"carbonKeyCode":-1,"carbonModifiers":0,"extra":true})"),
              Shortcut::unnormalized(-1, 0));
    for (const char* bad :
         {R"({"carbonKeyCode":48})", R"({"carbonKeyCode":"48","carbonModifiers":0})",
          R"({"carbonKeyCode":48.5,"carbonModifiers":0})", R"({"carbonKeyCode":48,"carbonModifiers":null})",
          R"({"carbonKeyCode":18446744073709551615,"carbonModifiers":0})", "[48,2048]", "false", "", "{"})
        EXPECT_FALSE(Shortcut::fromJson(bad)) << bad;
}

TEST_F(ShortcutModel, ConflictingMenuItemMatchesCaseAsShiftAndSearchesSubmenus) {
    FakeMenu menu;
    menu.add("q", kCmdFlag | platform::ModifierOption);   // extra modifier: no match
    menu.add("a", kCmdFlag | platform::ModifierFunction); // extra function flag: no match
    auto& file = menu.add("", 0);
    file.sub = std::make_shared<FakeMenu>();
    auto& quit = file.sub->add("Q", kCmdFlag);
    auto& lower = menu.add("q", kCmdFlag | kShiftFlag);

    const Shortcut shiftCmdQ(Key::q, EventModifiers(kCmdFlag | kShiftFlag));
    EXPECT_EQ(shiftCmdQ.conflictingMenuItem(menu), &quit);
    file.sub->entries.clear();
    EXPECT_EQ(shiftCmdQ.conflictingMenuItem(menu), &lower);
    // Without Shift in the shortcut an upper-case equivalent is not lowered.
    FakeMenu upperOnly;
    upperOnly.add("Q", kCmdFlag);
    EXPECT_EQ(Shortcut(Key::q, EventModifiers(kCmdFlag)).conflictingMenuItem(upperOnly), nullptr);
    EXPECT_EQ(Shortcut(Key::a, EventModifiers(kCmdFlag)).conflictingMenuItem(menu), nullptr);
}

TEST_F(ShortcutModel, EnabledSystemShortcutsSkipsMalformedEntries) {
    ScriptedSystemHotKeys system;
    Services s = services();
    s.symbolicHotKeys = &system;
    install(s);
    EXPECT_TRUE(enabledSystemShortcuts().empty()); // the list cannot be read

    using D = platform::Value::Dictionary;
    system.list = platform::Value(platform::Value::Array{
        D{{"kHISymbolicHotKeyEnabled", true}, {"kHISymbolicHotKeyCode", 49}, {"kHISymbolicHotKeyModifiers", 0x1100}},
        D{{"kHISymbolicHotKeyEnabled", false}, {"kHISymbolicHotKeyCode", 1}, {"kHISymbolicHotKeyModifiers", 0}},
        D{{"kHISymbolicHotKeyCode", 2}, {"kHISymbolicHotKeyModifiers", 0}},
        D{{"kHISymbolicHotKeyEnabled", 1}, {"kHISymbolicHotKeyCode", 3}, {"kHISymbolicHotKeyModifiers", 0}},
        D{{"kHISymbolicHotKeyEnabled", true}, {"kHISymbolicHotKeyCode", "4"}, {"kHISymbolicHotKeyModifiers", 0}},
        D{{"kHISymbolicHotKeyEnabled", true}, {"kHISymbolicHotKeyCode", 5}, {"kHISymbolicHotKeyModifiers", 1.0}},
        D{{"kHISymbolicHotKeyEnabled", true}, {"kHISymbolicHotKeyCode", 48}, {"kHISymbolicHotKeyModifiers", 0x900}},
    });
    EXPECT_EQ(enabledSystemShortcuts(), (std::vector<Shortcut>{Shortcut(49, 0x1100), Shortcut(48, 0x900)}));

    system.list = platform::Value(platform::Value::Array{platform::Value(3)});
    EXPECT_TRUE(enabledSystemShortcuts().empty());
}
