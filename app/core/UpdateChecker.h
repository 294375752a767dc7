#pragma once

#include <string>

namespace app {

// The software updater. The delegate sets the feed before every check. When
// no updater is available the delegate is given none and checks do nothing.
class UpdateChecker {
public:
    virtual ~UpdateChecker() = default;
    virtual void setFeedURL(const std::string& url) = 0;
    // A check with its own user interface (menu "Check for Updates").
    virtual void checkForUpdates() = 0;
    // A quiet check; the updater speaks only when it finds something.
    virtual void checkForUpdatesInBackground() = 0;
};

} // namespace app
