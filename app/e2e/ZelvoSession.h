#pragma once

#include "XSession.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace zelvo::e2e {

// Zelvo's debug state file as JSON; an empty object while there is none.
nlohmann::json readStateFile(const std::filesystem::path& file);
// The application names the state lists, in display order.
std::vector<std::string> listedNamesIn(const nlohmann::json& state);

// An X session with Zelvo running in it (first run already passed), its
// state read from the debug state file.
class ZelvoSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts zelvo and waits until it has written its state.
    void startZelvo();
    // Launches zelvo again: the running one presents its panel.
    int launchAgain();
    nlohmann::json state();
    bool waitForState(const std::function<bool(const nlohmann::json&)>& predicate, double seconds = 10);
    // Waits until the listed names include all of `names`.
    bool waitForApps(const std::vector<std::string>& names);
    // The listed application names in display order.
    std::vector<std::string> listedNames();
    // Brings the client `name` of `windows` to the front and waits until it is active.
    void front(const std::string& name);
    // The panel is up with `name` highlighted and holds the keyboard.
    bool highlighted(const std::string& name);
    bool hidden();
    // Runs xdotool with these arguments; it must succeed.
    void xdotool(std::vector<std::string> arguments);
    void key(const std::string& name);
    void clickAt(int x, int y);
    std::string preferences();

    XSession x;
    // Extra environment of the zelvo started by startZelvo().
    std::map<std::string, std::string> zelvoEnvironment;
    pid_t zelvo = -1;
    // The clients the test started, by name.
    std::map<std::string, std::uint32_t> windows;
    std::filesystem::path stateFile;
};

} // namespace zelvo::e2e
