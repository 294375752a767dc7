#include "ZelvoSession.h"

#include <fstream>
#include <sstream>

namespace zelvo::e2e {

void ZelvoSession::SetUp() {
    auto error = x.start();
    ASSERT_FALSE(error) << *error;
    stateFile = x.root() / "state.json";
    auto config = x.home() / ".config/zelvo";
    std::filesystem::create_directories(config);
    // Past the first-run welcome; the list sorted by name.
    std::ofstream(config / "preferences.json") << R"({"WelcomePassed": true, "sortingCriterion": 1})";
}

void ZelvoSession::TearDown() {
    if (zelvo > 0) {
        EXPECT_TRUE(x.isRunning(zelvo)) << "zelvo ended during the test";
        x.stop(zelvo);
    }
}

void ZelvoSession::startZelvo() {
    auto environment = zelvoEnvironment;
    environment["ZELVO_DEBUG_STATE_FILE"] = stateFile.string();
    zelvo = x.spawn({ZELVO_BINARY}, environment);
    ASSERT_GT(zelvo, 0);
    ASSERT_TRUE(waitForState([](const nlohmann::json& s) { return s.contains("apps"); })) << "no state from zelvo";
}

int ZelvoSession::launchAgain() { return x.run({ZELVO_BINARY}, 15).status; }

nlohmann::json readStateFile(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) return nlohmann::json::object();
    auto parsed = nlohmann::json::parse(in, nullptr, false);
    return parsed.is_discarded() ? nlohmann::json::object() : parsed;
}

std::vector<std::string> listedNamesIn(const nlohmann::json& state) {
    std::vector<std::string> names;
    if (state.contains("apps"))
        for (const auto& app : state["apps"]) names.push_back(app["name"].get<std::string>());
    return names;
}

nlohmann::json ZelvoSession::state() { return readStateFile(stateFile); }

bool ZelvoSession::waitForState(const std::function<bool(const nlohmann::json&)>& predicate, double seconds) {
    return XSession::waitFor([&] { return predicate(state()); }, seconds);
}

std::vector<std::string> ZelvoSession::listedNames() { return listedNamesIn(state()); }

bool ZelvoSession::waitForApps(const std::vector<std::string>& wanted) {
    return XSession::waitFor([&] {
        auto names = listedNames();
        for (const auto& w : wanted)
            if (std::find(names.begin(), names.end(), w) == names.end()) return false;
        return true;
    });
}

void ZelvoSession::front(const std::string& name) {
    x.run({"xdotool", "windowactivate", "--sync", std::to_string(windows[name])});
    ASSERT_TRUE(XSession::waitFor([&] { return x.activeWindow() == windows[name]; })) << name;
}

bool ZelvoSession::highlighted(const std::string& name) {
    return waitForState([&](const auto& s) {
        return s.value("panelVisible", false) && s.value("keyboardGrabbed", false) &&
               s.value("hovered", std::string()) == name;
    });
}

bool ZelvoSession::hidden() {
    return waitForState([](const auto& s) { return !s.value("panelVisible", true); });
}

void ZelvoSession::xdotool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "xdotool");
    ASSERT_EQ(x.run(arguments).status, 0);
}

void ZelvoSession::key(const std::string& name) { x.run({"xdotool", "key", name}); }

void ZelvoSession::clickAt(int px, int py) {
    x.run({"xdotool", "mousemove", std::to_string(px), std::to_string(py)});
    x.run({"xdotool", "click", "1"});
}

std::string ZelvoSession::preferences() {
    std::ifstream in(x.home() / ".config/zelvo/preferences.json");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace zelvo::e2e
