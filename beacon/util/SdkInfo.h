#pragma once

#include "beacon/util/ApplicationState.h"

namespace beacon {

// Facts of the telemetry library that logs and requests carry.
inline constexpr const char* kSdkName = "beacon.linux";
inline constexpr const char* kSdkVersion = "1.0.0";
// The application environment reported for this build (other).
inline constexpr int kCurrentAppEnvironment = 99;

// Milliseconds since 1970 as a double.
double nowInMilliseconds();

} // namespace beacon
