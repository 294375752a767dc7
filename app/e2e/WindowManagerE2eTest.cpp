// The same switching under each window manager a user may run, with its
// settings as installed less its own Alt+Tab: terminals and a GTK program,
// switched by the release of Alt and by a digit. One Zelvo start for each.

#include "ZelvoSession.h"

using namespace zelvo::e2e;

namespace {

class UnderWindowManager : public ZelvoSession, public ::testing::WithParamInterface<WindowManager> {
protected:
    void SetUp() override {
        x.windowManager = GetParam();
        ZelvoSession::SetUp();
    }

    ::testing::AssertionResult active(const std::string& name) {
        if (XSession::waitFor([&] { return x.activeWindow() == windows[name]; }, 5))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << name << " is not active; active window " << std::hex << x.activeWindow()
                                             << ", " << name << "'s " << windows[name];
    }
};

TEST_P(UnderWindowManager, AltTabReleaseAndDigitsSwitchBetweenTerminalsAndAGtkProgram) {
    for (const std::string name : {"Alpha", "Beta"}) ASSERT_NE(windows[name] = x.startTerminal(name), 0u) << name;
    ASSERT_GT(x.spawn({"zenity", "--info", "--title=Gamma", "--text=Gamma"}), 0);
    ASSERT_TRUE(XSession::waitFor([&] { return (windows["Zenity"] = x.findWindow("zenity")) != 0; }));
    startZelvo();
    ASSERT_TRUE(waitForApps({"Alpha", "Beta", "Zenity"})) << state().dump();
    ASSERT_EQ(listedNames(), (std::vector<std::string>{"Alpha", "Beta", "Zenity"}));

    front("Alpha");
    xdotool({"keydown", "alt", "key", "Tab"});
    ASSERT_TRUE(highlighted("Beta")) << state().dump();
    xdotool({"keyup", "alt"});
    EXPECT_TRUE(active("Beta"));
    ASSERT_TRUE(hidden()) << state().dump();

    front("Alpha");
    xdotool({"keydown", "alt", "key", "Tab", "key", "Tab"});
    ASSERT_TRUE(highlighted("Zenity")) << state().dump();
    xdotool({"keyup", "alt"});
    EXPECT_TRUE(active("Zenity"));
    ASSERT_TRUE(hidden()) << state().dump();

    // From the GTK program, by digit: Alt+0 is the window manager's own
    // (i3 shows workspace 10), but while the panel is up its keys are Zelvo's.
    xdotool({"keydown", "alt", "key", "Tab"});
    ASSERT_TRUE(highlighted("Beta")) << state().dump();
    xdotool({"key", "0", "keyup", "alt"});
    EXPECT_TRUE(active("Alpha"));
    EXPECT_TRUE(hidden()) << state().dump();
}

INSTANTIATE_TEST_SUITE_P(, UnderWindowManager,
                         ::testing::Values(WindowManager::Openbox, WindowManager::Xfwm4, WindowManager::I3,
                                           WindowManager::Fluxbox),
                         [](const auto& info) { return programName(info.param); });

} // namespace
