// Measures the desktop program on a private X server, or with --wayland on a
// headless sway, and prints the figures: show request -> first frame of the
// switcher panel (median and 99th percentile over 100 showings), resident
// memory after start, and CPU use while idle with ten clients. On X11 also:
// hot-key press (XTEST) -> panel mapped over 300 switches, resident memory
// after them, and CPU use while one client changes its title 100 times a
// second.
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
#include <xcb/xcb.h>
#include <xcb/xtest.h>

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

double milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Waits for a map or unmap notification of `window`; false after five seconds.
bool waitForMapState(xcb_connection_t* c, xcb_window_t window, std::uint8_t type) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> e(xcb_poll_for_event(c), &std::free);
        if (!e) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            continue;
        }
        if ((e->response_type & 0x7f) == type && reinterpret_cast<xcb_map_notify_event_t*>(e.get())->window == window)
            return true;
    }
    return false;
}

void fakeKey(xcb_connection_t* c, std::uint8_t type, std::uint8_t keycode) {
    xcb_test_fake_input(c, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c);
}

constexpr std::uint8_t kAlt = 64, kTab = 23; // evdev codes + 8

// Alt+Tab pressed through XTEST until the switcher panel is mapped, then
// Alt let go (the switch happens, the panel is unmapped); prints the
// median and 99th percentile of press -> mapped.
void measureHotkey(XSession& x, pid_t zelvo, const std::filesystem::path& stateFile, int rounds) {
    xcb_connection_t* c = xcb_connect(x.display().c_str(), nullptr);
    // The panel's window: the one Zelvo shows on the first press.
    fakeKey(c, XCB_KEY_PRESS, kAlt);
    fakeKey(c, XCB_KEY_PRESS, kTab);
    fakeKey(c, XCB_KEY_RELEASE, kTab);
    XSession::waitFor([&] { return readState(stateFile).value("panelVisible", false); });
    auto found = x.run({"xdotool", "search", "--onlyvisible", "--class", "Zelvo"}).output;
    fakeKey(c, XCB_KEY_RELEASE, kAlt);
    std::vector<xcb_window_t> panels;
    std::istringstream lines(found);
    for (std::string line; std::getline(lines, line);) panels.push_back(std::uint32_t(std::stoul(line)));
    if (panels.size() != 1) {
        std::fprintf(stderr, "hot key: %zu visible Zelvo windows, not one\n", panels.size());
        xcb_disconnect(c);
        return;
    }
    const xcb_window_t panel = panels.front();
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, panel, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    waitForMapState(c, panel, XCB_UNMAP_NOTIFY);
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150)); // the switch settles
        fakeKey(c, XCB_KEY_PRESS, kAlt);
        const auto start = std::chrono::steady_clock::now();
        fakeKey(c, XCB_KEY_PRESS, kTab);
        const bool mapped = waitForMapState(c, panel, XCB_MAP_NOTIFY);
        const auto end = std::chrono::steady_clock::now();
        fakeKey(c, XCB_KEY_RELEASE, kTab);
        fakeKey(c, XCB_KEY_RELEASE, kAlt);
        if (!mapped) {
            std::fprintf(stderr, "hot key: the panel did not show in round %d\n", i);
            break;
        }
        times.push_back(milliseconds(end - start));
        waitForMapState(c, panel, XCB_UNMAP_NOTIFY);
    }
    xcb_disconnect(c);
    std::sort(times.begin(), times.end());
    if (!times.empty())
        std::printf("X11 hot key (XTEST) -> panel mapped: median %.2f ms, p99 %.2f ms, max %.2f ms (%zu switches)\n",
                    times[times.size() / 2], times[std::min(times.size() - 1, times.size() * 99 / 100)], times.back(),
                    times.size());
    std::printf("resident memory after the switches: %.1f MB\n", residentKiB(zelvo) / 1024.0);
}

// Zelvo's CPU use while a client of its own changes its title 100 times a
// second for `seconds`.
void measureRetitling(XSession& x, pid_t zelvo, double seconds) {
    xcb_connection_t* c = xcb_connect(x.display().c_str(), nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 200, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const std::string wmClass("retitler\0Retitler\0", 18);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, wmClass.size(),
                        wmClass.data());
    xcb_map_window(c, w);
    xcb_flush(c);
    XSession::waitFor([&] {
        auto list = x.clientList();
        return std::find(list.begin(), list.end(), w) != list.end();
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 12, "_NET_WM_NAME"), nullptr);
    const xcb_atom_t netName = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 11, "UTF8_STRING"), nullptr);
    const xcb_atom_t utf8 = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    const double before = cpuSeconds(zelvo);
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds); ++n) {
        const std::string title = "Title " + std::to_string(n);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netName, utf8, 8, title.size(), title.data());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, title.size(),
                            title.data());
        xcb_flush(c);
        std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * (n + 1)));
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("CPU while one client changes its title 100 times a second for %.0f s: %.2f %%\n", elapsed,
                (cpuSeconds(zelvo) - before) / elapsed * 100.0);
    xcb_disconnect(c);
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
    if (!wayland) {
        measureHotkey(x, zelvo, stateFile, 300);
        measureRetitling(x, zelvo, 10);
    }
    if (!prefix.empty()) std::filesystem::remove_all(prefix);
    return 0;
}
