#pragma once

// Sample logs and batches for the telemetry library's tests and benchmarks.

#include "beacon/model/CommonSchemaLog.h"
#include "beacon/model/LogContainer.h"
#include "beacon/model/LogWithProperties.h"

#include <memory>
#include <string>
#include <vector>

namespace beacon::test {

// A valid log with a device and `properties` string properties.
std::shared_ptr<LogWithProperties> makeLog(int index, int properties = 3);
// A valid Beacon batch of `count` logs.
std::shared_ptr<LogContainer> makeContainer(const std::string& batchId, int count);
// A valid common-schema log for the Collector with these tokens and ticket keys.
std::shared_ptr<CommonSchemaLog> makeCommonSchemaLog(const std::string& name, const std::vector<std::string>& tokens,
                                                     const std::vector<std::string>& ticketKeys = {});

} // namespace beacon::test
