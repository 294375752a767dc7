// Switching with the global hot key through the real program: Alt+Tab opens
// the panel, Tab moves the highlight, and letting go of Alt (or Return, when
// the panel is kept up on release) brings the highlighted client to the front.

#include "ZelvoSession.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

using namespace zelvo::e2e;

namespace {

class HotkeySwitch : public ZelvoSession {
protected:
    // Five clients, listed by name; the first one is in front.
    void startClients() {
        for (const auto& name : kNames) {
            auto window = x.startTerminal(name);
            ASSERT_NE(window, 0u) << name;
            windows[name] = window;
        }
        front(kNames.front());
    }

    // Clients whose typed lines land in a file each (see typed()).
    void startTypingClients() {
        for (const auto& name : kNames) {
            auto file = (x.root() / (name + ".typed")).string();
            auto window = x.startTerminal(name, {"sh", "-c", "cat > '" + file + "'"});
            ASSERT_NE(window, 0u) << name;
            windows[name] = window;
        }
        front(kNames.front());
    }

    // The line `text` reached the typing client `name`.
    bool typed(const std::string& name, const std::string& text) {
        return XSession::waitFor([&] {
            std::ifstream in(x.root() / (name + ".typed"));
            std::string line;
            while (std::getline(in, line))
                if (line == text) return true;
            return false;
        });
    }

    void keepPanelOnRelease() {
        std::ofstream(x.home() / ".config/zelvo/preferences.json")
            << R"({"WelcomePassed": true, "sortingCriterion": 1, "DoNotHideWhenHotkeyIsReleased": true})";
    }

    // `name`'s window is the active one and on top of the stacking order,
    // and stays so for a moment: the window manager does not hand the front
    // back to the previous client afterwards.
    ::testing::AssertionResult inFront(const std::string& name) {
        auto window = windows[name];
        auto onTop = [&] {
            auto stacking = x.run({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}).output;
            auto last = stacking.rfind("0x");
            return x.activeWindow() == window && last != std::string::npos &&
                   std::strtoul(stacking.c_str() + last, nullptr, 16) == window;
        };
        if (!XSession::waitFor(onTop, 5))
            return ::testing::AssertionFailure() << name << " did not come to the front; active window " << std::hex
                                                 << x.activeWindow() << ", expected " << window;
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        if (!onTop())
            return ::testing::AssertionFailure()
                   << name << " lost the front again; active window " << std::hex << x.activeWindow();
        return ::testing::AssertionSuccess();
    }

    const std::vector<std::string> kNames{"Alpha", "Beta", "Gamma", "Delta", "Epsilon"};
};

} // namespace

TEST_F(HotkeySwitch, ReleasingAltActivatesTheHighlightedClientAndHidesThePanel) {
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();
    ASSERT_EQ(listed.size(), kNames.size()) << state().dump();

    xdotool({"keydown", "alt"});
    xdotool({"key", "Tab"});
    ASSERT_TRUE(highlighted(listed[1])) << state().dump();
    // The panel does not take the focus while it is up.
    EXPECT_EQ(x.activeWindow(), windows["Alpha"]);
    xdotool({"key", "Tab"});
    xdotool({"key", "Tab"});
    ASSERT_TRUE(highlighted(listed[3])) << state().dump();
    xdotool({"keyup", "alt"});

    EXPECT_TRUE(inFront(listed[3]));
    EXPECT_TRUE(hidden()) << state().dump();
}

TEST_F(HotkeySwitch, AClientOnlyOnAnotherDesktopComesForwardWithItsDesktop) {
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();
    const auto moved = std::to_string(windows[listed[1]]);
    xdotool({"set_num_desktops", "2"});
    xdotool({"set_desktop_for_window", moved, "1"});
    ASSERT_TRUE(XSession::waitFor([&] { return x.run({"xdotool", "get_desktop_for_window", moved}).output == "1\n"; }));

    xdotool({"keydown", "alt", "key", "Tab"});
    ASSERT_TRUE(highlighted(listed[1])) << state().dump();
    xdotool({"keyup", "alt"});
    EXPECT_TRUE(inFront(listed[1]));
    EXPECT_EQ(x.run({"xdotool", "get_desktop"}).output, "1\n");
}

TEST_F(HotkeySwitch, WithoutACompositorThePanelIsCutToItsRoundedOutline) {
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    // The test desktop (Xvfb and openbox) runs no compositing manager.
    xdotool({"keydown", "alt", "key", "Tab"});
    EXPECT_TRUE(waitForState([](const auto& s) {
        return s.value("panelVisible", false) && s.value("panelShaped", false);
    })) << state().dump();
    xdotool({"keyup", "alt"});
}

