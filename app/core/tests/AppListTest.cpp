#include "app/core/AppList.h"
#include "app/core/Preferences.h"

#include "platform/headless/HeadlessWorkspace.h"
#include "platform/headless/ManualScheduler.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace app;
using platform::HeadlessApplication;
using platform::HeadlessApplicationPtr;

namespace {

HeadlessApplication::Facts appFacts(std::string name, std::optional<std::string> id = std::nullopt) {
    HeadlessApplication::Facts f;
    static pid_t pid = 100;
    f.pid = ++pid;
    f.localizedName = name;
    f.bundleIdentifier = id ? id : std::optional<std::string>("org.example." + name);
    f.bundleURL = "/usr/share/applications/" + name + ".desktop";
    return f;
}

// appFacts(name), then changed by `edit`.
template <typename Edit> HeadlessApplication::Facts appFactsWith(std::string name, Edit edit) {
    auto f = appFacts(std::move(name));
    edit(f);
    return f;
}

class AppListTest : public ::testing::Test {
protected:
    AppListTest() {
        center.addObserver(kNeedsResize, nullptr, [this](const auto&) { ++resizes; });
    }

    AppList& makeList() {
        list = std::make_unique<AppList>(AppList::Environment{workspace, center, defaults, scheduler, "zelvo"});
        return *list;
    }

    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& app : list->sortedApps()) out.push_back(app->localizedName().value_or("<none>"));
        return out;
    }

    platform::ManualScheduler scheduler;
    platform::HeadlessWorkspace workspace;
    platform::NotificationCenter center;
    platform::UserDefaults defaults;
    std::unique_ptr<AppList> list;
    int resizes = 0;
};

TEST_F(AppListTest, ListsOnlyUserFacingApplicationsOtherThanItself) {
    workspace.addExisting(appFacts("Editor"));
    workspace.addExisting(appFacts("Dock", "com.apple.dock")); // regular, but a system agent
    workspace.addExisting(appFacts("Zelvo", "zelvo"));
    workspace.addExisting(appFactsWith("Agent", [](auto& f) { f.policy = platform::ActivationPolicy::Accessory; }));
    workspace.addExisting(appFactsWith("Starting", [](auto& f) { f.finishedLaunching = false; }));
    workspace.addExisting(appFactsWith("Hidden", [](auto& f) { f.hidden = true; }));

    makeList();
    EXPECT_EQ(names(), (std::vector<std::string>{"Editor", "Hidden"}));

    // Every identifier of the exclusion set stays out, whatever its policy.
    for (const auto& id : AppList::excludedBundleIdentifiers()) workspace.launch(appFacts("X" + id, id));
    // Those of the Linux desktop among them: its panels and docks, Zelvo.
    for (std::string id : {"xfce4-panel", "Plank", "waybar", "com.zelvo.Zelvo"})
        workspace.launch(appFacts("L" + id, id));
    workspace.launch(appFacts("Zelvo", "zelvo"));
    EXPECT_EQ(names(), (std::vector<std::string>{"Editor", "Hidden"}));
}

TEST_F(AppListTest, LaunchAndTerminationChangeTheListAndAskForAResize) {
    makeList();
    int changes = 0;
    list->addChangeObserver([&] { ++changes; });

    auto zed = workspace.launch(appFacts("Zed"));
    auto alpha = workspace.launch(appFacts("alpha"));
    EXPECT_EQ(names(), (std::vector<std::string>{"alpha", "Zed"}));
    EXPECT_EQ(resizes, 2);
    EXPECT_EQ(changes, 2);

    // A second launch notification of the same object adds nothing.
    list->addApp(zed);
    EXPECT_EQ(names().size(), 2u);
    EXPECT_EQ(resizes, 3);

    workspace.terminate(zed);
    EXPECT_EQ(names(), (std::vector<std::string>{"alpha"}));
    EXPECT_EQ(resizes, 5); // before and after the removal

    // The same name in another object is another application.
    auto other = std::make_shared<HeadlessApplication>(appFacts("alpha", "org.example.alpha"));
    list->removeApp(other);
    EXPECT_EQ(names(), (std::vector<std::string>{"alpha"}));

    workspace.postWithoutApplication(platform::kWorkspaceDidLaunchApplication);
    workspace.postWithoutApplication(platform::kWorkspaceDidTerminateApplication);
    EXPECT_EQ(names(), (std::vector<std::string>{"alpha"}));
}

