#include "XvfbServer.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    pid_t pid = ::fork();
    if (pid == 0) {
        for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

void stop(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

// Zelvo on a private X server with a fresh configuration; its state comes
// from the file it writes after every change (ZELVO_DEBUG_STATE_FILE).
class SettingsE2ETest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(x_.running()) << "Xvfb did not start";
        char pattern[] = "/tmp/zelvo-e2e-settings-XXXXXX";
        home_ = ::mkdtemp(pattern);
        openbox_ = spawn({"openbox", "--config-file", ZELVO_OPENBOX_RC}, {"DISPLAY=" + x_.display()});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    void TearDown() override {
        stop(zelvo_);
        stop(openbox_);
        fs::remove_all(home_);
    }

    void launch() {
        fs::remove(state());
        const std::string local = "http://127.0.0.1:9/";  // nothing listens: no traffic leaves the machine
        zelvo_ = spawn({ZELVO_PROGRAM},
                       {"DISPLAY=" + x_.display(), "XDG_CONFIG_HOME=" + (home_ / "config").string(),
                        "XDG_DATA_HOME=" + (home_ / "data").string(), "XDG_CACHE_HOME=" + (home_ / "cache").string(),
                        "XDG_RUNTIME_DIR=" + home_.string(), "ZELVO_DEBUG_STATE_FILE=" + state().string(),
                        "BEACON_DISABLE=1", "ZELVO_APPCAST_URL=" + local + "downloads/Zelvo.xml",
                        "ZELVO_LOG_URL=" + local, "ZELVO_COLLECTOR_URL=" + local, "QT_QPA_PLATFORM=xcb"});
        ASSERT_TRUE(waitFor([](const nlohmann::json& s) { return s.contains("pid"); })) << "Zelvo did not start";
    }

    fs::path state() const { return home_ / "state.json"; }

    nlohmann::json readState() const {
        std::ifstream in(state());
        auto json = nlohmann::json::parse(in, nullptr, false);
        return json.is_discarded() ? nlohmann::json::object() : json;
    }

    bool waitFor(const std::function<bool(const nlohmann::json&)>& condition, double seconds = 20) const {
        auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < deadline) {
            if (condition(readState())) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    void key(const std::string& keys) {
        ASSERT_EQ(x_.run("xdotool key --clearmodifiers " + keys), 0) << keys;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }

    XvfbServer x_;
    fs::path home_;
    pid_t openbox_ = -1, zelvo_ = -1;
};

bool settingsVisible(const nlohmann::json& s) { return s.value("settingsVisible", false); }
bool panelVisible(const nlohmann::json& s) { return s.value("panelVisible", false); }

TEST_F(SettingsE2ETest, HotKeyRecordedInTheWelcomeWorksAtOnceAndAfterARestart) {
    launch();
    ASSERT_TRUE(waitFor(settingsVisible)) << "a first launch opens the welcome";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    // Alt+G is the mnemonic of "Global hotkey:": it puts the focus on the
    // recorder, which starts recording; the next press is the new hot key.
    key("alt+g");
    key("ctrl+alt+k");
    const auto preferences = home_ / "config" / "zelvo" / "preferences.json";
    std::ifstream in(preferences);
    auto stored = nlohmann::json::parse(in, nullptr, false);
    ASSERT_FALSE(stored.is_discarded());
    ASSERT_TRUE(stored.contains("Hotkeys_showFloatingPanel")) << stored.dump();
    const auto hotkey = stored["Hotkeys_showFloatingPanel"].dump();  // K is 40; Control+Option 0x1800
    EXPECT_NE(hotkey.find("40"), std::string::npos) << hotkey;
    EXPECT_NE(hotkey.find("6144"), std::string::npos) << hotkey;

    EXPECT_FALSE(panelVisible(readState()));
    key("ctrl+alt+k");
    EXPECT_TRUE(waitFor(panelVisible, 5)) << "the recorded hot key shows the switcher at once";
    key("Escape");
    EXPECT_TRUE(waitFor([](const nlohmann::json& s) { return !panelVisible(s); }, 5));

    stop(zelvo_);
    launch();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_TRUE(settingsVisible(readState())) << "the welcome was not completed, so it opens again";
    key("ctrl+alt+k");
    EXPECT_TRUE(waitFor(panelVisible, 5)) << "the recorded hot key works after a restart";
}

} // namespace
