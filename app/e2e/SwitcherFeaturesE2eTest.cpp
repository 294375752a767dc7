// Typing to filter, reaching one window of an application, and closing or
// quitting from the panel, through the real program on X11: four xterms and
// a client with two windows, one Zelvo for all the checks.
#include "ZelvoSession.h"

#include <algorithm>
#include <map>
#include <sstream>

using namespace zelvo::e2e;

namespace {

class SwitcherFeatures : public ZelvoSession {
protected:
    void xdotool(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "xdotool");
        ASSERT_EQ(x.run(arguments).status, 0);
    }
    // The windows whose title is `title` exactly.
    std::vector<std::uint32_t> windowsTitled(const std::string& title) {
        std::vector<std::uint32_t> found;
        std::istringstream ids(x.run({"xdotool", "search", "--name", "^" + title + "$"}).output);
        for (std::uint32_t id; ids >> id;) found.push_back(id);
        return found;
    }
    bool listed(std::uint32_t window) {
        auto list = x.clientList();
        return std::find(list.begin(), list.end(), window) != list.end();
    }
    // Alt held, Tab: the panel is up and holds the keyboard.
    void open() {
        xdotool({"keydown", "alt"});
        xdotool({"key", "Tab"});
        ASSERT_TRUE(waitForState([](const auto& s) {
            return s.value("panelVisible", false) && s.value("keyboardGrabbed", false);
        })) << state().dump();
    }
    // The panel shows the filter `filter` and exactly the rows `names`.
    bool shows(const std::string& filter, const std::vector<std::string>& names) {
        return waitForState([&](const auto& s) {
            return s.value("panelVisible", false) && s.value("filter", std::string("?")) == filter &&
                   listedNamesIn(s) == names;
        });
    }
};

} // namespace

TEST_F(SwitcherFeatures, FilterWindowsCloseAndQuitFromThePanel) {
    std::map<std::string, std::uint32_t> terminals;
    for (const char* name : {"Alpha", "Bravo", "Charlie", "Delta"}) {
        terminals[name] = x.startTerminal(name);
        ASSERT_NE(terminals[name], 0u) << name;
    }
    const pid_t twins = x.spawn({ZELVO_TWO_WINDOWS});
    std::uint32_t twinOne = 0, twinTwo = 0;
    ASSERT_TRUE(XSession::waitFor([&] {
        auto one = windowsTitled("Twin One"), two = windowsTitled("Twin Two");
        if (one.empty() || two.empty()) return false;
        twinOne = one.front(), twinTwo = two.front();
        return listed(twinOne) && listed(twinTwo);
    }));
    startZelvo();
    ASSERT_TRUE(waitForApps({"Alpha", "Bravo", "Charlie", "Delta", "Twins"})) << state().dump();
    xdotool({"windowactivate", "--sync", std::to_string(terminals["Alpha"])});

    // Typing narrows the rows; Return switches to the one left.
    open();
    xdotool({"key", "c", "h", "a"});
    ASSERT_TRUE(shows("cha", {"Charlie"})) << state().dump();
    xdotool({"key", "Return"});
    EXPECT_TRUE(XSession::waitFor([&] { return x.activeWindow() == terminals["Charlie"]; })) << x.activeWindow();
    xdotool({"keyup", "alt"});
    ASSERT_TRUE(waitForState([](const auto& s) { return !s.value("panelVisible", true); }));

    // The key above Tab goes to the window behind the front one; Return
    // brings that window only.
    xdotool({"windowactivate", "--sync", std::to_string(twinOne)});
    open();
    xdotool({"key", "t", "w"});
    ASSERT_TRUE(shows("tw", {"Twins"})) << state().dump();
    xdotool({"key", "grave"});
    ASSERT_TRUE(waitForState([](const auto& s) { return s.value("chosenWindow", std::string()) == "Twin Two"; }))
        << state().dump();
    xdotool({"key", "Return"});
    EXPECT_TRUE(XSession::waitFor([&] { return x.activeWindow() == twinTwo; })) << x.activeWindow();
    xdotool({"keyup", "alt"});
    ASSERT_TRUE(waitForState([](const auto& s) { return !s.value("panelVisible", true); }));

    // Ctrl+W closes the highlighted xterm's window; the panel stays and says
    // that nothing matches any more.
    open();
    xdotool({"key", "d", "e", "l"});
    ASSERT_TRUE(shows("del", {"Delta"})) << state().dump();
    xdotool({"key", "ctrl+w"});
    EXPECT_TRUE(XSession::waitFor([&] { return !listed(terminals["Delta"]); }));
    EXPECT_TRUE(shows("del", {})) << state().dump();

    // Ctrl+Q asks both windows of the front application to close; it ends,
    // and the panel is still up.
    xdotool({"key", "Escape"});
    ASSERT_TRUE(shows("", {"Alpha", "Bravo", "Charlie", "Twins"})) << state().dump();
    xdotool({"key", "t", "w"});
    ASSERT_TRUE(shows("tw", {"Twins"})) << state().dump();
    xdotool({"key", "ctrl+q"});
    EXPECT_TRUE(XSession::waitFor([&] { return !listed(twinOne) && !listed(twinTwo); }));
    EXPECT_TRUE(XSession::waitFor([&] { return !x.isRunning(twins); }));
    EXPECT_TRUE(shows("tw", {})) << state().dump();
    xdotool({"key", "Escape", "Escape"});
    EXPECT_TRUE(waitForState([](const auto& s) { return !s.value("panelVisible", true); }));
    xdotool({"keyup", "alt"});
}
