#pragma once

#include "platform/ApplicationState.h"

#include <cstdint>
#include <functional>

namespace platform {
class NotificationCenter;
}

namespace beacon {

// 0 active, 1 inactive, 2 background, 3 unknown.
using ApplicationState = platform::ApplicationActivity;

// The application state as the platform last reported it on the default
// notification centre (see platform/ApplicationState.h), and the moments it
// becomes active or resigns active. Usable from any thread; the state is
// unknown until the platform has reported one.
class ApplicationStateUtil {
public:
    enum class Moment { WillBecomeActive, DidResignActive };
    using MomentHandler = std::function<void()>;
    using ObserverId = std::uint64_t;

    // Follows the reports posted on `center`. Null stops following (state
    // unknown); the program does so before its centre goes away.
    static void observe(platform::NotificationCenter* center);
    static ApplicationState applicationState();

    // Handlers run on the thread that posted the report; they outlive any
    // change of the followed centre.
    static ObserverId addObserver(Moment moment, MomentHandler handler);
    static void removeObserver(ObserverId id);
};

} // namespace beacon
