#include "platform/linux/desktop/ProcessLauncher.h"

#include "platform/linux/desktop/DesktopEntries.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace platform::desktop {

std::optional<std::string> launchDetached(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.front().empty()) return "nothing to launch";
    std::vector<char*> argv;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) return std::string("cannot start ") + arguments.front() + ": " + std::strerror(rc);
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }).detach();
    return std::nullopt;
}

std::optional<std::string> launchApplication(const std::string& url) {
    std::string path = url.starts_with("file://") ? url.substr(7) : url;
    std::vector<std::string> arguments;
    if (path.ends_with(".desktop")) {
        if (auto entry = readDesktopEntry(path)) arguments = execArguments(entry->exec);
    } else if (!path.empty() && access(path.c_str(), X_OK) == 0) {
        arguments = {path};
    }
    if (arguments.empty()) return "no way to start " + url;
    return launchDetached(arguments);
}

void openApplication(const std::string& url, const std::vector<RunningApplicationPtr>& running,
                     const Workspace::OpenCompletion& completion) {
    auto error = launchApplication(url);
    if (!completion) return;
    const std::string path = url.starts_with("file://") ? url.substr(7) : url;
    RunningApplicationPtr found;
    if (!error)
        for (const auto& app : running)
            if (app->bundleURL() == path) found = app;
    completion(found, error);
}

bool openWithDefaultHandler(const std::string& url) {
    // A leading dash would be read as an option of xdg-open.
    if (url.empty() || url.front() == '-') return false;
    return !launchDetached({"xdg-open", url}).has_value();
}

} // namespace platform::desktop
