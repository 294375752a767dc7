#pragma once

#include "platform/Workspace.h"

#include <optional>
#include <string>
#include <vector>

namespace platform::desktop {

// Starts a program with an argument list, never through a shell, in its own
// session so that it outlives Zelvo; the child is reaped in the background.
// The first argument is looked up in PATH. Returns an error text on failure.
std::optional<std::string> launchDetached(const std::vector<std::string>& arguments);

// Starts the application `url` names (a desktop entry's Exec line, or an
// executable path; "file://" accepted). Returns an error text on failure.
std::optional<std::string> launchApplication(const std::string& url);

// Starts the application `url` names and tells `completion` (when given) the
// error, or the one of `running` that lives at that path, if any.
void openApplication(const std::string& url, const std::vector<RunningApplicationPtr>& running,
                     const Workspace::OpenCompletion& completion);

// Hands the URL to xdg-open; false when it cannot be started.
bool openWithDefaultHandler(const std::string& url);

} // namespace platform::desktop
