// Zelvo on a wlroots compositor: headless sway, three foot terminals, and the
// installed zelvo started with no X server, its hot key bound in sway to
// `zelvo --show`.
#include "SwaySession.h"
#include "VirtualPointer.h"
#include "ZelvoSession.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>

using namespace zelvo::e2e;
namespace fs = std::filesystem;

namespace {

// The pixel in the middle of a binary PPM image (what grim writes).
std::optional<std::array<unsigned char, 3>> centrePixel(const std::string& ppm) {
    std::istringstream in(ppm);
    std::string magic;
    int width = 0, height = 0, maximum = 0;
    if (!(in >> magic >> width >> height >> maximum) || magic != "P6" || width <= 0 || height <= 0) return {};
    const std::size_t start = std::size_t(in.tellg()) + 1;
    const std::size_t at = start + (std::size_t(height / 2) * std::size_t(width) + std::size_t(width / 2)) * 3;
    if (at + 3 > ppm.size()) return {};
    return std::array<unsigned char, 3>{(unsigned char)ppm[at], (unsigned char)ppm[at + 1], (unsigned char)ppm[at + 2]};
}

class WaylandZelvo : public ::testing::Test {
protected:
    // One installation for every case.
    static void SetUpTestSuite() {
        prefix_ = SwaySession::installForSession(CMAKE_COMMAND, ZELVO_BUILD_DIR);
        ASSERT_FALSE(prefix_.empty()) << "cmake --install failed";
    }
    static void TearDownTestSuite() { fs::remove_all(prefix_); }

    void SetUp() override {
        zelvoBinary = (prefix_ / "bin/zelvo").string();
        auto config = sway.home() / ".config/zelvo";
        fs::create_directories(config);
        // Past the first-run welcome; the list sorted by name.
        std::ofstream(config / "preferences.json") << R"({"WelcomePassed": true, "sortingCriterion": 1})";
        auto error = sway.start("bindsym Mod1+Tab exec " + zelvoBinary + " --show");
        ASSERT_FALSE(error) << *error;
        for (const char* appId : {"alpha", "bravo", "charlie"}) ASSERT_TRUE(sway.startTerminal(appId)) << appId;
        stateFile = sway.root() / "state.json";
        zelvo = sway.spawn({zelvoBinary}, {{"ZELVO_DEBUG_STATE_FILE", stateFile.string()}});
        ASSERT_GT(zelvo, 0);
        ASSERT_TRUE(waitForState([](const auto& s) { return listedNamesIn(s).size() == 3; }))
            << "no three applications from zelvo: " << state().dump();
    }
    void TearDown() override {
        if (zelvo > 0) {
            EXPECT_TRUE(sway.isRunning(zelvo)) << "zelvo ended during the test";
        }
    }

    nlohmann::json state() { return readStateFile(stateFile); }
    bool waitForState(const std::function<bool(const nlohmann::json&)>& predicate, double seconds = 10) {
        return XSession::waitFor([&] { return predicate(state()); }, seconds);
    }

