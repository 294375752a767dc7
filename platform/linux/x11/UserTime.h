#pragma once

#include <cstdint>

namespace platform::x11 {

// The X server time of the newest key or button event Zelvo took in, 0
// before the first. Requests made for the user (activating a window,
// switching desktops) carry it: window managers that prevent focus stealing
// compare it with the user time of the window in front and refuse a request
// without one. Written by whoever reads the input events (the toolkit's
// connection), read by the workspace; both on the main thread.
void noteUserTime(std::uint32_t serverTime);
std::uint32_t lastUserTime();

} // namespace platform::x11
