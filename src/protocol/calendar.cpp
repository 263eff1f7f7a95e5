#include "protocol/calendar.h"

namespace horavex {
namespace {

// Days from 1970-01-01 to y-m-d (H. Hinnant's days_from_civil).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

std::optional<std::tm> UtcBreakdown(std::int32_t calendarSeconds) {
  if (calendarSeconds < 0) return std::nullopt;
  const std::time_t t = calendarSeconds;
  std::tm out{};
  if (gmtime_r(&t, &out) == nullptr) return std::nullopt;
  return out;
}

std::tm LocalBreakdown(std::int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm out{};
  localtime_r(&t, &out);
  return out;
}

SystemTime SystemTimeFromUnix(std::int64_t seconds, int milliseconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // civil_from_days (H. Hinnant)
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  SystemTime t;
  t.wYear = static_cast<std::uint16_t>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
  t.wMonth = static_cast<std::uint16_t>(m);
  t.wDay = static_cast<std::uint16_t>(d);
  t.wDayOfWeek = static_cast<std::uint16_t>((days % 7 + 11) % 7);  // 1970-01-01 was a Thursday
  t.wHour = static_cast<std::uint16_t>(rest / 3600);
  t.wMinute = static_cast<std::uint16_t>(rest / 60 % 60);
  t.wSecond = static_cast<std::uint16_t>(rest % 60);
  t.wMilliseconds = static_cast<std::uint16_t>(milliseconds);
  return t;
}

std::int64_t UnixFromSystemTime(const SystemTime& t) {
  return DaysFromCivil(t.wYear, t.wMonth, t.wDay) * 86400 + t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
}

double OleDate(const std::tm& local) {
  const std::int64_t days = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                          static_cast<unsigned>(local.tm_mday)) -
                            DaysFromCivil(1899, 12, 30);
  const int secondOfDay = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  return static_cast<double>(days) + secondOfDay / 86400.0;
}

}  // namespace horavex
