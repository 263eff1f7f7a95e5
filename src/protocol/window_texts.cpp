#include "protocol/window_texts.h"

#include <cstdio>

#include "protocol/calendar.h"

namespace horavex {

std::string FormatDayMonthTime(std::int64_t unixSeconds) {
  const std::tm l = LocalBreakdown(unixSeconds);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d %s %02d:%02d:%02d", l.tm_mday, kMonthNames[static_cast<unsigned>(l.tm_mon) % 12],
                l.tm_hour, l.tm_min, l.tm_sec);
  return buf;
}

std::string FormatClockTime(std::int64_t unixSeconds) {
  const std::tm l = LocalBreakdown(unixSeconds);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", l.tm_hour, l.tm_min, l.tm_sec);
  return buf;
}

std::string FormatShortDate(std::int64_t unixSeconds) {
  const std::tm l = LocalBreakdown(unixSeconds);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", l.tm_mon + 1, l.tm_mday, ((l.tm_year % 100) + 100) % 100);
  return buf;
}

std::string PortText(unsigned port) { return std::to_string(static_cast<int>(port)); }

std::optional<unsigned> PortFromText(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != text.npos) return std::nullopt;
  unsigned port = 0;
  for (const char c : text) {
    port = port * 10 + static_cast<unsigned>(c - '0');
    if (port > 65535) return std::nullopt;
  }
  if (port == 0) return std::nullopt;
  return port;
}

}  // namespace horavex
