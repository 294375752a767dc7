// Zelvo installed into a fresh prefix starts the way its menu entry starts
// it, finds its data under that prefix (the build tree's copy is out of
// reach), and its windows carry the application icon.
#include "ZelvoSession.h"

#include <fstream>
#include <sstream>

using namespace zelvo::e2e;

namespace {

std::string desktopValue(const std::filesystem::path& file, const std::string& key) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

} // namespace

TEST_F(ZelvoSession, InstalledZelvoStartsFromItsMenuEntry) {
    const auto prefix = x.root() / "prefix";
    ASSERT_EQ(x.run({CMAKE_COMMAND, "--install", ZELVO_BUILD_DIR, "--prefix", prefix.string()}, 60).status, 0);

    // The entry's Exec names a program on the PATH: the prefix's bin/.
    const auto exec = desktopValue(prefix / "share/applications" / (ZELVO_APP_ID ".desktop"), "Exec");
    ASSERT_EQ(exec, "zelvo");
    // Telemetry and update checks, should they start, stay on this machine.
    const std::string nowhere = "https://127.0.0.1:9";
    zelvo = x.spawn({(prefix / "bin" / exec).string()}, {{"ZELVO_DEBUG_STATE_FILE", stateFile.string()},
                                                         {"ZELVO_LOG_URL", nowhere},
                                                         {"ZELVO_COLLECTOR_URL", nowhere},
                                                         {"ZELVO_APPCAST_URL", nowhere + "/downloads/Zelvo.xml"}});
    ASSERT_GT(zelvo, 0);
    ASSERT_TRUE(waitForState([](const nlohmann::json& s) { return s.contains("apps"); })) << "no state from zelvo";

    // The second launch shows the panel, an X11 window with Zelvo's icon.
    EXPECT_EQ(x.run({(prefix / "bin" / exec).string()}, 15).status, 0);
    ASSERT_TRUE(waitForState([](const auto& s) { return s.value("panelVisible", false); })) << state().dump();
    auto windows = x.run({"xdotool", "search", "--onlyvisible", "--class", "Zelvo"}).output;
    std::istringstream ids(windows);
    std::string id;
    ASSERT_TRUE(std::getline(ids, id)) << "no visible Zelvo window";
    auto icon = x.run({"xprop", "-id", id, "_NET_WM_ICON"}).output;
    EXPECT_NE(icon.find("Icon (16 x 16)"), std::string::npos) << icon.substr(0, 200);
    EXPECT_NE(icon.find("Icon (48 x 48)"), std::string::npos) << icon.substr(0, 200);
}
