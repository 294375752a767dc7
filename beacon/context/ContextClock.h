#pragma once

#include "beacon/archive/Iso8601.h"

#include <functional>

namespace beacon {

// Where the contexts read the current time; tests give a fixed clock.
using ContextClock = std::function<Date()>;

inline Date systemNow() { return std::chrono::system_clock::now(); }

} // namespace beacon