TEST_F(AppListTest, SortsByNameIgnoringCaseFirstAndKeepsTiesInStorageOrder) {
    workspace.addExisting(appFacts("cherry"));
    workspace.addExisting(appFacts("Banana"));
    workspace.addExisting(appFacts("Apple"));
    workspace.addExisting(appFacts("apple"));
    workspace.addExisting(appFactsWith("x", [](auto& f) { f.localizedName.reset(); }));
    workspace.addExisting(appFacts("Twin", "org.example.twin1"));
    workspace.addExisting(appFacts("Twin", "org.example.twin2"));
    makeList();

    EXPECT_EQ(names(), (std::vector<std::string>{"<none>", "apple", "Apple", "Banana", "cherry", "Twin", "Twin"}));
    auto sorted = list->sortedApps();
    EXPECT_EQ(sorted[5]->bundleIdentifier(), "org.example.twin1");
    EXPECT_EQ(sorted[6]->bundleIdentifier(), "org.example.twin2");

    // Any criterion other than 0 is the name order.
    defaults.set(kSortingCriterion, 7);
    EXPECT_EQ(names().front(), "<none>");
}

TEST_F(AppListTest, CaseInsensitiveFirstComparison) {
    // The first of each pair sorts first; compared the other way round, it sorts last.
    for (auto [first, last] :
         {std::pair{"apple", "Banana"}, {"Banana", "cherry"}, {"apple", "Apple"}, {"App", "apple"}, {"", "a"}}) {
        EXPECT_LT(caseInsensitiveFirstCompare(first, last), 0) << first << " " << last;
        EXPECT_GT(caseInsensitiveFirstCompare(last, first), 0) << first << " " << last;
    }
    EXPECT_EQ(caseInsensitiveFirstCompare("Same", "Same"), 0);
}

TEST_F(AppListTest, SortsByActivationTimeMostRecentFirst) {
    defaults.set(kSortingCriterion, 0);
    auto a = workspace.addExisting(appFacts("A"));
    auto b = workspace.addExisting(appFacts("B"));
    auto c = workspace.addExisting(appFacts("C"));
    auto d = workspace.addExisting(appFacts("D"));
    auto anon = workspace.addExisting(appFactsWith("Anon", [](auto& f) { f.bundleIdentifier.reset(); }));
    makeList();
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B", "C", "D", "Anon"}));

    workspace.activate(c);
    scheduler.advance(platform::Seconds(1));
    workspace.activate(a);
    scheduler.advance(platform::Seconds(1));
    workspace.activate(anon); // no identifier: never stamped
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "C", "B", "D", "Anon"}));

    scheduler.advance(platform::Seconds(1));
    workspace.activate(c);
    EXPECT_EQ(names(), (std::vector<std::string>{"C", "A", "B", "D", "Anon"}));

    // Zelvo's own activation is stamped but it is never listed.
    workspace.activate(workspace.launch(appFacts("Zelvo", "zelvo")));
    EXPECT_EQ(names().size(), 5u);
}

TEST_F(AppListTest, NeverActivatedApplicationsKeepStorageOrderInLongLists) {
    defaults.set(kSortingCriterion, 0);
    std::vector<HeadlessApplicationPtr> apps;
    for (int i = 0; i < 40; ++i) apps.push_back(workspace.addExisting(appFacts("N" + std::to_string(i))));
    makeList();
    workspace.activate(apps[17]);
    // The activated one first, all others in the order they were added.
    std::vector<RunningApplicationPtr> expected(apps.begin(), apps.end());
    std::rotate(expected.begin(), expected.begin() + 17, expected.begin() + 18);
    EXPECT_EQ(list->sortedApps(), expected);
}

TEST_F(AppListTest, SelectionWrapsAndCopesWithVanishedHighlight) {
    auto a = workspace.addExisting(appFacts("A"));
    auto b = workspace.addExisting(appFacts("B"));
    auto c = workspace.addExisting(appFacts("C"));
    makeList();

    list->selectNext(); // none highlighted: first
    EXPECT_EQ(list->hoveredApp(), a);
    list->selectPrevious(); // wraps to the last
    EXPECT_EQ(list->hoveredApp(), c);
    list->selectNext();
    EXPECT_EQ(list->hoveredApp(), a);
    list->setHoveredApp(nullptr);
    list->selectPrevious(); // none highlighted: last
    EXPECT_EQ(list->hoveredApp(), c);

    list->resetSelection();
    EXPECT_EQ(list->hoveredApp(), b);
    list->selectApp(2);
    EXPECT_EQ(list->hoveredApp(), c);
    list->selectApp(3);
    list->selectApp(-1);
    EXPECT_EQ(list->hoveredApp(), c);

    // The highlighted application goes away: the row taking its place (or
    // the last one) takes the highlight, so Return never reopens the gone one.
    workspace.terminate(c);
    EXPECT_EQ(list->hoveredApp(), b);
    list->selectNext();
    EXPECT_EQ(list->hoveredApp(), a);

    workspace.terminate(b);
    list->resetSelection(); // one left: that one
    EXPECT_EQ(list->hoveredApp(), a);
    workspace.terminate(a);
    list->resetSelection(); // none left: nothing to highlight
    list->selectNext();
    list->selectPrevious();
    EXPECT_EQ(list->hoveredApp(), nullptr);
}