TEST_F(HotkeySwitch, APointerRestingWherePanelOpensDoesNotTakeTheHighlight) {
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();
    // Learn where the first row shows, then leave the pointer there: that row
    // is the client in front, and activating it would change nothing.
    xdotool({"keydown", "alt", "key", "Tab"});
    ASSERT_TRUE(waitForState([](const auto& s) { return s.contains("rowFrames") && s["rowFrames"].size() == 5; }));
    auto row = state()["rowFrames"][0];
    xdotool({"keyup", "alt"});
    ASSERT_TRUE(hidden());
    front(listed[0]);
    xdotool({"mousemove", std::to_string(row[0].get<int>() + row[2].get<int>() / 2),
             std::to_string(row[1].get<int>() + row[3].get<int>() / 2)});

    xdotool({"keydown", "alt", "key", "Tab"});
    ASSERT_TRUE(highlighted(listed[1])) << state().dump();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(highlighted(listed[1])) << state().dump();
    xdotool({"keyup", "alt"});
    EXPECT_TRUE(inFront(listed[1]));

    // Moving the pointer onto a row does take the highlight.
    xdotool({"keydown", "alt", "key", "Tab"});
    ASSERT_TRUE(highlighted(listed[1])) << state().dump();
    auto third = state()["rowFrames"][2];
    xdotool({"mousemove", std::to_string(third[0].get<int>() + third[2].get<int>() / 2),
             std::to_string(third[1].get<int>() + third[3].get<int>() / 2 + 3)});
    ASSERT_TRUE(highlighted(listed[2])) << state().dump();
    xdotool({"keyup", "alt"});
    EXPECT_TRUE(inFront(listed[2]));
}

TEST_F(HotkeySwitch, RepeatedSwitchesAlternateBetweenTwoClients) {
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();
    // A quick Alt+Tab, released at once (possibly before the panel has
    // taken the keyboard), still switches to the second row.
    for (int round = 0; round < 3; ++round) {
        xdotool({"keydown", "alt", "key", "Tab", "keyup", "alt"});
        ASSERT_TRUE(inFront(listed[1])) << "round " << round;
        ASSERT_TRUE(hidden()) << state().dump();
        front(listed[round % 2 == 0 ? 2 : 4]);
    }
}

TEST_F(HotkeySwitch, AltLetGoBeforeThePanelTookTheKeyboardStillSwitches) {
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();
    // Zelvo is held up while the whole tap happens: the press waits for it,
    // but the release of Alt goes to the client in front.
    ASSERT_EQ(kill(zelvo, SIGSTOP), 0);
    x.run({"xdotool", "keydown", "alt", "key", "Tab", "keyup", "alt"});
    ASSERT_EQ(kill(zelvo, SIGCONT), 0);

    EXPECT_TRUE(inFront(listed[1]));
    EXPECT_TRUE(hidden()) << state().dump();
}

