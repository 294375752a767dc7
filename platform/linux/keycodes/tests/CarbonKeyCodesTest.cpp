#include "platform/linux/keycodes/CarbonKeyCodes.h"

#include "platform/Event.h"

#include <gtest/gtest.h>

#include <map>

using namespace platform;
using namespace platform::keycodes;

TEST(CarbonKeyCodes, KeysTheSwitcherReadsMapToTheirCarbonCodes) {
    // evdev -> Carbon for the keys the delegate dispatches on.
    const std::map<unsigned, std::uint16_t> expected = {
        {15, 48}, {28, 36},  {1, 53},  {108, 125}, {103, 126},           // Tab Return Esc Down Up
        {11, 29}, {2, 18},   {3, 19},  {6, 23},    {7, 22},    {10, 25}, // 0 1 2 5 6 9
        {82, 82}, {79, 83},  {76, 87}, {73, 92},                         // keypad 0 1 5 9
        {56, 58}, {125, 55}, {42, 56}, {29, 59},                         // Alt Super Shift Ctrl
        {30, 0},  {44, 6},   {57, 49},                                   // a z space
    };
    for (auto [evdev, carbon] : expected) {
        auto got = carbonKeyCodeForEvdev(evdev);
        ASSERT_TRUE(got.has_value()) << "evdev " << evdev;
        EXPECT_EQ(*got, carbon) << "evdev " << evdev;
        EXPECT_EQ(carbonKeyCodeForX11(evdev + 8), got);
    }
    EXPECT_FALSE(carbonKeyCodeForEvdev(0).has_value());
    EXPECT_FALSE(carbonKeyCodeForEvdev(70).has_value()); // Scroll Lock has no Carbon code
    EXPECT_FALSE(carbonKeyCodeForX11(3).has_value());
}

TEST(CarbonKeyCodes, NoTwoLinuxKeysShareACarbonCodeExceptKeypadComma) {
    std::map<std::uint16_t, unsigned> seen;
    for (unsigned evdev = 0; evdev < 600; ++evdev) {
        auto code = carbonKeyCodeForEvdev(evdev);
        if (!code) continue;
        auto [it, inserted] = seen.emplace(*code, evdev);
        if (!inserted) {
            // KEY_KPJPCOMMA and KEY_KPCOMMA are both the keypad comma.
            EXPECT_EQ(*code, 95) << "evdev " << it->second << " and " << evdev << " both give " << *code;
        }
    }
    EXPECT_GT(seen.size(), 100u);
}

TEST(CarbonKeyCodes, ModifierKeysAndStateMasks) {
    EXPECT_EQ(modifierFlagForCarbonKey(58), ModifierOption);
    EXPECT_EQ(modifierFlagForCarbonKey(61), ModifierOption);
    EXPECT_EQ(modifierFlagForCarbonKey(55), ModifierCommand);
    EXPECT_EQ(modifierFlagForCarbonKey(60), ModifierShift);
    EXPECT_EQ(modifierFlagForCarbonKey(62), ModifierControl);
    EXPECT_EQ(modifierFlagForCarbonKey(48), 0u);

    EXPECT_EQ(modifierFlagsFromX11State(0x08), ModifierOption);
    EXPECT_EQ(modifierFlagsFromX11State(0x01 | 0x04 | 0x40), ModifierShift | ModifierControl | ModifierCommand);
    EXPECT_EQ(modifierFlagsFromX11State(0x10), 0u); // NumLock (Mod2) is not a modifier flag

    EXPECT_STREQ(keypadCharacters(83), "1");
    EXPECT_STREQ(keypadCharacters(92), "9");
    EXPECT_STREQ(keypadCharacters(90), ""); // F20 sits between the keypad digits
    EXPECT_TRUE(isNumericPadKey(125));
    EXPECT_FALSE(isNumericPadKey(48));
}
