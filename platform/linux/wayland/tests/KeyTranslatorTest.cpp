#include "platform/linux/wayland/KeyTranslator.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform;
using platform::wayland::KeyTranslator;

namespace {

// A virtual keyboard's keymap: positions mean nothing.
const char* kVirtualKeymap = R"(xkb_keymap {
xkb_keycodes "v" { minimum = 8; maximum = 255; <K1> = 9; <K2> = 10; <K3> = 11; <K4> = 23; };
xkb_types "v" { include "complete" };
xkb_compatibility "v" { include "complete" };
xkb_symbols "v" { key <K1> {[ Tab ]}; key <K2> {[ 3 ]}; key <K3> {[ Escape ]}; key <K4> {[ a ]}; };
};)";

constexpr std::uint32_t kShift = 0x01, kAlt = 0x08, kMod5 = 0x80;

TEST(KeyTranslatorTest, KeysAsTheX11Backend) {
    struct Case {
        const char* layout;
        std::uint32_t mods;
        std::uint32_t evdev;
        int code;
        const char* chars;
        const char* ignoring;
        std::uint64_t flags;
    };
    const Case cases[] = {
        {"us", 0, 2, 18, "1", "1", 0},
        {"fr", 0, 2, 18, "&", "1", 0},
        {"de", 0, 21, 16, "z", "z", 0},
        {"de", kMod5, 16, 12, "@", "q", 0},
        {"us", kShift, 15, 48, "", "\t", ModifierShift},
        {"us", 0, 105, 123, "", "", ModifierNumericPad},
        {"virtual", 0, 1, 48, "\t", "\t", 0},
        {"virtual", 0, 2, 20, "3", "3", 0},
        {"virtual", 0, 3, 53, "\x1b", "\x1b", 0},
        {"virtual", 0, 15, -1, "", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + " evdev " + std::to_string(c.evdev));
        KeyTranslator t;
        ASSERT_TRUE(std::string(c.layout) == "virtual" ? t.setKeymap(kVirtualKeymap, std::strlen(kVirtualKeymap) + 1)
                                                       : t.setKeymapFromNames(c.layout));
        t.updateModifiers(c.mods, 0, 0, 0);
        auto e = t.key(c.evdev, true);
        if (c.code < 0) {
            EXPECT_FALSE(e);
            continue;
        }
        ASSERT_TRUE(e);
        EXPECT_EQ(e->type, EventType::KeyDown);
        EXPECT_EQ(e->keyCode, c.code);
        EXPECT_EQ(e->characters, c.chars);
        EXPECT_EQ(e->charactersIgnoringModifiers, c.ignoring);
        EXPECT_EQ(e->modifierFlags, c.flags);
    }
}

TEST(KeyTranslatorTest, ModifierReportsOnlyWhenChanged) {
    KeyTranslator t;
    ASSERT_TRUE(t.setKeymapFromNames("de"));
    EXPECT_EQ(t.updateModifiers(0, 0, 0, 0)->modifierFlags, 0u);
    EXPECT_EQ(t.key(56, true)->modifierFlags, ModifierOption); // Alt_L down
    EXPECT_FALSE(t.updateModifiers(kAlt, 0, 0, 0));
    EXPECT_EQ(t.updateModifiers(0, 0, 0, 0)->modifierFlags, 0u);
    t.reset();
    EXPECT_TRUE(t.updateModifiers(0, 0, 0, 0));
    EXPECT_EQ(t.key(100, true)->modifierFlags, 0u); // AltGr is no Option
    EXPECT_TRUE(t.repeats(30));
    EXPECT_FALSE(t.repeats(42));
}

} // namespace