TEST_F(AppListTest, RefreshDropsApplicationsThatStoppedBeingListable) {
    auto a = workspace.addExisting(appFacts("A"));
    auto b = workspace.addExisting(appFacts("B"));
    makeList();
    int changes = 0;
    list->addChangeObserver([&] { ++changes; });

    b->facts().policy = platform::ActivationPolicy::Accessory;
    scheduler.advance(platform::Seconds(2.9));
    EXPECT_EQ(names().size(), 2u);
    scheduler.advance(platform::Seconds(0.1)); // the 3 s timer
    EXPECT_EQ(names(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(changes, 1);

    // Deactivation refreshes at once; it never adds.
    a->facts().finishedLaunching = false;
    b->facts().policy = platform::ActivationPolicy::Regular;
    workspace.deactivate(a);
    EXPECT_TRUE(names().empty());

    // Destroyed, the list leaves no timer or observer behind.
    list.reset();
    EXPECT_EQ(workspace.notificationCenter().observerCount(), 0u);
    scheduler.advance(platform::Seconds(10));
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(AppListTest, ActivateUnhidesActivatesAndFallsBackToOpening) {
    auto a = workspace.addExisting(appFacts("A"));
    auto stubborn = appFacts("Stubborn");
    stubborn.activatable = false;
    stubborn.hidden = true;
    auto s = workspace.addExisting(stubborn);
    auto lost = appFacts("Lost");
    lost.activatable = false;
    lost.bundleURL.reset();
    auto l = workspace.addExisting(lost);
    makeList();

    list->activate(a);
    EXPECT_EQ(a->unhideCount(), 1);
    EXPECT_EQ(a->activations(), (std::vector<unsigned>{3u}));
    EXPECT_EQ(workspace.frontmostApplication(), a);
    EXPECT_TRUE(workspace.openedApplications().empty());

    // Activation did not make it frontmost: opened again by its URL.
    list->activate(s);
    EXPECT_FALSE(s->isHidden());
    EXPECT_EQ(workspace.openedApplications(), (std::vector<std::string>{"/usr/share/applications/Stubborn.desktop"}));

    // No URL to open it by: the plain activation is all.
    list->activate(l);
    EXPECT_EQ(workspace.openedApplications().size(), 1u);

    // No frontmost application at all: nothing more either.
    workspace.setFrontmost(nullptr);
    list->activate(s);
    EXPECT_EQ(workspace.openedApplications().size(), 1u);
}

} // namespace

TEST(NameFilterTest, LettersInOrderMatchPrefixesFirstThenWordStartsThenAnywhere) {
    using Kind = NameMatch::Kind;
    struct Case {
        const char* name;
        const char* filter;
        std::optional<Kind> kind; // nothing: no match
        std::vector<std::size_t> positions;
    } cases[] = {
        {"Charlie", "cha", Kind::Prefix, {0, 1, 2}},
        {"charlie", "CHA", Kind::Prefix, {0, 1, 2}},
        {"Big Chart", "cha", Kind::WordStart, {4, 5, 6}},
        {"Google Chrome", "gc", Kind::WordStart, {0, 7}},
        {"LibreOffice", "off", Kind::WordStart, {5, 6, 7}},
        {"Mocha", "cha", Kind::Letters, {2, 3, 4}},
        {"Firefox", "ffx", Kind::Letters, {0, 4, 6}},
        {"Ärger", "rg", Kind::Letters, {1, 2}}, // code points, not bytes
        {"Firefox", "xf", std::nullopt, {}},
        {"Beta", "betas", std::nullopt, {}},
        {"Anything", "", Kind::Prefix, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " / " + c.filter);
        auto match = matchName(c.name, c.filter);
        ASSERT_EQ(match.has_value(), c.kind.has_value());
        if (!match) continue;
        EXPECT_EQ(match->kind, *c.kind);
        EXPECT_EQ(match->positions, c.positions);
    }
    EXPECT_EQ(withoutLastCharacter("aé"), "a");
}
