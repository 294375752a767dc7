#include "XSession.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

using zelvo::e2e::XSession;

namespace {

// Zelvo on a private X desktop with an empty configuration, as on a first
// launch; its state comes from the file it writes after every change.
class SettingsE2ETest : public ::testing::Test {
protected:
    void SetUp() override {
        configureWindowManager();
        auto error = x.start();
        ASSERT_FALSE(error) << *error;
        stateFile = x.root() / "settings-state.json";
    }
    void TearDown() override {
        if (zelvo > 0) x.stop(zelvo);
    }
    virtual void configureWindowManager() {}

    void launch() {
        std::filesystem::remove(stateFile);
        // Nothing listens on 127.0.0.1:9: no update check or telemetry leaves the machine.
        const std::string local = "http://127.0.0.1:9/";
        zelvo = x.spawn({ZELVO_BINARY}, {{"ZELVO_DEBUG_STATE_FILE", stateFile.string()},
                                         {"ZELVO_APPCAST_URL", local + "downloads/Zelvo.xml"},
                                         {"ZELVO_LOG_URL", local},
                                         {"ZELVO_COLLECTOR_URL", local},
                                         {"BEACON_DISABLE", "1"}});
        ASSERT_GT(zelvo, 0);
        ASSERT_TRUE(waitForState([](const nlohmann::json& s) { return s.contains("apps"); })) << "no state from zelvo";
    }

    nlohmann::json state() {
        std::ifstream in(stateFile);
        if (!in) return nlohmann::json::object();
        auto parsed = nlohmann::json::parse(in, nullptr, false);
        return parsed.is_discarded() ? nlohmann::json::object() : parsed;
    }
    bool waitForState(const std::function<bool(const nlohmann::json&)>& predicate, double seconds = 10) {
        return XSession::waitFor([&] { return predicate(state()); }, seconds);
    }
    void key(const std::string& keys) {
        x.run({"xdotool", "key", "--clearmodifiers", keys});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    // Holds Control+Alt, presses K and reports whether the switcher came up;
    // letting go of the modifiers then switches and hides it.
    bool hotKeyShowsPanel() {
        // A new start grabs the hot key shortly after its windows show.
        waitForState(
            [](const nlohmann::json& s) { return s.contains("hotkey") && s["hotkey"].value("available", false); });
        x.run({"xdotool", "keydown", "ctrl+alt"});
        x.run({"xdotool", "key", "k"});
        bool shown = waitForState([](const nlohmann::json& s) { return s.value("panelVisible", false); }, 5);
        x.run({"xdotool", "keyup", "ctrl+alt"});
        return shown;
    }
    nlohmann::json preferences() {
        std::ifstream in(x.home() / ".config/zelvo/preferences.json");
        auto parsed = nlohmann::json::parse(in, nullptr, false);
        return parsed.is_discarded() ? nlohmann::json::object() : parsed;
    }

    XSession x;
    pid_t zelvo = -1;
    std::filesystem::path stateFile;
};

bool settingsVisible(const nlohmann::json& s) { return s.value("settingsVisible", false); }
bool panelVisible(const nlohmann::json& s) { return s.value("panelVisible", false); }

TEST_F(SettingsE2ETest, HotKeyRecordedInTheWelcomeWorksAtOnceAndAfterARestart) {
    launch();
    ASSERT_TRUE(waitForState(settingsVisible)) << "a first launch opens the welcome: " << state().dump();
    // Alt+G, the mnemonic of "Global hotkey:", puts the focus on the
    // recorder; the next press becomes the hot key. The window manager may
    // hand the welcome the focus a little after it shows, and keys sent
    // before that go nowhere: try again until the hot key is stored.
    // The first start stores the default, Alt+Tab, as well, so the wait is
    // for Control+Alt+K itself: K is 40, Control+Option 0x1800.
    auto storedControlAltK = [&] {
        const auto stored = preferences().value("Hotkeys_showFloatingPanel", nlohmann::json()).dump();
        return stored.find("40") != std::string::npos && stored.find("6144") != std::string::npos;
    };
    bool recorded = false;
    for (int attempt = 0; attempt < 5 && !recorded; ++attempt) {
        key("alt+g");
        key("ctrl+alt+k");
        recorded = XSession::waitFor(storedControlAltK, 3);
    }
    ASSERT_TRUE(recorded) << "the recorder never stored Control+Alt+K: " << preferences().dump();

    EXPECT_FALSE(panelVisible(state()));
    EXPECT_TRUE(hotKeyShowsPanel()) << "the recorded hot key shows the switcher at once";
    EXPECT_TRUE(waitForState([](const nlohmann::json& s) { return !panelVisible(s); }, 5));

    x.stop(zelvo);
    zelvo = -1;
    launch();
    EXPECT_TRUE(waitForState(settingsVisible, 5)) << "the welcome was not completed, so it opens again";
    EXPECT_TRUE(hotKeyShowsPanel()) << "the recorded hot key works after a restart";
}

// A window manager as installed, whose own settings bind Alt+Tab.
class StockWindowManagerE2ETest : public SettingsE2ETest,
                                  public ::testing::WithParamInterface<zelvo::e2e::WindowManager> {
protected:
    void configureWindowManager() override {
        x.windowManager = GetParam();
        x.windowManagerKeepsAltTab = true;
    }
    bool offers(const std::string& action, double seconds = 10) {
        return waitForState([&](const nlohmann::json& s) { return s.value("hotkeyAction", "") == action; }, seconds);
    }
    // Clicks the welcome's hot-key button until it offers `next`: the window
    // manager may still be placing the window when its frame is first read.
    bool clickUntilOffered(const std::string& next) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            const auto frame = state()["hotkeyActionFrame"];
            if (!frame.is_array()) return false;
            const int cx = frame[0].get<int>() + frame[2].get<int>() / 2;
            const int cy = frame[1].get<int>() + frame[3].get<int>() / 2;
            x.run({"xdotool", "mousemove", "--sync", std::to_string(cx), std::to_string(cy), "click", "1"});
            if (offers(next, 2)) return true;
        }
        return false;
    }
    bool hotkeyAvailable(bool available) {
        return waitForState([&](const nlohmann::json& s) {
            return s.contains("hotkey") && s["hotkey"].value("available", !available) == available;
        });
    }
};

