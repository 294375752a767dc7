#include "beacon/core/DependencyConfiguration.h"

#include "beacon/http/HttpClientProtocol.h"
#include "beacon/storage/Storage.h"
#include "platform/dispatch/ThreadScheduler.h"

#include <mutex>

namespace beacon {

namespace {

std::mutex& mutex() {
    static std::mutex instance;
    return instance;
}

std::shared_ptr<HttpClientProtocol>& httpClientSlot() {
    static std::shared_ptr<HttpClientProtocol> slot;
    return slot;
}

std::shared_ptr<Storage>& storageSlot() {
    static std::shared_ptr<Storage> slot;
    return slot;
}

platform::Scheduler*& schedulerSlot() {
    static platform::Scheduler* slot = nullptr;
    return slot;
}

} // namespace

std::shared_ptr<HttpClientProtocol> DependencyConfiguration::httpClient() {
    std::lock_guard lock(mutex());
    return httpClientSlot();
}

void DependencyConfiguration::setHttpClient(std::shared_ptr<HttpClientProtocol> httpClient) {
    std::lock_guard lock(mutex());
    httpClientSlot() = std::move(httpClient);
}

platform::Scheduler& DependencyConfiguration::scheduler() {
    std::lock_guard lock(mutex());
    if (schedulerSlot()) return *schedulerSlot();
    // Made once and kept for the life of the process: the telemetry's queues
    // live on it until the very end.
    static auto* builtIn = new platform::ThreadScheduler();
    return *builtIn;
}

void DependencyConfiguration::setScheduler(platform::Scheduler* scheduler) {
    std::lock_guard lock(mutex());
    schedulerSlot() = scheduler;
}

std::shared_ptr<Storage> DependencyConfiguration::storage() {
    std::lock_guard lock(mutex());
    return storageSlot();
}

void DependencyConfiguration::setStorage(std::shared_ptr<Storage> storage) {
    std::lock_guard lock(mutex());
    storageSlot() = std::move(storage);
}

} // namespace beacon
