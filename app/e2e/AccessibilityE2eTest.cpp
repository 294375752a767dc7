// Zelvo as a screen reader reads it: a private session bus leading to the
// accessibility bus (AT-SPI), the screen-reader switch turned on as a screen
// reader does, and the tree read with the AT-SPI library. The switcher opened
// with Alt+Tab lists one named item per application with the highlighted one
// selected, the selection follows Tab, and every control has a name.

#include "ZelvoSession.h"

#include <fstream>
#include <sstream>

using namespace zelvo::e2e;
using nlohmann::json;

namespace {

class Accessibility : public ZelvoSession {
protected:
    void SetUp() override {
        ZelvoSession::SetUp();
        if (HasFatalFailure()) return;
        auto socket = x.root() / "session-bus";
        bus = "unix:path=" + socket.string();
        ASSERT_GT(x.spawn({"dbus-daemon", "--session", "--nofork", "--address=" + bus}), 0);
        ASSERT_TRUE(XSession::waitFor([&] { return std::filesystem::exists(socket); })) << "no session bus";
        // Starts the accessibility bus (D-Bus activation) and turns it on.
        auto enabled = probe({"enable"});
        ASSERT_EQ(enabled.status, 0) << "cannot reach the accessibility bus";
        zelvoEnvironment["DBUS_SESSION_BUS_ADDRESS"] = bus;
    }

    XSession::Result probe(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"env", "DBUS_SESSION_BUS_ADDRESS=" + bus, ZELVO_ATSPI_PYTHON, ZELVO_ATSPI_PROBE});
        return x.run(arguments, 20);
    }

    json tree() {
        auto parsed = json::parse(probe({"dump", "Zelvo"}).output, nullptr, false);
        return parsed.is_discarded() ? json() : parsed;
    }

    // Every node of `node`'s subtree with this role (and name, when given).
    static void find(const json& node, const std::string& role, const std::string* name, std::vector<json>& found) {
        if (!node.is_object()) return;
        if (node.value("role", "") == role && (!name || node.value("name", "") == *name)) found.push_back(node);
        for (const auto& child : node.value("children", json::array())) find(child, role, name, found);
    }
    static std::vector<json> all(const json& node, const std::string& role) {
        std::vector<json> found;
        find(node, role, nullptr, found);
        return found;
    }
    static json first(const json& node, const std::string& role, const std::string& name) {
        std::vector<json> found;
        find(node, role, &name, found);
        return found.empty() ? json() : found.front();
    }
    static bool has(const json& node, const std::string& state) {
        for (const auto& s : node.value("states", json::array()))
            if (s == state) return true;
        return false;
    }

    // The switcher's list while the panel is up, once it has `selected`
    // selected; null when that does not happen in time.
    json listWithSelection(const std::string& selected) {
        json list;
        bool found = XSession::waitFor(
            [&] {
                auto panel = first(tree(), "frame", "Zelvo switcher");
                if (!has(panel, "showing")) return false;
                list = first(panel, "list", "Applications");
                for (const auto& item : all(list, "list item"))
                    if (has(item, "selected") && item.value("name", "") == selected) return true;
                return false;
            },
            15);
        return found ? list : json();
    }

    // The name of the control that has the keyboard focus (the deepest
    // focused node), or "" when none has.
    static std::string focused(const json& node) {
        if (!node.is_object()) return "";
        for (const auto& child : node.value("children", json::array()))
            if (auto name = focused(child); !name.empty()) return name;
        return has(node, "focused") ? node.value("name", "") : "";
    }

    std::string events() {
        std::ifstream in(eventsFile);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string bus;
    std::filesystem::path eventsFile;
};

} // namespace

TEST_F(Accessibility, SwitcherListsNamedItemsAndTheSelectionFollowsTab) {
    const std::vector<std::string> names{"Alpha", "Beta", "Gamma"};
    for (const auto& name : names) ASSERT_NE(x.startTerminal(name), 0u) << name;
    startZelvo();
    ASSERT_TRUE(waitForApps(names));
    auto listed = listedNames();
    ASSERT_EQ(listed.size(), 3u) << state().dump();

    // Focus and selection events as a screen reader receives them.
    eventsFile = x.root() / "atspi-events.jsonl";
    ASSERT_GT(x.spawn({ZELVO_ATSPI_PYTHON, ZELVO_ATSPI_PROBE, "watch", "Zelvo", eventsFile.string()},
                      {{"DBUS_SESSION_BUS_ADDRESS", bus}}),
              0);
    ASSERT_TRUE(XSession::waitFor([&] { return events().find("\"ready\"") != std::string::npos; }, 20));

    ASSERT_EQ(x.run({"xdotool", "keydown", "alt", "key", "Tab"}).status, 0);
    ASSERT_TRUE(waitForState([&](const json& s) { return s.value("hovered", "") == listed[1]; })) << state().dump();
    json list = listWithSelection("1 " + listed[1]);
    ASSERT_TRUE(list.is_object()) << "the highlighted row is not the selected item: " << tree().dump(1);
    auto items = all(list, "list item");
    ASSERT_EQ(items.size(), 3u) << list.dump(1);
    int selected = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].value("name", ""), std::to_string(i) + " " + listed[i]);
        selected += has(items[i], "selected");
    }
    EXPECT_EQ(selected, 1) << list.dump(1);
    EXPECT_TRUE(has(first(list, "list item", "1 " + listed[1]), "focused"));

    ASSERT_EQ(x.run({"xdotool", "key", "Tab"}).status, 0);
    const std::string next = "2 " + listed[2];
    EXPECT_TRUE(listWithSelection(next).is_object()) << "the selection did not follow Tab: " << tree().dump(1);
    // The panel announced itself, and the row Tab moved to took the focus.
    auto announced = [&](const std::string& type, const std::string& name) {
        return XSession::waitFor([&] {
            std::istringstream lines(events());
            for (std::string line; std::getline(lines, line);) {
                auto event = json::parse(line, nullptr, false);
                if (event.is_object() && event.value("type", "") == type && event.value("name", "") == name)
                    return true;
            }
            return false;
        });
    };
    EXPECT_TRUE(announced("window:activate", "Zelvo switcher")) << events();
    EXPECT_TRUE(announced("object:state-changed:selected", next)) << events();
    EXPECT_TRUE(announced("focus:", next)) << events();

    // The toolbar's buttons have names.
    auto panel = first(tree(), "frame", "Zelvo switcher");
    EXPECT_TRUE(first(panel, "push button", "Pin").is_object()) << panel.dump(1);
    EXPECT_TRUE(first(panel, "push button", "Menu").is_object()) << panel.dump(1);
    ASSERT_EQ(x.run({"xdotool", "keyup", "alt"}).status, 0);
    EXPECT_TRUE(waitForState([](const json& s) { return !s.value("panelVisible", true); }));
}