TEST_P(StockWindowManagerE2ETest, WelcomeSaysItHoldsAltTabAndTakesItOverOnlyOnceAsked) {
    const auto stock = x.keySettings();
    const auto name = zelvo::e2e::ewmhName(GetParam());
    launch();
    ASSERT_TRUE(waitForState(settingsVisible)) << state().dump();
    ASSERT_TRUE(hotkeyAvailable(false)) << state().dump();
    EXPECT_EQ(state()["hotkey"].value("holder", ""), name);
    ASSERT_TRUE(offers("Take Alt+Tab Over from " + name)) << state().dump();

    ASSERT_TRUE(clickUntilOffered("Give Alt+Tab Back to " + name)) << state().dump();
    ASSERT_TRUE(hotkeyAvailable(true)) << "Zelvo grabs Alt+Tab once the window manager let go: " << state().dump();
    x.run({"xdotool", "keydown", "alt"});
    x.run({"xdotool", "key", "Tab"});
    EXPECT_TRUE(waitForState(panelVisible, 5)) << "Alt+Tab shows the switcher";
    x.run({"xdotool", "keyup", "alt"});
    ASSERT_TRUE(waitForState([](const nlohmann::json& s) { return !panelVisible(s); }, 5));

    ASSERT_TRUE(clickUntilOffered("Take Alt+Tab Over from " + name)) << state().dump();
    EXPECT_TRUE(XSession::waitFor([&] { return zelvo::e2e::altTabGrabbed(x.display()); })) << "it has Alt+Tab again";
    EXPECT_EQ(x.keySettings(), stock) << "its settings are as they were";
}

INSTANTIATE_TEST_SUITE_P(, StockWindowManagerE2ETest,
                         ::testing::Values(zelvo::e2e::WindowManager::Openbox, zelvo::e2e::WindowManager::Xfwm4),
                         [](const auto& info) { return zelvo::e2e::programName(info.param); });

} // namespace
