// Local time texts as the windows show them, in English month names whatever the locale.
#pragma once

#include <cstdint>
#include <string>

namespace horavex {

// "23 Jan 20:23:03".
std::string FormatDayMonthTime(std::int64_t unixSeconds);
// "20:23:03".
std::string FormatClockTime(std::int64_t unixSeconds);
// "01/23/26": month, day and year of the century, two digits each.
std::string FormatShortDate(std::int64_t unixSeconds);

}  // namespace horavex
