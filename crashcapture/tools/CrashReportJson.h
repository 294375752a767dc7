#pragma once

#include "crashcapture/report/CrashReport.h"

#include <nlohmann/json.hpp>

namespace crashcapture {

// The report object model as JSON, for people reading a report: keys are the
// model's property names, addresses are hexadecimal text, dates ISO 8601
// (UTC, seconds), UUIDs and raw bytes hexadecimal text. Absent optional
// properties are left out.
nlohmann::ordered_json crashReportToJson(const CrashReport& report);

} // namespace crashcapture
