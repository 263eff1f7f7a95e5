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

}  // namespace horavex
