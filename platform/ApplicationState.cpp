#include "platform/ApplicationState.h"

namespace platform {

void ApplicationStateReporter::report(ApplicationActivity state) {
    if (state == current_) return;
    const bool wasActive = current_ == ApplicationActivity::Active;
    const bool isActive = state == ApplicationActivity::Active;
    if (isActive) center_.post(kApplicationWillBecomeActive);
    current_ = state;
    center_.post(kApplicationStateDidChange, nullptr, {{kApplicationStateKey, static_cast<int>(state)}});
    if (wasActive) center_.post(kApplicationDidResignActive);
}

} // namespace platform
