#include "platform/linux/wayland/ToplevelApplications.h"

#include <gtest/gtest.h>

using namespace platform;
using namespace platform::wayland;

namespace {

struct RecordedRequests : ToplevelRequests {
    bool activate(ToplevelId t) override {
        sent.push_back("activate " + std::to_string(t));
        return true;
    }
    void unsetMinimized(ToplevelId t) override { sent.push_back("unminimize " + std::to_string(t)); }
    void setMinimized(ToplevelId t) override { sent.push_back("minimize " + std::to_string(t)); }
    void close(ToplevelId t) override { sent.push_back("close " + std::to_string(t)); }
    std::vector<std::string> sent;
};

class ToplevelApplicationsTest : public ::testing::Test {
protected:
    ToplevelApplicationsTest() {
        for (const char* name : {kWorkspaceDidLaunchApplication, kWorkspaceDidTerminateApplication,
                                 kWorkspaceDidActivateApplication, kWorkspaceDidDeactivateApplication})
            center.addObserver(name, nullptr, [this](const Notification& n) {
                auto app = std::any_cast<RunningApplicationPtr>(n.userInfo.at(kWorkspaceApplicationKey));
                posted.push_back(n.name.substr(std::string("WorkspaceDid").size()) + " " +
                                 app->localizedName().value_or("?"));
            });
    }
    // Takes what was posted since the last call.
    std::vector<std::string> take() { return std::exchange(posted, {}); }
    std::vector<std::string> names() {
        std::vector<std::string> result;
        for (const auto& app : list.applications()) result.push_back(*app->localizedName());
        return result;
    }
    static ToplevelFacts facts(std::string appId, bool activated = false, bool minimized = false) {
        return {"title of " + appId, appId, activated, minimized};
    }

    NotificationCenter center;
    RecordedRequests requests;
    ToplevelApplications list{center, this, requests,
                              [](const std::string& appId, const std::string& title) {
                                  return ApplicationIdentity{appId, appId.empty() ? title : appId, {}, {}};
                              },
                              "com.zelvo.Zelvo"};
    std::vector<std::string> posted;
};

TEST_F(ToplevelApplicationsTest, GroupsToplevelsByAppIdIntoOneObjectForItsLife) {
    list.update(1, facts("foot"));
    list.update(2, facts("alpha"));
    auto foot = list.applications().front();
    list.update(3, facts("foot"));
    list.update(4, facts("com.zelvo.Zelvo")); // Zelvo's own window
    list.update(5, {"Untitled", "", false, false});
    list.update(6, {"Other", "", false, false});
    EXPECT_EQ(names(), (std::vector<std::string>{"foot", "alpha", "Untitled", "Other"}));
    EXPECT_EQ(take(), (std::vector<std::string>{"LaunchApplication foot", "LaunchApplication alpha",
                                                "LaunchApplication Untitled", "LaunchApplication Other"}));

    list.update(1, {"new title", "foot", false, false});
    list.closed(1);
    EXPECT_EQ(list.applications().front(), foot) << "one object while a toplevel of the id remains";
    EXPECT_TRUE(take().empty());
    list.closed(3);
    EXPECT_EQ(take(), (std::vector<std::string>{"TerminateApplication foot"}));

    // A toplevel whose app id changes moves to that application.
    list.update(2, facts("beta"));
    EXPECT_EQ(take(), (std::vector<std::string>{"TerminateApplication alpha", "LaunchApplication beta"}));
    list.closed(99); // never announced: nothing happens
    EXPECT_TRUE(take().empty());
}

TEST_F(ToplevelApplicationsTest, FollowsTheActivatedStateAndActivatesTheMostRecentToplevel) {
    list.update(1, facts("foot", true));
    list.update(2, facts("alpha"));
    list.update(3, facts("foot"));
    take();
    EXPECT_EQ(*list.frontmost()->localizedName(), "foot");

    struct Step {
        ToplevelId toplevel;
        ToplevelFacts facts;
        std::vector<std::string> posted;
        const char* frontmost;
    };
    const Step steps[] = {
        {1, facts("foot"), {"DeactivateApplication foot"}, nullptr},
        {2, facts("alpha", true), {"ActivateApplication alpha"}, "alpha"},
        {2, facts("alpha"), {"DeactivateApplication alpha"}, nullptr},
        {3, facts("foot", true), {"ActivateApplication foot"}, "foot"},
        {3, facts("foot", false, true), {"DeactivateApplication foot"}, nullptr},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.toplevel);
        list.update(s.toplevel, s.facts);
        EXPECT_EQ(take(), s.posted);
        auto front = list.frontmost();
        EXPECT_EQ(front ? *front->localizedName() : "", s.frontmost ? s.frontmost : "");
    }

    auto foot = list.applications().front();
    auto* app = static_cast<WaylandRunningApplication*>(foot.get());
    EXPECT_EQ(app->toplevels(), (std::vector<ToplevelId>{3, 1})) << "most recently active first";
    EXPECT_FALSE(foot->isHidden()) << "toplevel 1 is not minimised";
    // The front toplevel is minimised: restored first, then activated; the
    // application counts as frontmost until the compositor answers.
    ASSERT_TRUE(foot->activate(0));
    EXPECT_EQ(requests.sent, (std::vector<std::string>{"unminimize 3", "activate 3"}));
    EXPECT_EQ(list.frontmost(), foot);
    list.update(2, facts("alpha", true));
    EXPECT_EQ(*list.frontmost()->localizedName(), "alpha");
    list.closed(2);
    EXPECT_EQ(take(), (std::vector<std::string>{"ActivateApplication alpha", "TerminateApplication alpha"}));
    EXPECT_EQ(list.frontmost(), nullptr);
}

} // namespace
