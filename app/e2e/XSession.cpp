#include "XSession.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zelvo::e2e {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Every live child of every session, so that a test program that crashes
// still ends the servers and clients it started.
constexpr int kMaxChildren = 256;
std::atomic<pid_t> liveChildren[kMaxChildren];

void remember(pid_t pid) {
    for (auto& slot : liveChildren) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, pid)) return;
    }
}

void forget(pid_t pid) {
    for (auto& slot : liveChildren) {
        pid_t expected = pid;
        if (slot.compare_exchange_strong(expected, 0)) return;
    }
}

void killChildrenAndDie(int signal) {
    for (auto& slot : liveChildren)
        if (pid_t pid = slot.load(); pid > 0) kill(pid, SIGKILL);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installCrashCleanup() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int s : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGTERM, SIGINT}) std::signal(s, killChildrenAndDie);
}

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        std::string key = entry.substr(0, entry.find('='));
        // The caller's display and session are not ours.
        if (overrides.count(key) || key == "WAYLAND_DISPLAY" || key == "DBUS_SESSION_BUS_ADDRESS") continue;
        env.push_back(entry);
    }
    for (const auto& [k, v] : overrides) env.push_back(k + "=" + v);
    return env;
}

pid_t spawnWith(const std::vector<std::string>& arguments, const std::vector<std::string>& env,
                posix_spawn_file_actions_t* actions) {
    std::vector<char*> argv, envp;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), envp.data()) != 0) return -1;
    return pid;
}

} // namespace

XSession::XSession() {
    installCrashCleanup();
    char tmpl[] = "/tmp/zelvo-e2e-XXXXXX";
    root_ = mkdtemp(tmpl);
    home_ = root_ / "home";
    for (auto dir : {home_ / ".config", home_ / ".local/share", home_ / ".cache", root_ / "runtime"})
        fs::create_directories(dir);
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
}

XSession::~XSession() {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) stop(*it);
    std::error_code ec;
    fs::remove_all(root_, ec);
}

std::map<std::string, std::string> XSession::environment() const {
    std::map<std::string, std::string> env{
        {"DISPLAY", display_},
        {"HOME", home_.string()},
        {"XDG_CONFIG_HOME", (home_ / ".config").string()},
        {"XDG_DATA_HOME", (home_ / ".local/share").string()},
        {"XDG_CACHE_HOME", (home_ / ".cache").string()},
        {"XDG_RUNTIME_DIR", (root_ / "runtime").string()},
        // Telemetry stays on this machine: nothing listens there, so logs wait on disk.
        {"ZELVO_LOG_URL", "https://127.0.0.1:9"},
        {"ZELVO_COLLECTOR_URL", "https://127.0.0.1:9"}};
    if (!sessionBus_.empty()) {
        env["DBUS_SESSION_BUS_ADDRESS"] = sessionBus_;
        env["NO_AT_BRIDGE"] = "1"; // GTK programs start no accessibility bus on it
    }
    return env;
}

std::string XSession::keySettings() { return run(keySettingsCommand(windowManager, home_)).output; }