TEST_F(Accessibility, WelcomeControlsHaveNames) {
    // A first launch: the welcome opens.
    std::ofstream(x.home() / ".config/zelvo/preferences.json") << "{}";
    startZelvo();
    json window;
    ASSERT_TRUE(XSession::waitFor(
        [&] {
            window = first(tree(), "frame", "Zelvo");
            return has(window, "showing");
        },
        15))
        << tree().dump(1);
    EXPECT_TRUE(first(window, "push button", "Close").is_object());
    auto sort = first(window, "panel", "Sort Applications by");
    EXPECT_TRUE(first(sort, "radio button", "Activation Time").is_object()) << sort.dump(1);
    EXPECT_TRUE(has(first(sort, "radio button", "Name"), "checked")) << sort.dump(1);
    auto field = first(window, "text", "Global hotkey");
    ASSERT_TRUE(field.is_object()) << window.dump(1);
    EXPECT_FALSE(field.value("text", "").empty()) << "the recorder reads the shortcut";
    EXPECT_TRUE(first(field, "push button", "Clear hotkey").is_object()) << field.dump(1);
    for (const char* title : {"Send Feedback", "More Apps", "Close Settings"})
        EXPECT_TRUE(first(window, "push button", title).is_object()) << title;
    // No button without a name.
    for (const auto& button : all(window, "push button")) EXPECT_NE(button.value("name", ""), "") << button.dump();

    // Tab goes through every control in reading order and around again; the
    // sort choice is one stop, its options chosen with the arrow keys.
    const std::vector<std::string> order{"sort choice",
                                         "desktop choice",
                                         "Do not hide when hotkey is released",
                                         "Global hotkey",
                                         "Send Feedback",
                                         "More Apps",
                                         "Close Settings",
                                         "Launch at login",
                                         "Show in the taskbar",
                                         "Share anonymous usage data and crash reports"};
    auto stop = [](const std::string& name) {
        if (name == "All desktops" || name == "This desktop only") return std::string("desktop choice");
        return name == "Activation Time" || name == "Name" ? std::string("sort choice") : name;
    };
    ASSERT_TRUE(XSession::waitFor([&] { return has(first(tree(), "frame", "Zelvo"), "active"); }))
        << "the welcome did not get the keyboard";
    std::vector<std::string> stops;
    std::string now, previous = focused(tree());
    for (std::size_t i = 0; i <= order.size(); ++i) {
        ASSERT_EQ(x.run({"xdotool", "key", "Tab"}).status, 0);
        XSession::waitFor([&] { return !(now = focused(tree())).empty() && now != previous; }, 5);
        stops.push_back(stop(previous = now));
    }
    std::string seen;
    for (const auto& s : stops) seen += "[" + s + "] ";
    auto entry = std::find(order.begin(), order.end(), stops.front());
    ASSERT_NE(entry, order.end()) << seen;
    for (std::size_t i = 0; i < stops.size(); ++i)
        EXPECT_EQ(stops[i], order[(std::size_t(entry - order.begin()) + i) % order.size()]) << seen;

    while (stop(now) != "sort choice" && stops.size() < 3 * order.size()) {
        ASSERT_EQ(x.run({"xdotool", "key", "Tab"}).status, 0);
        XSession::waitFor([&] { return !(now = focused(tree())).empty() && now != previous; }, 5);
        stops.push_back(previous = now);
    }
    const bool onName = now == "Name";
    const std::string other = onName ? "Activation Time" : "Name";
    ASSERT_EQ(x.run({"xdotool", "key", onName ? "Left" : "Right"}).status, 0);
    EXPECT_TRUE(XSession::waitFor([&] {
        auto sort = first(tree(), "panel", "Sort Applications by");
        return focused(sort) == other && has(first(sort, "radio button", other), "checked");
    })) << "the arrow keys choose the other option";
}
