#pragma once

#include "WindowManagers.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zelvo::e2e {

// A private X11 desktop for one test: its own Xvfb on a free display number,
// a window manager (by default openbox with the tests' configuration, no key
// bindings), a session bus when the window manager needs one, a temporary home
// with its own XDG folders, and every process it started ended and reaped
// when it goes away. Nothing depends on the caller's DISPLAY.
class XSession {
public:
    XSession();
    virtual ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts the server and the window manager; an error text on failure.
    // A window manager that keeps its Alt+Tab holds it when this returns.
    std::optional<std::string> start();
    // The window manager start() runs, and whether it keeps the Alt+Tab of
    // its stock settings (see prepareWindowManager()).
    WindowManager windowManager = WindowManager::Openbox;
    bool windowManagerKeepsAltTab = false;
    // The window manager's key settings as they are now, as text.
    std::string keySettings();

    // Starts a program on this display with the session's environment
    // (extra variables on top); returns its pid, or -1.
    pid_t spawn(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& extra = {});
    // Runs a program to its end; its exit status and standard output.
    struct Result {
        int status = -1;
        std::string output;
    };
    Result run(const std::vector<std::string>& arguments, double timeoutSeconds = 10);
    // Waits (polling) until `done` or the time is up; true when done.
    static bool waitFor(const std::function<bool()>& done, double seconds = 10);
    // Ends one process started here (SIGTERM, then SIGKILL after 3 s) and
    // reaps it; its raw wait status.
    int stop(pid_t pid);
    bool isRunning(pid_t pid);

    // Convenience over xprop/xdotool.
    std::uint32_t activeWindow();
    std::vector<std::uint32_t> clientList();
    std::uint32_t findWindow(const std::string& wmClass);
    // Starts an xterm whose WM_CLASS class is `wmClass` (running `command`
    // when given) and waits until the window manager lists it; its window,
    // or 0.
    std::uint32_t startTerminal(const std::string& wmClass, const std::vector<std::string>& command = {});

    const std::string& display() const { return display_; }
    const std::filesystem::path& home() const { return home_; }
    const std::filesystem::path& root() const { return root_; }
    virtual std::map<std::string, std::string> environment() const;

protected:
    // The command line that runs `arguments` in this session (a session of
    // another user wraps it).
    virtual std::vector<std::string> commandFor(const std::vector<std::string>& arguments) const { return arguments; }
    // Where spawned programs' output goes.
    std::filesystem::path outputLog() const { return root_ / "output.log"; }

private:
    std::filesystem::path root_, home_;
    std::string display_;
    std::string sessionBus_;      // its address, when one runs
    std::vector<pid_t> children_; // in start order
};

} // namespace zelvo::e2e
