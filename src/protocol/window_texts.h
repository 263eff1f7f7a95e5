// Local time texts as the windows show them, in English month names whatever the locale.
#pragma once

#include <cstdint>
#include <string>

namespace horavex {

// "23 Jan 20:23:03".
std::string FormatDayMonthTime(std::int64_t unixSeconds);
// "20:23:03".
std::string FormatClockTime(std::int64_t unixSeconds);

}  // namespace horavex
