// Measures the desktop program on a private X server, or with --wayland on a
// headless sway, and prints the figures: show request -> first frame of the
// switcher panel (median and 99th percentile over 100 showings), resident
// memory after start, and CPU use while idle with ten clients.
// Usage: zelvo_desktop_measure [--wayland] [idle seconds, default 60]

#include "SwaySession.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace zelvo::e2e;

namespace {

nlohmann::json readState(const std::filesystem::path& file) {
    std::ifstream in(file);
    auto parsed = nlohmann::json::parse(in, nullptr, false);
    return parsed.is_discarded() ? nlohmann::json::object() : parsed;
}

long residentKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string f;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::stoul(f);
        if (i == 15) stime = std::stoul(f);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv) {
    const bool wayland = argc > 1 && std::string(argv[1]) == "--wayland";
    double idleSeconds = argc > 1 + wayland ? std::atof(argv[1 + wayland]) : 60;
    std::unique_ptr<XSession> session;
    std::string zelvoBinary = ZELVO_BINARY;
    std::filesystem::path prefix;
    if (wayland) {
        // An installed copy the session's unprivileged user can run, bound
        // to Alt+Tab in sway as a user would.
        prefix = SwaySession::installForSession(CMAKE_COMMAND, ZELVO_BUILD_DIR);
        if (prefix.empty()) {
            std::fprintf(stderr, "cmake --install failed\n");
            return 1;
        }
        zelvoBinary = (prefix / "bin/zelvo").string();
        auto sway = std::make_unique<SwaySession>();
        if (auto error = sway->start("bindsym Mod1+Tab exec " + zelvoBinary + " --show")) {
            std::fprintf(stderr, "%s\n", error->c_str());
            return 1;
        }
        for (int i = 0; i < 10; ++i) sway->startTerminal("term" + std::to_string(i));
        session = std::move(sway);
    } else {
        session = std::make_unique<XSession>();
        if (auto error = session->start()) {
            std::fprintf(stderr, "%s\n", error->c_str());
            return 1;
        }
        for (int i = 0; i < 6; ++i) session->startTerminal("Term" + std::to_string(i));
        for (int i = 0; i < 2; ++i) session->spawn({"xclock"});
        for (int i = 0; i < 2; ++i) session->spawn({"xeyes"});
        XSession::waitFor([&] { return session->clientList().size() >= 10; });
    }
    XSession& x = *session;

    auto config = x.home() / ".config/zelvo";
    std::filesystem::create_directories(config);
    std::ofstream(config / "preferences.json") << R"({"WelcomePassed": true})";
    auto stateFile = x.root() / "state.json";
    pid_t zelvo = x.spawn({zelvoBinary}, {{"ZELVO_DEBUG_STATE_FILE", stateFile.string()}});
    XSession::waitFor([&] { return readState(stateFile).value("apps", nlohmann::json::array()).size() >= 10; });
    std::this_thread::sleep_for(std::chrono::seconds(2));
    long rss = residentKiB(zelvo);

    const int rounds = 100;
    for (int i = 0; i < rounds; ++i) {
        // Alt+Tab through the compositor's binding, held until the panel is
        // up; on X11 a second launch shows it.
        if (wayland) x.spawn({"wtype", "-M", "alt", "-P", "Tab", "-p", "Tab", "-s", "600", "-k", "Escape", "-m", "alt"});
        else x.run({zelvoBinary});
        XSession::waitFor([&] { return readState(stateFile).value("panelVisible", false); });
        if (!wayland) x.run({"xdotool", "key", "Escape"});
        XSession::waitFor([&] { return !readState(stateFile).value("panelVisible", true); });
    }
    auto shown = readState(stateFile);
    std::vector<double> paints;
    for (const auto& ms : shown.value("firstPaintMs", nlohmann::json::array())) paints.push_back(ms.get<double>());
    std::sort(paints.begin(), paints.end());

    std::this_thread::sleep_for(std::chrono::seconds(1));
    double before = cpuSeconds(zelvo);
    auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = (cpuSeconds(zelvo) - before) / elapsed * 100.0;

    std::printf("clients listed: %zu\n", readState(stateFile)["apps"].size());
    if (!paints.empty())
        std::printf("%s: first frame after show request: median %.2f ms, p99 %.2f ms, min %.2f ms, max %.2f ms "
                    "(%zu showings)\n",
                    wayland ? "Wayland (sway)" : "X11 (Xvfb, openbox)", paints[paints.size() / 2],
                    paints[std::min(paints.size() - 1, paints.size() * 99 / 100)], paints.front(), paints.back(),
                    paints.size());
    std::printf("resident memory after start: %.1f MB\n", rss / 1024.0);
    std::printf("CPU while idle for %.0f s with ten clients: %.3f %%\n", elapsed, cpu);
    if (!prefix.empty()) std::filesystem::remove_all(prefix);
    return 0;
}
