#include "beacon/util/SdkInfo.h"

#include <chrono>

namespace beacon {

double nowInMilliseconds() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since).count() * 1000.0;
}

} // namespace beacon
