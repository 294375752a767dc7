#pragma once

#include "platform/ApplicationState.h"

namespace platform {
class NotificationCenter;
}

namespace beacon {

// 0 active, 1 inactive, 2 background, 3 unknown.
using ApplicationState = platform::ApplicationActivity;

// The application state as the platform last reported it on the default
// notification centre (see platform/ApplicationState.h). Usable from any
// thread; unknown until the platform has reported a state.
class ApplicationStateUtil {
public:
    // Follows the state reports posted on `center`, which also becomes the
    // centre that telemetry code observes for the will-become-active and
    // did-resign-active moments. Null stops following (state unknown).
    static void observe(platform::NotificationCenter* center);
    static platform::NotificationCenter* notificationCenter();
    static ApplicationState applicationState();
};

} // namespace beacon
