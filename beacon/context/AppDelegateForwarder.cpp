#include "beacon/context/AppDelegateForwarder.h"

#include "beacon/logger/Logger.h"

#include <mutex>
#include <string>

namespace beacon {

namespace {
std::mutex sharedMutex;
std::shared_ptr<AppDelegateForwarder> sharedForwarder;
} // namespace

std::shared_ptr<AppDelegateForwarder> AppDelegateForwarder::sharedInstance() {
    std::lock_guard lock(sharedMutex);
    if (!sharedForwarder) sharedForwarder = std::make_shared<AppDelegateForwarder>();
    return sharedForwarder;
}

void AppDelegateForwarder::resetSharedInstance() {
    std::lock_guard lock(sharedMutex);
    sharedForwarder.reset();
}

AppDelegateForwarder::AppDelegateForwarder(std::optional<bool> configuredEnabled) {
    bool enabled = configuredEnabled.value_or(true);
    setEnabled(enabled);
    addTraceBlock([enabled] {
        if (enabled)
            BEACON_LOG_DEBUG("Delegate forwarder for info.plist key '", std::string(kEnabledKey),
                             "' enabled. It may use swizzling.");
        else
            BEACON_LOG_DEBUG("Delegate forwarder for info.plist key '", std::string(kEnabledKey),
                             "' disabled. It won't use swizzling.");
    });
}

} // namespace beacon
