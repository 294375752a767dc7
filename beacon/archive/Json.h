#pragma once

#include <nlohmann/json.hpp>

namespace beacon {

// The JSON value of the telemetry model: objects keep their keys in insertion
// order, so serialized logs come out with their keys in the documented order.
using Json = nlohmann::ordered_json;

} // namespace beacon
