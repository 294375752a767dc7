#pragma once

#include "XSession.h"

#include <string>

namespace zelvo::e2e {

// A private headless sway for one test, run as the unprivileged user
// "nobody" (sway refuses root) with its own runtime folder; every program the
// session starts runs as that user too, so that sway's bindings reach the
// Zelvo started here. No X server: the environment names only the Wayland
// display.
class SwaySession : public XSession {
public:
    SwaySession();

    // Installs the build tree into a new folder the session's unprivileged
    // user can read (the build tree may sit where it cannot); empty when the
    // installation fails.
    static std::filesystem::path installForSession(const std::string& cmake, const std::string& buildDir);

    // Starts sway with `config` (lines of a sway configuration) and waits
    // for its socket; an error text on failure.
    std::optional<std::string> start(const std::string& config = "");
    // Gives the session's user every file under the session folder made
    // since (by the test, as root).
    void handOverFiles();

    // Starts a foot terminal with this app id and waits until sway lists it.
    bool startTerminal(const std::string& appId);
    // The app id of the toplevel sway has focused; empty when none.
    std::string focusedAppId();
    std::string swaymsg(const std::vector<std::string>& arguments);
    // The compositor's Wayland socket, for clients of the test's own.
    std::string waylandSocket() const { return (root() / "runtime" / waylandDisplay_).string(); }

    std::map<std::string, std::string> environment() const override;

protected:
    std::vector<std::string> commandFor(const std::vector<std::string>& arguments) const override;

private:
    std::string waylandDisplay_, swaySocket_;
};

} // namespace zelvo::e2e
