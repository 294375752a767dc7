#pragma once

#include "app/login/LoginItemService.h"
#include "app/login/StartAtLoginObservable.h"

#include <functional>
#include <memory>
#include <string>

namespace app {

// Whether Zelvo starts when the user logs in. The session's login-item
// registry is the only place the state lives: every read asks it, nothing is
// cached. Main thread only, except the one-time creation of `shared()`.
class StartAtLogin {
public:
    StartAtLogin() = delete;

    static bool enabled();
    // Registers (re-registering an entry already in effect) or unregisters.
    // Never fails to the caller: a failure is logged as
    // "Failed to enable launch at login: <description>" (or "disable").
    static void setEnabled(bool value);

    static StartAtLoginObservable& shared();

    // The registry in use; the default is the XDG autostart entry of the
    // running program. Nothing (nullptr) restores the default.
    static void setService(std::shared_ptr<LoginItemService> service);
    // Where failure lines go; the default writes them to the error log.
    // Nothing restores the default.
    static void setLogger(std::function<void(const std::string&)> logger);
};

} // namespace app
