// Texts as the windows show them: local times, in English month names whatever the locale, and
// the port field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace horavex {

// "23 Jan 20:23:03".
std::string FormatDayMonthTime(std::int64_t unixSeconds);
// "20:23:03".
std::string FormatClockTime(std::int64_t unixSeconds);
// "01/23/26": month, day and year of the century, two digits each.
std::string FormatShortDate(std::int64_t unixSeconds);

// A stored port as the port field shows it: the number as the profile holds it, 70000 as 70000
// and a negative one (kept as the unsigned of the same bits) with its sign.
std::string PortText(unsigned port);
// The port a port field's text stands for: decimal digits only, 1 to 65535; nothing for anything
// else (empty, a sign, a port nobody can bind).
std::optional<unsigned> PortFromText(std::string_view text);

}  // namespace horavex
