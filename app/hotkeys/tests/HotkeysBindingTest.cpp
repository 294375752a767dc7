#include "app/hotkeys/HotkeysBinding.h"

#include "Hotkeys/testing/HotkeysFixture.h"
#include "platform/Event.h"

#include <gtest/gtest.h>

namespace {

class Binding : public HotkeysTest {
protected:
    std::vector<std::string> messages;
    app::HotkeysBinding binding{
        [this](const std::string& title, const std::string& text) { messages.push_back(title + ": " + text); }};
};

} // namespace

TEST_F(Binding, DefaultHotKeyIsStoredRegisteredAndPressed) {
    int shown = 0;
    binding.addKeyDownHandler("showFloatingPanel", app::HotkeyShortcut{48, 0x800}, [&] { ++shown; });
    EXPECT_EQ(defaults.stringForKey("Hotkeys_showFloatingPanel"), R"({"carbonKeyCode":48,"carbonModifiers":2048})");
    EXPECT_EQ(service.press(48, 0x800), Hotkeys::noErr);
    EXPECT_EQ(shown, 1);
    auto stored = binding.storedShortcut("showFloatingPanel");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->eventModifiers, std::uint64_t(platform::ModifierOption));
    EXPECT_EQ(stored->description, "Alt+Tab");
    EXPECT_TRUE(messages.empty());

    defaults.set("Hotkeys_showFloatingPanel", false); // cleared by the user
    EXPECT_FALSE(binding.storedShortcut("showFloatingPanel"));
}

TEST_F(Binding, HotKeyHeldByAnotherProgramIsReportedOnce) {
    service.takeCombination(48, 0x800);
    binding.addKeyDownHandler("showFloatingPanel", app::HotkeyShortcut{48, 0x800}, [] {});
    binding.addKeyDownHandler("showFloatingPanel", app::HotkeyShortcut{48, 0x800}, [] {});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Alt+Tab"), std::string::npos);
    EXPECT_NE(messages[0].find("Settings"), std::string::npos);
    // Nothing else changes: the shortcut stays stored.
    EXPECT_TRUE(binding.storedShortcut("showFloatingPanel"));
}
