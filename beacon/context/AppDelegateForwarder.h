#pragma once

#include "beacon/context/DelegateForwarder.h"

#include <memory>
#include <optional>

namespace beacon {

// The application-delegate forwarder. Its enabled flag comes from the
// application's configuration key "BeaconAppDelegateForwarderEnabled"
// (enabled when the key is absent); the decision is traced once.
class AppDelegateForwarder : public DelegateForwarder {
public:
    static constexpr const char* kEnabledKey = "BeaconAppDelegateForwarderEnabled";

    // Made on first use; Linux applications carry no such key, so enabled.
    static std::shared_ptr<AppDelegateForwarder> sharedInstance();
    static void resetSharedInstance();

    explicit AppDelegateForwarder(std::optional<bool> configuredEnabled = std::nullopt);
};

} // namespace beacon
