#pragma once

// Sample devices for the telemetry library's tests and benchmarks.

#include "beacon/model/Device.h"

#include <memory>

namespace beacon::test {

// A device with just the fields a valid log needs.
std::shared_ptr<Device> validDevice();

// A device with every field set, as the tracker would build it.
Device fullDevice();

} // namespace beacon::test
