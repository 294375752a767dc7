#include "beacon/util/BundleInfo.h"

#include <mutex>

namespace beacon {

namespace {
std::mutex mutex;
std::string identifier = kDefaultBundleIdentifier;
} // namespace

std::string mainBundleIdentifier() {
    std::lock_guard lock(mutex);
    return identifier;
}

void setMainBundleIdentifier(std::string value) {
    std::lock_guard lock(mutex);
    identifier = std::move(value);
}

} // namespace beacon
