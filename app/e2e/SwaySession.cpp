#include "SwaySession.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace zelvo::e2e {

namespace fs = std::filesystem;

namespace {

void chownTree(const fs::path& root, uid_t uid, gid_t gid) {
    std::error_code ec;
    if (::lchown(root.c_str(), uid, gid) != 0) return;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        ::lchown(it->path().c_str(), uid, gid);
}

// The focused node of sway's tree, depth first.
std::string focusedIn(const nlohmann::json& node) {
    if (node.value("focused", false) && node.contains("app_id") && node["app_id"].is_string())
        return node["app_id"].get<std::string>();
    for (const char* children : {"nodes", "floating_nodes"})
        if (node.contains(children))
            for (const auto& child : node[children])
                if (auto found = focusedIn(child); !found.empty()) return found;
    return {};
}

} // namespace

SwaySession::SwaySession() { handOverFiles(); }

void SwaySession::handOverFiles() {
    const passwd* user = getpwnam("nobody");
    const group* users = getgrnam("nogroup");
    if (user && users) chownTree(root(), user->pw_uid, users->gr_gid);
}

fs::path SwaySession::installForSession(const std::string& cmake, const std::string& buildDir) {
    char folder[] = "/tmp/zelvo-wayland-prefix-XXXXXX";
    if (!mkdtemp(folder)) return {};
    const fs::path prefix(folder);
    XSession installer;
    if (installer.run({cmake, "--install", buildDir, "--prefix", prefix.string()}, 60).status != 0) {
        fs::remove_all(prefix);
        return {};
    }
    fs::permissions(prefix, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    return prefix;
}

std::vector<std::string> SwaySession::commandFor(const std::vector<std::string>& arguments) const {
    std::vector<std::string> wrapped{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
    wrapped.insert(wrapped.end(), arguments.begin(), arguments.end());
    return wrapped;
}

std::map<std::string, std::string> SwaySession::environment() const {
    auto env = XSession::environment();
    env["DISPLAY"] = "";
    // Known once sway runs; sway itself must not inherit empty ones.
    if (!waylandDisplay_.empty()) env["WAYLAND_DISPLAY"] = waylandDisplay_;
    if (!swaySocket_.empty()) env["SWAYSOCK"] = swaySocket_;
    env["XDG_SESSION_TYPE"] = "wayland";
    return env;
}

std::optional<std::string> SwaySession::start(const std::string& config) {
    const fs::path configFile = root() / "sway.config";
    std::ofstream(configFile) << "xwayland disable\n" << config << "\n";
    handOverFiles();
    const fs::path runtime = root() / "runtime";
    pid_t sway = spawn({"sway", "-c", configFile.string()},
                       {{"WLR_BACKENDS", "headless"}, {"WLR_LIBINPUT_NO_DEVICES", "1"}, {"WLR_RENDERER", "pixman"}});
    if (sway < 0) return "cannot start sway";
    // sway makes its Wayland socket and its IPC socket in the runtime folder.
    bool up = waitFor([&] {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(runtime, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("wayland-") && !name.ends_with(".lock")) waylandDisplay_ = name;
            if (name.starts_with("sway-ipc.")) swaySocket_ = entry.path().string();
        }
        return !waylandDisplay_.empty() && !swaySocket_.empty();
    }, 15);
    if (!up || !isRunning(sway)) {
        std::ifstream log(outputLog());
        std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        return "sway did not come up: " + text.substr(text.size() > 2000 ? text.size() - 2000 : 0);
    }
    // The seat has a keyboard only while a virtual one exists; when it goes,
    // clients lose theirs. One stays for the session, so that the keys each
    // later wtype sends reach keyboards clients already hold.
    if (spawn({"wtype", "-s", "600000"}) < 0) return "cannot start wtype";
    return std::nullopt;
}

std::string SwaySession::swaymsg(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"swaymsg"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return run(command).output;
}

std::string SwaySession::focusedAppId() {
    auto tree = nlohmann::json::parse(swaymsg({"-t", "get_tree"}), nullptr, false);
    return tree.is_discarded() ? std::string() : focusedIn(tree);
}

bool SwaySession::startTerminal(const std::string& appId) {
    if (spawn({"foot", "--app-id", appId, "sleep", "100000"}) < 0) return false;
    return waitFor([&] { return swaymsg({"-t", "get_tree"}).find("\"app_id\": \"" + appId + "\"") != std::string::npos; });
}

} // namespace zelvo::e2e