std::optional<std::string> XSession::start() {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t server = spawnWith(
        {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"},
        environmentWith({}), &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (server < 0) {
        close(fds[0]);
        return "cannot start Xvfb";
    }
    children_.push_back(server);
    remember(server);
    // Xvfb writes the display number it chose once it is ready.
    std::string number;
    auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buffer[32];
            ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            number.append(buffer, std::size_t(n));
        }
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) return "Xvfb did not report its display";
    display_ = ":" + number.substr(0, number.find('\n'));

    if (needsSessionBus(windowManager)) {
        const auto socket = root_ / "session-bus";
        if (spawn({"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + socket.string()}) < 0)
            return "cannot start dbus-daemon";
        if (!waitFor([&] { return fs::exists(socket); })) return "the session bus did not come up";
        sessionBus_ = "unix:path=" + socket.string();
    }
    const auto name = programName(windowManager);
    if (spawn(prepareWindowManager(windowManager, windowManagerKeepsAltTab, home_)) < 0) return "cannot start " + name;
    bool managed = waitFor([&] {
        return run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).output.find("window id") != std::string::npos;
    });
    if (!managed) return name + " did not come up";
    // Its key grabs may follow the check window by a moment.
    if (windowManagerKeepsAltTab && stockBindsAltTab(windowManager) &&
        !waitFor([&] { return altTabGrabbed(display_); }))
        return name + " did not take Alt+Tab";
    return std::nullopt;
}

pid_t XSession::spawn(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& extra) {
    auto env = environment();
    for (const auto& [k, v] : extra) env[k] = v;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (root_ / "output.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = spawnWith(commandFor(arguments), environmentWith(env), &actions);
    posix_spawn_file_actions_destroy(&actions);
    if (pid > 0) {
        children_.push_back(pid);
        remember(pid);
    }
    return pid;
}

XSession::Result XSession::run(const std::vector<std::string>& arguments, double timeoutSeconds) {
    Result result;
    int fds[2];
    if (pipe(fds) != 0) return result;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, (root_ / "output.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t pid = spawnWith(commandFor(arguments), environmentWith(environment()), &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return result;
    }
    auto deadline = Clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        int ready = poll(&p, 1, 50);
        if (ready > 0) {
            char buffer[4096];
            ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n > 0) {
                result.output.append(buffer, std::size_t(n));
                continue;
            }
            break; // end of output
        }
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            break;
        }
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool XSession::waitFor(const std::function<bool()>& done, double seconds) {
    auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return done();
}

bool XSession::isRunning(pid_t pid) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == 0) return true;
    if (r == pid) {
        std::erase(children_, pid);
        forget(pid);
    }
    return false;
}

int XSession::stop(pid_t pid) {
    if (pid <= 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGTERM);
        auto deadline = Clock::now() + std::chrono::seconds(3);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    std::erase(children_, pid);
    forget(pid);
    return status;
}

namespace {
std::vector<std::uint32_t> windowIds(const std::string& text) {
    std::vector<std::uint32_t> ids;
    std::size_t pos = 0;
    while ((pos = text.find("0x", pos)) != std::string::npos) {
        ids.push_back(std::uint32_t(std::strtoul(text.c_str() + pos, nullptr, 16)));
        pos += 2;
    }
    return ids;
}
} // namespace

std::uint32_t XSession::activeWindow() {
    auto ids = windowIds(run({"xprop", "-root", "_NET_ACTIVE_WINDOW"}).output);
    return ids.empty() ? 0 : ids.front();
}

std::vector<std::uint32_t> XSession::clientList() {
    return windowIds(run({"xprop", "-root", "_NET_CLIENT_LIST"}).output);
}

std::uint32_t XSession::findWindow(const std::string& wmClass) {
    auto found = run({"xdotool", "search", "--classname", "--class", "^" + wmClass + "$"});
    std::stringstream lines(found.output);
    std::string line;
    auto clients = clientList();
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        auto id = std::uint32_t(std::strtoul(line.c_str(), nullptr, 10));
        if (std::find(clients.begin(), clients.end(), id) != clients.end()) return id;
    }
    return 0;
}

std::uint32_t XSession::startTerminal(const std::string& wmClass, const std::vector<std::string>& command) {
    std::vector<std::string> arguments{"xterm", "-class", wmClass, "-title", wmClass, "-geometry", "60x10"};
    if (!command.empty()) {
        arguments.push_back("-e");
        arguments.insert(arguments.end(), command.begin(), command.end());
    }
    if (spawn(arguments) < 0) return 0;
    std::uint32_t window = 0;
    waitFor([&] { return (window = findWindow(wmClass)) != 0; });
    return window;
}

} // namespace zelvo::e2e
