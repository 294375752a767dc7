// Zelvo on a wlroots compositor: headless sway, three foot terminals, and the
// installed zelvo started with no X server, its hot key bound in sway to
// `zelvo --show`.
#include "SwaySession.h"
#include "ZelvoSession.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace zelvo::e2e;
namespace fs = std::filesystem;

namespace {

class WaylandZelvo : public ::testing::Test {
protected:
    // One installation for every case, in a folder the session's user can
    // read (the build tree may sit where it cannot).
    static void SetUpTestSuite() {
        char folder[] = "/tmp/zelvo-wayland-prefix-XXXXXX";
        prefix_ = fs::path(mkdtemp(folder));
        XSession installer;
        ASSERT_EQ(installer.run({CMAKE_COMMAND, "--install", ZELVO_BUILD_DIR, "--prefix", prefix_.string()}, 60).status,
                  0);
        fs::permissions(prefix_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
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
        if (zelvo > 0) EXPECT_TRUE(sway.isRunning(zelvo)) << "zelvo ended during the test";
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
    std::ofstream(sway.home() / ".config/zelvo/preferences.json") << R"({"WelcomePassed": true, "sortingCriterion": 0})";
    sway.stop(zelvo);
    zelvo = sway.spawn({zelvoBinary}, {{"ZELVO_DEBUG_STATE_FILE", stateFile.string()}});
    sway.swaymsg({"[app_id=charlie]", "focus"});
    sway.swaymsg({"[app_id=bravo]", "focus"});
    EXPECT_TRUE(waitForState([](const auto& s) {
        auto names = listedNamesIn(s);
        return names.size() == 3 && names[0] == "bravo" && names[1] == "charlie";
    })) << state().dump();
}

TEST_F(WaylandZelvo, ShowReachesTheRunningInstanceAndARowActivatesItsWindow) {
    ASSERT_EQ(sway.focusedAppId(), "charlie");
    // What sway runs for Alt+Tab, and what a user can type.
    EXPECT_EQ(sway.run({zelvoBinary, "--show"}).status, 0);
    ASSERT_TRUE(waitForState([](const auto& s) { return s.value("panelVisible", false); })) << state().dump();

    // A digit picks a row: the second is bravo, which sway then focuses.
    sway.run({"wtype", "1"});
    EXPECT_TRUE(XSession::waitFor([&] { return sway.focusedAppId() == "bravo"; })) << sway.focusedAppId();
    EXPECT_TRUE(waitForState([](const auto& s) { return !s.value("panelVisible", true); })) << state().dump();
}

TEST_F(WaylandZelvo, ShowWithoutARunningInstanceSaysSoAndExits1) {
    sway.stop(zelvo);
    zelvo = -1;
    EXPECT_EQ(sway.run({zelvoBinary, "--show"}).status, 1);
}

} // namespace
