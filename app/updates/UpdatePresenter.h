#pragma once

#include "app/updates/Appcast.h"

#include <string>

namespace app {

// How an update check speaks to the user. Called on the main thread.
class UpdatePresenter {
public:
    virtual ~UpdatePresenter() = default;
    // A foreground check found nothing newer than the running version.
    virtual void showUpToDate(const std::string& currentVersion) = 0;
    // A newer release exists; the user may open its download page.
    virtual void showUpdateAvailable(const AppcastItem& item, const std::string& currentVersion) = 0;
    // A foreground check failed; `description` says why.
    virtual void showCheckFailed(const std::string& description) = 0;
};

} // namespace app
