#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace beacon {

// A point in time as the telemetry model keeps it (wall clock, UTC based).
using Date = std::chrono::system_clock::time_point;

// "yyyy-MM-dd'T'HH:mm:ss.SSS'Z'" in UTC, e.g. "2024-03-01T17:05:09.042Z".
// Sub-millisecond parts are cut (towards the past), so the text never names
// a later time than the date. Years outside 0000-9999 cannot be written in
// this form and give an empty string.
std::string dateToISO8601(Date date);

// Parses exactly the form above; anything else (other lengths or separators,
// missing milliseconds, a time zone other than 'Z', impossible calendar
// dates or times) gives nothing.
std::optional<Date> dateFromISO8601(std::string_view text);

} // namespace beacon