TEST_F(HotkeySwitch, AltLetGoWhileAnotherClientHoldsTheKeyboardStillSwitches) {
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();
    // Another client takes the keyboard right after the press: the panel's
    // grab fails and is retried, and Alt goes up meanwhile.
    xcb_connection_t* other = xcb_connect(x.display().c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    ASSERT_EQ(kill(zelvo, SIGSTOP), 0);
    xdotool({"keydown", "alt", "key", "Tab"});
    std::unique_ptr<xcb_grab_keyboard_reply_t, decltype(&std::free)> grab(
        xcb_grab_keyboard_reply(
            other, xcb_grab_keyboard(other, 1, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
            nullptr),
        &std::free);
    ASSERT_EQ(kill(zelvo, SIGCONT), 0);
    ASSERT_TRUE(grab && grab->status == XCB_GRAB_STATUS_SUCCESS);
    EXPECT_TRUE(waitForState([](const auto& s) {
        return s.value("panelVisible", false) && !s.value("keyboardGrabbed", true);
    })) << state().dump();
    xdotool({"keyup", "alt"});
    xcb_ungrab_keyboard(other, XCB_CURRENT_TIME);
    xcb_flush(other);

    EXPECT_TRUE(inFront(listed[1]));
    EXPECT_TRUE(hidden()) << state().dump();
    xcb_disconnect(other);
}

TEST_F(HotkeySwitch, TheSwitchEndsWithTheLastAltLetGoAndAltGrIsNoAlt) {
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();
    // Both Alt keys held: letting go of one keeps the switch going.
    xdotool({"keydown", "Alt_L", "keydown", "Alt_R", "key", "Tab"});
    ASSERT_TRUE(highlighted(listed[1])) << state().dump();
    xdotool({"keyup", "Alt_L", "key", "Tab"});
    ASSERT_TRUE(highlighted(listed[2])) << state().dump();
    xdotool({"keyup", "Alt_R"});
    ASSERT_TRUE(inFront(listed[2]));
    ASSERT_TRUE(hidden()) << state().dump();

    // On a German layout the right Alt key is AltGr, no Alt: tapping it
    // during a switch changes nothing.
    ASSERT_EQ(x.run({"setxkbmap", "de"}).status, 0);
    xdotool({"keydown", "Alt_L", "key", "Tab"});
    ASSERT_TRUE(highlighted(listed[1])) << state().dump();
    // The right Alt key itself (X keycode 108), tapped through XTEST and
    // handled by the server before Tab.
    xcb_connection_t* keyboard = xcb_connect(x.display().c_str(), nullptr);
    for (std::uint8_t type : {XCB_KEY_PRESS, XCB_KEY_RELEASE})
        xcb_test_fake_input(keyboard, type, 108, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    std::free(xcb_get_input_focus_reply(keyboard, xcb_get_input_focus(keyboard), nullptr));
    xcb_disconnect(keyboard);
    xdotool({"key", "Tab"});
    EXPECT_TRUE(highlighted(listed[2])) << state().dump();
    xdotool({"keyup", "Alt_L"});
    EXPECT_TRUE(inFront(listed[2]));
}

TEST_F(HotkeySwitch, KeptUpOnReleaseReturnActivatesTheHighlightedClient) {
    keepPanelOnRelease();
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();

    xdotool({"keydown", "alt"});
    xdotool({"key", "Tab"});
    ASSERT_TRUE(highlighted(listed[1])) << state().dump();
    xdotool({"key", "Tab"});
    ASSERT_TRUE(highlighted(listed[2])) << state().dump();
    xdotool({"keyup", "alt"});
    // Released: the panel stays, still holding the keyboard, and nothing
    // was activated.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(highlighted(listed[2])) << state().dump();
    EXPECT_EQ(x.activeWindow(), windows["Alpha"]);

    xdotool({"key", "Return"});
    EXPECT_TRUE(inFront(listed[2]));
    EXPECT_TRUE(hidden()) << state().dump();
}

TEST_F(HotkeySwitch, PressToFirstPaintIsLogged) {
    startClients();
    zelvo = x.spawn({ZELVO_BINARY}, {{"ZELVO_DEBUG_STATE_FILE", stateFile.string()}, {"ZELVO_HOTKEY_LATENCY", "1"}});
    ASSERT_GT(zelvo, 0);
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();

    const std::regex line("hot-key press to first paint: ([0-9.]+) ms");
    std::vector<double> times;
    auto logged = [&] {
        std::ifstream in(x.root() / "output.log");
        std::stringstream text;
        text << in.rdbuf();
        std::string all = text.str();
        times.clear();
        for (std::sregex_iterator it(all.begin(), all.end(), line), end; it != end; ++it)
            times.push_back(std::stod((*it)[1]));
        return times;
    };
    for (int round = 0; round < 3; ++round) {
        xdotool({"keydown", "alt", "key", "Tab"});
        ASSERT_TRUE(highlighted(listed[1])) << state().dump();
        ASSERT_TRUE(XSession::waitFor([&] { return logged().size() == std::size_t(round + 1); }, 5));
        xdotool({"keyup", "alt"});
        ASSERT_TRUE(hidden());
    }
    for (double ms : times) {
        EXPECT_GT(ms, 0.0);
        EXPECT_LT(ms, 1000.0) << "a press took this long to show";
        RecordProperty("pressToPaintMs", std::to_string(ms));
        std::printf("hot-key press to first paint: %.2f ms\n", ms);
    }
}

TEST_F(HotkeySwitch, PinnedPanelTakesTheKeyboardOnlyDuringASwitch) {
    std::ofstream(x.home() / ".config/zelvo/preferences.json")
        << R"({"WelcomePassed": true, "sortingCriterion": 1, "isPinned": true})";
    startTypingClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();
    ASSERT_TRUE(waitForState([](const auto& s) { return s.value("panelVisible", false); })) << state().dump();

    // Up from launch, the panel leaves the typing to the client in front.
    xdotool({"type", "one"});
    xdotool({"key", "Return"});
    EXPECT_TRUE(typed("Alpha", "one")) << state().dump();

    // The hot key starts a switch on it; Return ends it, and the client just
    // brought to the front gets the keys while the panel stays up.
    xdotool({"keydown", "alt", "key", "Tab"});
    ASSERT_TRUE(highlighted(listed[1])) << state().dump();
    xdotool({"key", "Return"});
    xdotool({"keyup", "alt"});
    EXPECT_TRUE(inFront(listed[1]));
    ASSERT_TRUE(waitForState([](const auto& s) {
        return s.value("panelVisible", false) && !s.value("keyboardGrabbed", true);
    })) << state().dump();
    xdotool({"type", "two"});
    xdotool({"key", "Return"});
    EXPECT_TRUE(typed(listed[1], "two")) << state().dump();
}

TEST_F(HotkeySwitch, AltLetGoBeforeTabDoesNotSwallowTheNextSwitch) {
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();

    // Alt goes up first: the switch happens, and the release of Tab that
    // follows goes to the client now in front.
    xdotool({"keydown", "alt", "keydown", "Tab"});
    ASSERT_TRUE(highlighted(listed[1])) << state().dump();
    xdotool({"keyup", "alt"});
    ASSERT_TRUE(inFront(listed[1]));
    xdotool({"keyup", "Tab"});

    // The next Alt+Tab is a new press, not a repeat of the old one.
    front(listed[3]);
    xdotool({"keydown", "alt", "key", "Tab"});
    EXPECT_TRUE(highlighted(listed[1])) << state().dump();
    xdotool({"key", "Tab"});
    EXPECT_TRUE(highlighted(listed[2])) << state().dump();
    xdotool({"keyup", "alt"});
    EXPECT_TRUE(inFront(listed[2]));
}

TEST_F(HotkeySwitch, SwitchingWorksWhileTheAboutBoxIsOpen) {
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto listed = listedNames();
    // About from the panel's own menu.
    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(waitForState([](const auto& s) { return s.value("panelVisible", false) && s.contains("menuFrame"); }))
        << state().dump();
    auto menu = state()["menuFrame"];
    clickAt(menu[0].get<int>() + menu[2].get<int>() / 2, menu[1].get<int>() + menu[3].get<int>() / 2);
    // The menu opens below its button; "About" is its first item.
    clickAt(menu[0].get<int>() + 30, menu[1].get<int>() + menu[3].get<int>() + 12);
    ASSERT_TRUE(waitForState([](const auto& s) {
        return !s.value("panelVisible", true) &&
               s.value("otherWindows", nlohmann::json::array()).dump().find("About Zelvo") != std::string::npos;
    })) << state().dump();

    // The About box stays open and takes nothing from the switcher's keys.
    front(listed[0]);
    xdotool({"keydown", "alt", "key", "Tab"});
    ASSERT_TRUE(highlighted(listed[1])) << state().dump();
    xdotool({"key", "Tab"});
    EXPECT_TRUE(highlighted(listed[2])) << state().dump();
    xdotool({"keyup", "alt"});
    // Active; the About box, kept on top, stays above it.
    EXPECT_TRUE(XSession::waitFor([&] { return x.activeWindow() == windows[listed[2]]; }))
        << std::hex << x.activeWindow();
    EXPECT_TRUE(hidden()) << state().dump();
}

TEST_F(HotkeySwitch, TheAboutBoxShowsAboveTheWelcome) {
    std::ofstream(x.home() / ".config/zelvo/preferences.json") << R"({"WelcomePassed": false, "sortingCriterion": 1})";
    startClients();
    startZelvo();
    ASSERT_TRUE(waitForState([](const auto& s) { return s.value("settingsVisible", false); }));
    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(waitForState([](const auto& s) { return s.value("panelVisible", false) && s.contains("menuFrame"); }))
        << state().dump();
    auto menu = state()["menuFrame"];
    clickAt(menu[0].get<int>() + menu[2].get<int>() / 2, menu[1].get<int>() + menu[3].get<int>() / 2);
    clickAt(menu[0].get<int>() + 30, menu[1].get<int>() + menu[3].get<int>() + 12); // "About"

    // Both are managed windows; the About box is the higher of the two.
    auto windowNamed = [&](const std::string& title) -> std::uint32_t {
        auto found = x.run({"xdotool", "search", "--name", "^" + title + "$"}).output;
        auto clients = x.clientList();
        std::stringstream lines(found);
        for (std::string line; std::getline(lines, line);)
            if (auto id = std::uint32_t(std::strtoul(line.c_str(), nullptr, 10));
                std::find(clients.begin(), clients.end(), id) != clients.end())
                return id;
        return 0;
    };
    std::uint32_t about = 0, welcome = 0;
    ASSERT_TRUE(XSession::waitFor([&] {
        about = windowNamed("About Zelvo");
        welcome = windowNamed("Zelvo");
        return about && welcome;
    })) << state().dump();
    auto above = [&] {
        // _NET_CLIENT_LIST_STACKING is bottom to top.
        auto stacking = x.run({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}).output;
        std::vector<std::uint32_t> order;
        for (auto at = stacking.find("0x"); at != std::string::npos; at = stacking.find("0x", at + 2))
            order.push_back(std::uint32_t(std::strtoul(stacking.c_str() + at, nullptr, 16)));
        auto a = std::find(order.begin(), order.end(), about), w = std::find(order.begin(), order.end(), welcome);
        return a != order.end() && w != order.end() && a > w;
    };
    EXPECT_TRUE(XSession::waitFor(above)) << x.run({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}).output;
}

TEST_F(HotkeySwitch, ThePanelGivesTheKeyboardBackOnAClickOutsideAndToTheSettings) {
    startTypingClients();
    startZelvo();
    ASSERT_TRUE(waitForApps(kNames));
    auto keyboard = [&](bool held) {
        return waitForState(
            [&](const auto& s) { return s.value("panelVisible", false) && s.value("keyboardGrabbed", !held) == held; });
    };
    auto centre = [&](const char* frame) {
        auto f = state()[frame];
        return std::vector<std::string>{std::to_string(f[0].get<int>() + f[2].get<int>() / 2),
                                        std::to_string(f[1].get<int>() + f[3].get<int>() / 2)};
    };
    // A click into the client that is already active moves no focus; the
    // typing after it is the client's, and Shift is no release of the hot key.
    auto clickIntoAlphaAndType = [&](const std::string& text) {
        xdotool({"mousemove", "--window", std::to_string(windows["Alpha"]), "30", "30", "click", "1"});
        ASSERT_TRUE(keyboard(false)) << state().dump();
        xdotool({"key", "shift", "type", text});
        xdotool({"key", "Return"});
        EXPECT_TRUE(typed("Alpha", text)) << state().dump();
        EXPECT_EQ(x.activeWindow(), windows["Alpha"]) << "nothing switched";
    };

    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(keyboard(true)) << state().dump();
    clickIntoAlphaAndType("one");

    // Dragged by its toolbar, a pinned panel takes the keyboard until the next click outside.
    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(keyboard(true)) << state().dump();
    auto pin = centre("pinFrame");
    xdotool({"mousemove", pin[0], pin[1], "click", "1"});
    ASSERT_TRUE(waitForState([](const auto& s) { return s.value("isPinned", false); })) << state().dump();
    auto from = centre("toolbarFrame");
    const auto before = state()["panelFrame"];
    xdotool({"mousemove", from[0], from[1], "mousedown", "1", "mousemove_relative", "40", "30", "mouseup", "1"});
    ASSERT_TRUE(waitForState([&](const auto& s) { return s["panelFrame"] != before; })) << state().dump();
    clickIntoAlphaAndType("two");

    // Settings from the panel's menu, whose keys are the menu's while it is open.
    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(keyboard(true)) << state().dump();
    auto menu = centre("menuFrame");
    auto zelvoWindows = [&] { return x.run({"xdotool", "search", "--onlyvisible", "--classname", "zelvo"}).output; };
    const auto shown = zelvoWindows();
    xdotool({"mousemove", menu[0], menu[1], "click", "1"});
    ASSERT_TRUE(XSession::waitFor([&] { return zelvoWindows().size() > shown.size(); })) << "no menu";
    xdotool({"key", "Down", "Down", "Down", "Down", "Return"}); // About, More Apps, Check for Updates, Settings
    EXPECT_TRUE(waitForState([](const auto& s) { return s.value("settingsVisible", false); })) << state().dump();
    EXPECT_TRUE(keyboard(false)) << "the settings window gets the keys: " << state().dump();
}