    static inline fs::path prefix_;
    SwaySession sway;
    std::string zelvoBinary;
    fs::path stateFile;
    pid_t zelvo = -1;
};

TEST_F(WaylandZelvo, ListsTheToplevelsByAppIdInNameAndMostRecentOrder) {
    EXPECT_EQ(listedNamesIn(state()), (std::vector<std::string>{"alpha", "bravo", "charlie"}));
    for (const auto& app : state()["apps"]) EXPECT_EQ(app["bundleIdentifier"], app["name"]);

    // Most recent first once the order follows activation: focus moves
    // through sway, the list follows.
    sway.swaymsg({"[app_id=bravo]", "focus"});
    sway.swaymsg({"[app_id=alpha]", "focus"});
    // Stopped first: a quitting zelvo writes its own preferences.
    sway.stop(zelvo);
    std::ofstream(sway.home() / ".config/zelvo/preferences.json")
        << R"({"WelcomePassed": true, "sortingCriterion": 0})";
    zelvo = sway.spawn({zelvoBinary}, {{"ZELVO_DEBUG_STATE_FILE", stateFile.string()}});
    ASSERT_TRUE(
        waitForState([&](const auto& s) { return s.value("pid", 0) == zelvo && listedNamesIn(s).size() == 3; }));
    sway.swaymsg({"[app_id=charlie]", "focus"});
    sway.swaymsg({"[app_id=bravo]", "focus"});
    EXPECT_TRUE(waitForState([](const auto& s) {
        auto names = listedNamesIn(s);
        return names.size() == 3 && names[0] == "bravo" && names[1] == "charlie";
    })) << state().dump();
}

TEST_F(WaylandZelvo, ShowReachesTheRunningInstanceAsAnOverlayPanel) {
    // What sway runs for Alt+Tab, and what a user can type: with no
    // modifier held the panel comes and, the keys let go, switches at once.
    ASSERT_EQ(sway.focusedAppId(), "charlie");
    EXPECT_EQ(sway.run({zelvoBinary, "--show"}).status, 0);
    EXPECT_TRUE(XSession::waitFor([&] { return sway.focusedAppId() == "bravo"; })) << sway.focusedAppId();

    // Held open by Alt, the panel is on screen (an overlay, not a window in
    // sway's tree) and holds the keyboard.
    sway.spawn({"wtype", "-M", "alt", "-P", "Tab", "-p", "Tab", "-s", "3000", "-m", "alt"});
    ASSERT_TRUE(waitForState([](const auto& s) { return s.value("keyboardGrabbed", false); })) << state().dump();
    EXPECT_EQ(sway.swaymsg({"-t", "get_tree"}).find("com.zelvo.Zelvo"), std::string::npos)
        << "the panel is no toplevel";
    // The screenshot's centre is the panel's light background, not the
    // terminals' black.
    auto centre = centrePixel(sway.run({"grim", "-t", "ppm", "-"}).output);
    ASSERT_TRUE(centre) << "no screenshot";
    EXPECT_GT((*centre)[0] + (*centre)[1] + (*centre)[2], 3 * 128) << int((*centre)[0]);
}

TEST_F(WaylandZelvo, KeysInThePanelSwitchAsOnX11) {
    // The rows by name: alpha 0, bravo 1, charlie 2; charlie is focused, the
    // panel opens on row 1.
    struct Case {
        const char* name;
        std::vector<std::string> keys; // one wtype sequence, Alt held from the start
        const char* focused;
    } cases[] = {
        {"a quick Alt+Tab", {"-P", "Tab", "-p", "Tab"}, "bravo"},
        {"Alt held, two Tabs, released", {"-P", "Tab", "-p", "Tab", "-s", "400", "-P", "Tab", "-p", "Tab"}, "charlie"},
        {"a digit", {"-P", "Tab", "-p", "Tab", "-s", "400", "0"}, "alpha"},
        {"Escape hides without switching", {"-P", "Tab", "-p", "Tab", "-s", "400", "-k", "Escape"}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sway.swaymsg({"[app_id=charlie]", "focus"});
        ASSERT_TRUE(XSession::waitFor([&] { return sway.focusedAppId() == "charlie"; }));
        std::vector<std::string> command{"wtype", "-M", "alt"};
        command.insert(command.end(), c.keys.begin(), c.keys.end());
        for (const char* rest : {"-s", "300", "-m", "alt"}) command.push_back(rest);
        ASSERT_EQ(sway.run(command).status, 0);
        EXPECT_TRUE(waitForState([](const auto& s) { return !s.value("panelVisible", true); })) << state().dump();
        const std::string expected = c.focused ? c.focused : "charlie";
        EXPECT_TRUE(XSession::waitFor([&] { return sway.focusedAppId() == expected; }, 3)) << sway.focusedAppId();
    }
}

// Typing narrows the rows and Ctrl+W closes the highlighted toplevel, as on
// X11, through the foreign-toplevel handles.
TEST_F(WaylandZelvo, TypingFiltersTheRowsAndCtrlWClosesTheHighlightedToplevel) {
    // wtype numbers the keys of its keymap in the order it first uses them,
    // from evdev code 0: sixteen unused function keys first put the letters
    // on letter keys (evdev 17 on) rather than Escape and the digit row.
    auto typing = [](std::vector<std::string> keys) {
        std::vector<std::string> command{"wtype"};
        for (int f = 13; f <= 28; ++f) command.insert(command.end(), {"-k", "F" + std::to_string(f)});
        command.insert(command.end(), {"-M", "alt", "-P", "Tab", "-p", "Tab", "-s", "400"});
        command.insert(command.end(), keys.begin(), keys.end());
        command.insert(command.end(), {"-m", "alt"});
        return command;
    };
    auto shows = [](const char* filter, std::vector<std::string> names) {
        return [=](const nlohmann::json& s) {
            return s.value("panelVisible", false) && s.value("filter", std::string()) == filter &&
                   listedNamesIn(s) == names;
        };
    };
    sway.swaymsg({"[app_id=alpha]", "focus"});
    ASSERT_TRUE(XSession::waitFor([&] { return sway.focusedAppId() == "alpha"; }));
    sway.spawn(typing({"ch", "-s", "3000"}));
    EXPECT_TRUE(waitForState(shows("ch", {"charlie"}))) << state().dump();
    EXPECT_TRUE(XSession::waitFor([&] { return sway.focusedAppId() == "charlie"; })) << sway.focusedAppId();

    sway.spawn(typing({"br", "-s", "300", "-M", "ctrl", "w", "-m", "ctrl", "-s", "3000"}));
    // Its only toplevel gone, the row goes; the panel stays up meanwhile.
    EXPECT_TRUE(waitForState(shows("br", {}))) << state().dump();
    EXPECT_TRUE(XSession::waitFor([&] {
        return sway.swaymsg({"-t", "get_tree"}).find("\"bravo\"") == std::string::npos;
    }));
}

// Once the user agreed in the welcome, Zelvo binds its hot key in sway at
// each start: here Super+Tab, which sway's own configuration leaves alone.
TEST_F(WaylandZelvo, BindingAgreedToInTheWelcomeIsMadeAgainAtEachStart) {
    sway.stop(zelvo);
    std::ofstream(sway.home() / ".config/zelvo/preferences.json") << R"({"WelcomePassed": true, "sortingCriterion": 1,
        "Hotkeys_showFloatingPanel": "{\"carbonKeyCode\":48,\"carbonModifiers\":256}",
        "ShortcutTakeover": {"program": "sway", "keyCode": 48, "modifiers": 256, "displayName": "Super+Tab",
                             "restore": true}})";
    zelvo = sway.spawn({zelvoBinary}, {{"ZELVO_DEBUG_STATE_FILE", stateFile.string()}});
    ASSERT_TRUE(waitForState([&](const auto& s) { return s.value("pid", 0) == zelvo && s.contains("hotkey"); }));
    EXPECT_EQ(state()["hotkey"].value("holder", ""), "sway");
    ASSERT_EQ(sway.focusedAppId(), "charlie");
    // A quick Super+Tab: the panel comes and switches at once.
    EXPECT_TRUE(XSession::waitFor([&] {
        sway.run({"wtype", "-M", "logo", "-P", "Tab", "-p", "Tab", "-m", "logo"});
        return XSession::waitFor([&] { return sway.focusedAppId() == "bravo"; }, 2);
    })) << sway.focusedAppId();
}

