#pragma once

#include "platform/NotificationCenter.h"

namespace platform {

// The application's activity as the desktop reports it: active (one of the
// application's windows has the focus), inactive, or background (hidden or
// suspended). The values are the telemetry's.
enum class ApplicationActivity : int {
    Active = 0,
    Inactive = 1,
    Background = 2,
    Unknown = 3,
};

// Posted on the default centre when the application is about to become
// active, when it stopped being active, and on every change of the state
// (user info kApplicationStateKey: the new ApplicationActivity as int).
inline constexpr const char* kApplicationWillBecomeActive = "ApplicationWillBecomeActive";
inline constexpr const char* kApplicationDidResignActive = "ApplicationDidResignActive";
inline constexpr const char* kApplicationStateDidChange = "ApplicationStateDidChange";
inline constexpr const char* kApplicationStateKey = "state";

// Turns the desktop's state reports into the notifications above. A report
// of the current state posts nothing. Entering the active state posts
// will-become-active before the change; leaving it posts did-resign-active
// after the change.
class ApplicationStateReporter {
public:
    explicit ApplicationStateReporter(NotificationCenter& center) : center_(center) {}

    void report(ApplicationActivity state);
    ApplicationActivity current() const { return current_; }

private:
    NotificationCenter& center_;
    ApplicationActivity current_ = ApplicationActivity::Unknown;
};

} // namespace platform
