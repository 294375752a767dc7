#include "platform/linux/x11/WindowFacts.h"

#include <gtest/gtest.h>

using namespace platform;
using namespace platform::x11;

namespace {
WindowFacts window(std::uint32_t id, pid_t pid, std::string cls, WindowKind kind = WindowKind::Normal,
                   std::uint32_t leader = 0) {
    WindowFacts f;
    f.window = id;
    f.pid = pid;
    f.wmClass = std::move(cls);
    f.kind = kind;
    f.leader = leader;
    return f;
}
} // namespace

TEST(WindowGrouping, ByProcessThenLeaderThenClassInOrderOfFirstWindow) {
    std::vector<WindowFacts> list = {
        window(1, 100, "XTerm"),
        window(2, 200, "XClock"),
        window(3, 100, "XTerm"), // second xterm window of the same process
        window(4, 0, "Remote", WindowKind::Normal, 77),
        window(5, 0, "Other", WindowKind::Normal, 77), // same leader, other class: same application
        window(6, 0, "Legacy"),
        window(7, 0, "Legacy"),
        window(8, 300, "XTerm"), // another xterm process is another application
    };
    list[0].clientMachine = list[2].clientMachine = "desk";
    // Each group's key and the ids of its windows, in order.
    std::vector<std::string> groups;
    for (const auto& group : groupWindows(list)) {
        groups.push_back(group.key);
        for (const auto& w : group.windows) groups.back() += " " + std::to_string(w.window);
    }
    EXPECT_EQ(groups, (std::vector<std::string>{"pid:100@desk/XTerm 1 3", "pid:200@/XClock 2", "leader:77 4 5",
                                                "class:Legacy 6 7", "pid:300@/XTerm 8"}));

    // Nothing to group by: each window stands alone.
    WindowFacts bare;
    bare.window = 9;
    EXPECT_EQ(applicationKey(bare), "window:9");
}

TEST(WindowGrouping, DifferentApplicationsNeverShareAProcessIdRow) {
    // Flatpak applications each see their own process namespace and often
    // report the same pid; clients of other hosts bring their own ids.
    auto remote = [](WindowFacts w, std::string host) {
        w.clientMachine = std::move(host);
        return w;
    };
    struct Case {
        const char* name;
        std::vector<WindowFacts> windows;
        std::size_t groups;
    };
    const Case cases[] = {
        {"two sandboxed applications with pid 2", {window(1, 2, "org.gnome.Calculator"), window(2, 2, "Gimp")}, 2},
        {"the same pid on two hosts", {remote(window(1, 40, "XTerm"), "a"), remote(window(2, 40, "XTerm"), "b")}, 2},
        {"one process, two windows", {remote(window(1, 40, "XTerm"), "a"), remote(window(2, 40, "XTerm"), "a")}, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(groupWindows(c.windows).size(), c.groups) << c.name;
}

TEST(WindowGrouping, ActivationPolicyFromWindowKindsAndTaskbarHint) {
    auto normal = window(1, 1, "A");
    auto dialog = window(2, 1, "A", WindowKind::Dialog);
    auto dock = window(3, 1, "Panel", WindowKind::Dock);
    auto desktop = window(4, 1, "Desk", WindowKind::Desktop);
    auto utility = window(5, 1, "A", WindowKind::Utility);
    auto skipped = normal;
    skipped.skipTaskbar = true;

    EXPECT_EQ(activationPolicyOf({normal}), ActivationPolicy::Regular);
    EXPECT_EQ(activationPolicyOf({dialog}), ActivationPolicy::Regular);
    EXPECT_EQ(activationPolicyOf({skipped}), ActivationPolicy::Accessory);
    EXPECT_EQ(activationPolicyOf({utility}), ActivationPolicy::Accessory);
    EXPECT_EQ(activationPolicyOf({dock}), ActivationPolicy::Prohibited);
    EXPECT_EQ(activationPolicyOf({dock, desktop}), ActivationPolicy::Prohibited);
    EXPECT_EQ(activationPolicyOf({dock, utility}), ActivationPolicy::Accessory);
    EXPECT_EQ(activationPolicyOf({skipped, dock, normal}), ActivationPolicy::Regular);
    EXPECT_EQ(activationPolicyOf({}), ActivationPolicy::Accessory);
}

TEST(WindowGrouping, DesktopIdCandidatesBestFirstWithoutDuplicatesOrPaths) {
    WindowFacts f;
    f.gtkApplicationId = "org.gnome.Terminal";
    f.kdeDesktopFile = "/usr/share/applications/konsole.desktop";
    f.wmClass = "XTerm";
    f.wmInstance = "xterm";
    EXPECT_EQ(desktopIdCandidates(f), (std::vector<std::string>{"org.gnome.Terminal", "konsole", "XTerm", "xterm"}));

    WindowFacts plain;
    plain.wmClass = "Firefox-esr";
    plain.wmInstance = "Navigator";
    EXPECT_EQ(desktopIdCandidates(plain),
              (std::vector<std::string>{"Firefox-esr", "firefox-esr", "Navigator", "navigator"}));
    EXPECT_TRUE(desktopIdCandidates(WindowFacts{}).empty());
}
