#include "platform/linux/x11/UserTime.h"

namespace platform::x11 {

namespace {
std::uint32_t newest = 0; // events arrive in server order: the last is the newest
} // namespace

void noteUserTime(std::uint32_t serverTime) {
    if (serverTime != 0) newest = serverTime;
}

std::uint32_t lastUserTime() { return newest; }

} // namespace platform::x11