// The pointer on a pinned panel: its toolbar menu opens inside the panel and
// its items work; dragging the background moves the panel, and the place is
// where it comes back at the next start.
TEST_F(WaylandZelvo, PinnedPanelsMenuWorksAndItsDraggedPlaceIsKept) {
    auto centreOf = [](const nlohmann::json& frame) {
        return std::pair(frame[0].get<int>() + frame[2].get<int>() / 2, frame[1].get<int>() + frame[3].get<int>() / 2);
    };
    // Headless sway has no pointer of its own: the test makes one.
    auto pointer = VirtualPointer::connect(sway.waylandSocket(), 1280, 720);
    ASSERT_TRUE(pointer) << "no virtual pointer";
    auto click = [&](std::pair<int, int> at) { pointer->click(at.first, at.second); };
    const auto preferences = sway.home() / ".config/zelvo/preferences.json";
    // A new start, pinned (written once the old instance has saved its own).
    auto restart = [&](bool pin) {
        sway.stop(zelvo);
        if (pin) std::ofstream(preferences) << R"({"WelcomePassed": true, "sortingCriterion": 1, "isPinned": true})";
        zelvo = sway.spawn({zelvoBinary}, {{"ZELVO_DEBUG_STATE_FILE", stateFile.string()}});
        // Up once its first frame is with the compositor: a click before
        // that goes to the window below.
        ASSERT_TRUE(waitForState([&](const auto& s) {
            return s.value("pid", 0) == zelvo && s.value("panelVisible", false) && s.contains("menuFrame") &&
                   s.contains("panelFrame") && !s.value("firstPaintMs", nlohmann::json::array()).empty();
        })) << state().dump();
    };
    restart(true);

    click(centreOf(state()["menuFrame"]));
    // Hover first and click once the menu itself has "About" under the
    // pointer: the surface grown for the menu may be placed a moment after
    // its frames are reported, and a click before that lands on another item.
    std::pair<int, int> about{-1, -1};
    int nudge = 0; // each move is a real motion, even over a surface that moved under the pointer
    ASSERT_TRUE(waitForState([&](const auto& s) {
        for (const auto& item : s.value("menuItems", nlohmann::json::array())) {
            if (item["text"] != "About") continue;
            const auto at = centreOf(item["frame"]);
            if (at == about && s.value("menuHighlighted", "") == "About") return true;
            about = at;
            pointer->moveTo(at.first + (nudge ^= 1), at.second);
        }
        return false;
    })) << state().dump();
    click(about);
    EXPECT_TRUE(waitForState([](const auto& s) {
        return !s.contains("menuItems") && s["otherWindows"].dump().find("About Zelvo") != std::string::npos;
    })) << state().dump();

    // About hides the panel; a new start shows the pinned one again.
    restart(false);
    const auto before = state()["panelFrame"];
    const auto grab = centreOf(state()["toolbarFrame"]);
    pointer->moveTo(grab.first, grab.second);
    pointer->press(true);
    pointer->moveTo(grab.first + 40, grab.second + 30);
    pointer->press(false);
    ASSERT_TRUE(waitForState([&](const auto& s) {
        return s["panelFrame"][0] == before[0].get<int>() + 40 && s["panelFrame"][1] == before[1].get<int>() + 30;
    })) << before.dump()
        << " then " << state().dump();
    const auto moved = state()["panelFrame"];
    restart(false);
    EXPECT_EQ(state()["panelFrame"][0], moved[0]) << state().dump();
    EXPECT_EQ(state()["panelFrame"][1], moved[1]);
}

TEST_F(WaylandZelvo, ShowWithoutARunningInstanceSaysSoAndExits1) {
    sway.stop(zelvo);
    zelvo = -1;
    EXPECT_EQ(sway.run({zelvoBinary, "--show"}).status, 1);
}

} // namespace
