#include "beacon/util/ScriptedReachability.h"

#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"

namespace beacon {

ScriptedReachability::ScriptedReachability(platform::NotificationCenter& center, platform::Scheduler& scheduler,
                                           NetworkStatus initial)
    : center_(center), scheduler_(scheduler), status_(initial) {}

bool ScriptedReachability::startNotifier() {
    if (failStart_.exchange(false)) return false;
    started_ = true;
    post();
    return true;
}

void ScriptedReachability::stopNotifier() { started_ = false; }

void ScriptedReachability::setStatus(NetworkStatus status) {
    if (status_.exchange(status) != status && started_) post();
}

void ScriptedReachability::post() {
    scheduler_.mainQueue().async(
        [this, center = &center_] { center->post(kBcnNetworkReachabilityChangedNotification, this); });
}

} // namespace beacon
