#include "beacon/archive/Iso8601.h"

#include <array>
#include <cstdio>

namespace beacon {

namespace {

using namespace std::chrono;

// Reads `count` decimal digits at `pos`; -1 when any is not a digit.
int digits(std::string_view text, std::size_t pos, std::size_t count) {
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::string dateToISO8601(Date date) {
    auto ms = floor<milliseconds>(date);
    auto day = floor<days>(ms);
    year_month_day ymd{day};
    int year = static_cast<int>(ymd.year());
    if (year < 0 || year > 9999) return {};
    hh_mm_ss<milliseconds> time{ms - day};
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", year,
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return buffer.data();
}

std::optional<Date> dateFromISO8601(std::string_view text) {
    // 0123456789012345678901234
    // yyyy-MM-ddTHH:mm:ss.SSSZ
    if (text.size() != 24 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != '.' || text[23] != 'Z')
        return std::nullopt;
    int y = digits(text, 0, 4), mo = digits(text, 5, 2), d = digits(text, 8, 2);
    int h = digits(text, 11, 2), mi = digits(text, 14, 2), s = digits(text, 17, 2);
    int ms = digits(text, 20, 3);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || s < 0 || ms < 0) return std::nullopt;
    year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok() || h > 23 || mi > 59 || s > 59) return std::nullopt;
    auto point = sys_days{ymd} + hours{h} + minutes{mi} + seconds{s} + milliseconds{ms};
    return time_point_cast<Date::duration>(point);
}

} // namespace beacon
