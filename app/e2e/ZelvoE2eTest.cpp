#include "ZelvoSession.h"

#include <csignal>
#include <sys/wait.h>

using namespace zelvo::e2e;

namespace {
std::array<int, 2> centreOf(const nlohmann::json& frame) {
    return {frame[0].get<int>() + frame[2].get<int>() / 2, frame[1].get<int>() + frame[3].get<int>() / 2};
}
bool visible(const nlohmann::json& s) { return s.value("panelVisible", false); }
} // namespace

TEST_F(ZelvoSession, SecondLaunchPresentsThePanelListingTheClients) {
    ASSERT_NE(x.startTerminal("Alpha"), 0u);
    ASSERT_NE(x.startTerminal("Beta"), 0u);
    x.spawn({"xclock"});
    x.spawn({"xeyes"});
    ASSERT_TRUE(XSession::waitFor([&] { return x.clientList().size() >= 4; }));
    startZelvo();
    ASSERT_TRUE(waitForApps({"Alpha", "Beta", "XClock", "XEyes"})) << state().dump();
    EXPECT_FALSE(visible(state()));
    // Zelvo's own windows are never listed.
    auto names = listedNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "Zelvo"), 0);

    EXPECT_EQ(launchAgain(), 0);
    ASSERT_TRUE(waitForState([](const auto& s) { return visible(s) && s.value("keyboardGrabbed", false); }))
        << state().dump();
    EXPECT_FALSE(x.run({"xdotool", "search", "--onlyvisible", "--class", "Zelvo"}).output.empty());
    // The panel did not take the focus from the user's application.
    EXPECT_EQ(x.activeWindow(), x.findWindow("Beta"));

    // A client that goes away leaves the list.
    x.run({"xdotool", "search", "--class", "^XEyes$", "windowkill"});
    EXPECT_TRUE(waitForState([](const auto& s) {
        for (const auto& app : s["apps"])
            if (app["name"] == "XEyes") return false;
        return true;
    }));
}

TEST_F(ZelvoSession, DigitsActivateTheMatchingClientAndEscapeHides) {
    auto alpha = x.startTerminal("Alpha");
    auto beta = x.startTerminal("Beta");
    auto gamma = x.startTerminal("Gamma");
    ASSERT_TRUE(alpha && beta && gamma);
    startZelvo();
    ASSERT_TRUE(waitForApps({"Alpha", "Beta", "Gamma"}));
    ASSERT_EQ(listedNames(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    x.run({"xdotool", "windowactivate", "--sync", std::to_string(alpha)});
    ASSERT_TRUE(XSession::waitFor([&] { return x.activeWindow() == alpha; }));

    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(waitForState([](const auto& s) { return visible(s) && s.value("keyboardGrabbed", false); }));
    key("2");
    EXPECT_TRUE(XSession::waitFor([&] { return x.activeWindow() == gamma; })) << std::hex << x.activeWindow();
    EXPECT_TRUE(waitForState([](const auto& s) { return !visible(s); }));

    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(waitForState([](const auto& s) { return visible(s) && s.value("keyboardGrabbed", false); }));
    key("Escape");
    EXPECT_TRUE(waitForState([](const auto& s) { return !visible(s); }));
    EXPECT_EQ(x.activeWindow(), gamma);

    // Keypad digits select like the main-row ones.
    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(waitForState([](const auto& s) { return visible(s) && s.value("keyboardGrabbed", false); }));
    key("KP_1");
    EXPECT_TRUE(XSession::waitFor([&] { return x.activeWindow() == beta; })) << std::hex << x.activeWindow();
    // Activation by a digit starts nothing new.
    EXPECT_EQ(x.clientList().size(), 3u);
}

TEST_F(ZelvoSession, ClickingARowActivatesItsClient) {
    auto alpha = x.startTerminal("Alpha");
    auto beta = x.startTerminal("Beta");
    ASSERT_TRUE(alpha && beta);
    startZelvo();
    ASSERT_TRUE(waitForApps({"Alpha", "Beta"}));
    x.run({"xdotool", "windowactivate", "--sync", std::to_string(beta)});
    ASSERT_TRUE(XSession::waitFor([&] { return x.activeWindow() == beta; }));

    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(waitForState(
        [](const auto& s) { return visible(s) && s.contains("rowFrames") && s["rowFrames"].size() == 2; }));
    auto [cx, cy] = centreOf(state()["rowFrames"][0]);
    clickAt(cx, cy);
    EXPECT_TRUE(XSession::waitFor([&] { return x.activeWindow() == alpha; })) << std::hex << x.activeWindow();
    // Unpinned, the panel closes when another application comes to the front.
    EXPECT_TRUE(waitForState([](const auto& s) { return !visible(s); }));
}

TEST_F(ZelvoSession, APinnedPanelMovedAndShownAgainIsWhereItWasLeft) {
    ASSERT_NE(x.startTerminal("Alpha"), 0u);
    startZelvo();
    ASSERT_TRUE(waitForApps({"Alpha"}));
    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(waitForState([](const auto& s) { return visible(s) && s.contains("pinFrame"); }));
    auto [px, py] = centreOf(state()["pinFrame"]);
    clickAt(px, py);
    ASSERT_TRUE(waitForState([](const auto& s) { return s.value("isPinned", false); }));

    // Drags the panel by its toolbar; its frame once it is there.
    auto drag = [&](int dx, int dy) {
        auto before = state()["panelFrame"];
        auto [gx, gy] = centreOf(state()["toolbarFrame"]);
        x.run({"xdotool", "mousemove", std::to_string(gx), std::to_string(gy), "mousedown", "1"});
        x.run({"xdotool", "mousemove", std::to_string(gx + dx / 2), std::to_string(gy + dy / 2)});
        x.run({"xdotool", "mousemove", std::to_string(gx + dx), std::to_string(gy + dy), "mouseup", "1"});
        EXPECT_TRUE(waitForState([&](const auto& s) {
            return s["panelFrame"][0].template get<int>() == before[0].get<int>() + dx &&
                   s["panelFrame"][1].template get<int>() == before[1].get<int>() + dy;
        })) << state().dump();
        return state()["panelFrame"];
    };
    auto moved = drag(150, 100);

    key("Escape"); // at once: the 5 s save is not waited for
    ASSERT_TRUE(waitForState([](const auto& s) { return !visible(s); }));
    // Written in the background, soon after.
    EXPECT_TRUE(XSession::waitFor([&] { return preferences().find("FloatingPanelFrame") != std::string::npos; }));

    ASSERT_EQ(launchAgain(), 0);
    ASSERT_TRUE(waitForState([](const auto& s) { return visible(s); }));
    EXPECT_EQ(state()["panelFrame"][0], moved[0]);
    EXPECT_EQ(state()["panelFrame"][1], moved[1]);

    // Moved again and ended at once by the session logging out: the place
    // is kept as when quitting from the menu.
    moved = drag(-60, 40);
    ASSERT_EQ(kill(zelvo, SIGTERM), 0);
    int status = -1;
    ASSERT_EQ(waitpid(zelvo, &status, 0), zelvo);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    std::filesystem::remove(stateFile);
    startZelvo();
    ASSERT_TRUE(waitForState([](const auto& s) { return visible(s); })) << state().dump();
    EXPECT_EQ(state()["panelFrame"][0], moved[0]);
    EXPECT_EQ(state()["panelFrame"][1], moved[1]);
}
